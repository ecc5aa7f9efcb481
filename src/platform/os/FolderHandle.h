// A folder held open by its handle. Names inside it are reached relative to the
// handle, one name at a time and never through a symbolic link, so a link planted
// in a tree cannot carry a write elsewhere, and a folder walked once is never
// resolved again by path. Names are one part of a Windows path (CP932, no '\').
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os/Files.h"

namespace plat {

class FolderHandle {
 public:
  FolderHandle() = default;
  ~FolderHandle();
  FolderHandle(FolderHandle&& other) noexcept;
  FolderHandle& operator=(FolderHandle&& other) noexcept;
  FolderHandle(const FolderHandle&) = delete;
  FolderHandle& operator=(const FolderHandle&) = delete;

  // The folder at winPath (links on the way to it are followed: the path is the
  // caller's choice); nullopt when it is no folder.
  static std::optional<FolderHandle> Open(std::string_view winPath);
  bool IsOpen() const { return fd_ >= 0; }

  // The folder name inside this one; nullopt when it is missing, a link or no folder.
  std::optional<FolderHandle> OpenChild(std::string_view name) const;
  // Makes the folder name inside this one; true only when this call made it.
  bool MakeChild(std::string_view name, unsigned permissions = 0777) const;
  // The entries, as ListDirectory gives them; without sizes, an entry's size and time
  // stay 0 and the folder's own record of each entry's type serves where it has one.
  std::optional<std::vector<DirEntry>> List(bool withSizes) const;
  // Status of name, a link not followed.
  std::optional<FileInfo> StatChild(std::string_view name) const;

  // Creates the file name, which must not exist (never through a link): false with
  // *exists set when something of that name is there.
  bool CreateFile(std::string_view name, File& out, bool* exists) const;
  // Creates a work file under a new unique name; *name receives it.
  bool CreateWorkFile(File& out, std::string* name) const;
  bool Remove(std::string_view name) const;
  // Moves fromName in folder from to name in this folder. Without replace it fails
  // with *exists set when something of that name is there; with replace a file of
  // the name (or a link, never what it points to) is replaced.
  bool MoveInto(const FolderHandle& from, std::string_view fromName, std::string_view name, bool replace,
                bool* exists) const;

 private:
  explicit FolderHandle(int fd) : fd_(fd) {}
  int fd_ = -1;
};

}  // namespace plat
