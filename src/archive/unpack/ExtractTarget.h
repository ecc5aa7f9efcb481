// Writing unpacked members below a target folder. The target is walked through
// folder handles: each folder is opened once, relative to its parent's handle and
// never through a symbolic link, its names read once, and kept for the run, so a
// member costs a lookup and its own file operations, not a walk of its path.
// Work files and folders that a killed unpack left in a folder it reads are removed.
// A member whose name is free is created under that name (exclusively: never over
// anything made meanwhile, never through a link) and removed again when it does
// not decode whole. A member that would replace a file is written to a new work
// file beside it and renamed onto the name only when it decoded whole, and only
// after Yes to the overwrite question when that is asked: a failed or declined
// member leaves what was there. No existing part of a member's path may be a link.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "codec/ByteSink.h"
#include "platform/os/FolderHandle.h"

// Writes member bytes to a file; a failed write is the codec's output error codec::err::kWrite.
class CFileSink : public codec::CByteSink {
 public:
  explicit CFileSink(plat::File& file) : file_(file) {}
  void Put(const uint8_t* data, size_t n) override;

 private:
  plat::File& file_;
};

enum class MemberOutcome { Written, Declined };

// What a written member's file gets before it takes its name.
struct MemberStamp {
  std::optional<int64_t> mtime;  // seconds since 1970
  bool readOnly = false;
};

class CExtractTarget {
 public:
  // folder: the target, an existing folder spelled as the file system spells it.
  // askOverwrite: an existing file is replaced only after Yes to the overwrite
  // question (string 218); otherwise it is replaced silently.
  CExtractTarget(std::string folder, bool askOverwrite);
  ~CExtractTarget();

  const std::string& Folder() const { return folder_; }
  // Makes the folder rel (a path from SafeMemberPath) and its missing levels; false
  // when a part of it is a symbolic link or a file.
  bool MakeFolders(const std::string& rel);
  // Writes the file rel: decode writes the bytes into the sink it is given. A file
  // that cannot be made (a link or a folder in the way, no room) is the codec error
  // kWrite; a decode failure is rethrown with nothing left behind (keepPartial: the
  // bytes so far are kept). *path receives the file's Windows path.
  MemberOutcome WriteFile(const std::string& rel, const std::function<void(codec::CByteSink&)>& decode,
                          bool keepPartial, const MemberStamp& stamp, std::string* path);
  // Places the finished file fromName of folder from (a work folder on the same file
  // system) as rel, with the same checks and question; kWrite when it cannot.
  MemberOutcome MoveFile(const std::string& rel, const plat::FolderHandle& from, const std::string& fromName);
  // True when no existing part of rel is a symbolic link (nothing is made).
  bool StaysInside(const std::string& rel);
  // Why the last MakeFolders failed (CP932).
  const std::string& Why() const { return why_; }
  // Seconds since 1970 of a local date and time; -1 when it cannot be formed. The
  // start of each hour is asked of the time zone once per run (each asking reads
  // the zone's file again).
  int64_t LocalTime(int year, int month, int day, int hour, int minute, int second);

 private:
  struct Entry {
    std::string name;  // as spelled on disk
    bool isDirectory = false;
    bool isLink = false;
  };
  using Listing = std::unordered_map<std::string, Entry>;  // by name as spelled: names differing in case are two files
  struct Level {
    plat::FolderHandle handle;
    std::string path;  // Windows path as spelled on disk
    Listing names;
  };
  // The folder a file rel goes to, its name there, and whether a file of the name exists.
  struct Place {
    Level* level = nullptr;
    std::string key, name;
    bool exists = false;
  };
  Place PlaceOf(const std::vector<std::string>& parts);
  // The level of the first count parts; with make, missing levels are made. nullptr
  // when a part is a link or a file, or missing without make.
  Level* Reach(const std::vector<std::string>& parts, size_t count, bool make);
  Level* Enter(Level& parent, const std::string& key, const std::string& part, bool make, const std::string& levelKey);
  // Reads the level's names; work left in it by a killed run is removed, not listed.
  void ReadNames(Level& level);
  void Note(Level& level, const std::string& key, const std::string& name);

  std::string folder_;
  bool ask_;
  std::string why_;
  std::unordered_map<std::string, std::unique_ptr<Level>> levels_;  // by case-folded path below the target ("" itself)
  std::unordered_map<int64_t, int64_t> hours_;  // the local hours met, by date and hour
};

// folder + '\' + rel (Windows paths).
std::string WinJoin(const std::string& folder, const std::string& rel);
