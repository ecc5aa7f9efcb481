#include "platform/os/FolderHandle.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/os/HostFiles.h"
#include "platform/os/WorkNames.h"

namespace plat {
namespace {

// One name's host form; nullopt for a name that is no single part ("", ".", "..",
// a separator inside, a name CP932 cannot decode). Converted behind a separator so
// that a leading "X:" stays part of the name instead of reading as a drive.
std::optional<std::string> HostName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return std::nullopt;
  std::optional<std::string> host = ToHostPath(std::string(1, '\\').append(name));
  if (!host || host->size() < 2 || host->find('/', 1) != std::string::npos) return std::nullopt;
  return host->substr(1);
}

}  // namespace

FolderHandle::~FolderHandle() {
  if (fd_ >= 0) close(fd_);
}

FolderHandle::FolderHandle(FolderHandle&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

FolderHandle& FolderHandle::operator=(FolderHandle&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

std::optional<FolderHandle> FolderHandle::Open(std::string_view winPath) {
  std::optional<std::string> host = ToHostPath(winPath);
  if (!host) return std::nullopt;
  const int fd = open(host->empty() ? "." : host->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  return FolderHandle(fd);
}

std::optional<FolderHandle> FolderHandle::OpenChild(std::string_view name) const {
  std::optional<std::string> host = HostName(name);
  if (!host || fd_ < 0) return std::nullopt;
  const int fd = openat(fd_, host->c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  return FolderHandle(fd);
}

bool FolderHandle::MakeChild(std::string_view name, unsigned permissions) const {
  std::optional<std::string> host = HostName(name);
  return host && fd_ >= 0 && mkdirat(fd_, host->c_str(), static_cast<mode_t>(permissions)) == 0;
}

std::optional<std::vector<DirEntry>> FolderHandle::List(bool withSizes) const {
  if (fd_ < 0) return std::nullopt;
  // The listing reads through a handle of its own: the folder's stays unmoved.
  const int own = openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (own < 0) return std::nullopt;
  DIR* dir = fdopendir(own);
  if (!dir) {
    close(own);
    return std::nullopt;
  }
  std::vector<DirEntry> entries;
  while (dirent* e = readdir(dir)) {
    const std::string_view name = e->d_name;
    if (name == "." || name == "..") continue;
    DirEntry entry;
    entry.name = FromHostPath(name, &entry.nameExact);
    // A '\' inside a host name would read as a separator: the name is not reachable as written.
    if (FindLastSeparator(entry.name) != std::string::npos) entry.nameExact = false;
    struct stat st;
    if (!withSizes && (e->d_type == DT_REG || e->d_type == DT_DIR || e->d_type == DT_LNK)) {
      entry.isSymlink = e->d_type == DT_LNK;
      entry.isDirectory = e->d_type == DT_DIR;
    } else if (fstatat(fd_, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
      entry.isSymlink = S_ISLNK(st.st_mode);
      entry.isDirectory = S_ISDIR(st.st_mode);
      entry.size = static_cast<int64_t>(st.st_size);
      entry.mtime = static_cast<int64_t>(st.st_mtime);
    }
    entries.push_back(std::move(entry));
  }
  closedir(dir);
  return entries;
}

std::optional<FileInfo> FolderHandle::StatChild(std::string_view name) const {
  std::optional<std::string> host = HostName(name);
  struct stat st;
  if (!host || fd_ < 0 || fstatat(fd_, host->c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
  return StatInfo(st);
}

bool FolderHandle::CreateFile(std::string_view name, File& out, bool* exists) const {
  *exists = false;
  out.Close();
  std::optional<std::string> host = HostName(name);
  if (!host || fd_ < 0) return false;
  const int fd = openat(fd_, host->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    *exists = errno == EEXIST;
    return false;
  }
  out = File(fd);
  return true;
}

bool FolderHandle::CreateWorkFile(File& out, std::string* name) const {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string candidate = NewWorkFileName();
    bool exists = false;
    if (CreateFile(candidate, out, &exists)) {
      *name = candidate;
      return true;
    }
    if (!exists) return false;
  }
  return false;
}

bool FolderHandle::Remove(std::string_view name) const {
  std::optional<std::string> host = HostName(name);
  return host && fd_ >= 0 && unlinkat(fd_, host->c_str(), 0) == 0;
}

bool FolderHandle::MoveInto(const FolderHandle& from, std::string_view fromName, std::string_view name, bool replace,
                            bool* exists) const {
  *exists = false;
  std::optional<std::string> src = HostName(fromName);
  std::optional<std::string> dst = HostName(name);
  if (!src || !dst || fd_ < 0 || from.fd_ < 0) return false;
  if (replace) return renameat(from.fd_, src->c_str(), fd_, dst->c_str()) == 0;
  if (renameat2(from.fd_, src->c_str(), fd_, dst->c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno == EEXIST) {
    *exists = true;
    return false;
  }
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without the exclusive rename: the name is looked at first.
  struct stat st;
  if (fstatat(fd_, dst->c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    *exists = true;
    return false;
  }
  return renameat(from.fd_, src->c_str(), fd_, dst->c_str()) == 0;
}

}  // namespace plat
