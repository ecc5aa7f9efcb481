// An exclusive lock on a folder (flock on the folder itself), held while the object
// lives and released by the system when the process ends, however it ends. A run
// holds its own work folder this way, so a folder whose lock can be taken belongs to
// no running process.
#pragma once

#include <optional>
#include <string_view>

namespace plat {

class FolderLock {
 public:
  FolderLock() = default;
  FolderLock(FolderLock&& other) noexcept;
  FolderLock& operator=(FolderLock&& other) noexcept;
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  ~FolderLock();

  // Takes the lock of winFolder (a real folder, not a link); with wait false, nullopt
  // at once when another holds it.
  static std::optional<FolderLock> Take(std::string_view winFolder, bool wait);
  bool Held() const { return fd_ >= 0; }
  void Release();

 private:
  explicit FolderLock(int fd) : fd_(fd) {}
  int fd_ = -1;
};

}  // namespace plat
