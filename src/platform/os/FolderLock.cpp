#include "platform/os/FolderLock.h"

#include <cerrno>
#include <string>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/os/Files.h"

namespace plat {

FolderLock::FolderLock(FolderLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

FolderLock::~FolderLock() { Release(); }

void FolderLock::Release() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

std::optional<FolderLock> FolderLock::Take(std::string_view winFolder, bool wait) {
  std::optional<std::string> host = ToHostPath(winFolder);
  if (!host) return std::nullopt;
  const int fd = open(host->c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  int rc;
  do {
    rc = flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB));
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    close(fd);
    return std::nullopt;
  }
  return FolderLock(fd);
}

}  // namespace plat
