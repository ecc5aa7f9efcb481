// Writing unpacked members below a target folder. Each member's file is written to
// a new work file in its folder and renamed onto its name only when it decoded
// whole, and over an existing file only when the overwrite was answered yes: a
// failed or declined member leaves what was there. No existing part of a member's
// path may be a symbolic link (which would carry the write outside the folder).
// The folders' names are read once per extraction and kept up to date, so each
// member costs a lookup, not a search of its folder.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "codec/ByteSink.h"
#include "platform/os/Files.h"

// Writes member bytes to a file; a failed write is the codec's output error codec::err::kWrite.
class CFileSink : public codec::CByteSink {
 public:
  explicit CFileSink(plat::File& file) : file_(file) {}
  void Put(const uint8_t* data, size_t n) override;

 private:
  plat::File& file_;
};

enum class MemberOutcome { Written, Declined };

class CExtractTarget {
 public:
  // folder: the target, an existing folder spelled as the file system spells it.
  // askOverwrite: an existing file is replaced only after Yes to the overwrite
  // question (string 218); otherwise it is replaced silently.
  CExtractTarget(std::string folder, bool askOverwrite);

  const std::string& Folder() const { return folder_; }
  // Makes the folder rel (a path from SafeMemberPath) and its missing levels; false
  // when a part of it is a symbolic link or a file.
  bool MakeFolders(const std::string& rel);
  // Writes the file rel: decode writes the bytes into the sink it is given. A file
  // that cannot be made (a link or a folder in the way, no room) is the codec error
  // kWrite; a decode failure is rethrown with nothing left behind (keepPartial: the
  // bytes so far are kept). *path receives the file's Windows path.
  MemberOutcome WriteFile(const std::string& rel, const std::function<void(codec::CByteSink&)>& decode,
                          bool keepPartial, std::string* path);
  // Places the finished file from (a work file on the same file system) as rel, with
  // the same checks and question; kWrite when it cannot.
  MemberOutcome MoveFile(const std::string& rel, const std::string& from, std::string* path);

 private:
  // The folder and name a file rel goes to, and whether a file of the name exists;
  // kWrite when a link or a folder is in the way.
  struct Place {
    std::string folder, target, key, name;
    bool exists = false;
  };
  Place PlaceOf(const std::string& rel);

  struct Entry {
    std::string name;  // as spelled on disk
    bool isDirectory = false;
    bool isLink = false;
  };
  using Listing = std::unordered_map<std::string, Entry>;  // by case-folded name

  Listing& ListingOf(const std::string& folder);
  // The folder of the first count parts, made where missing; nullopt when a part is
  // a link or a file.
  std::optional<std::string> EnterFolders(const std::vector<std::string>& parts, size_t count);

  std::string folder_;
  bool ask_;
  std::unordered_map<std::string, Listing> listings_;  // by folder path as spelled
};

// folder + '\' + rel (Windows paths).
std::string WinJoin(const std::string& folder, const std::string& rel);
// True when no existing part of rel below folder is a symbolic link.
bool StaysInside(const std::string& folder, const std::string& rel);
// Seconds since 1970 of a local date and time; -1 when it cannot be formed.
int64_t LocalTimeOf(int year, int month, int day, int hour, int minute, int second);
