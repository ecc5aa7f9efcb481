#include "platform/os/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include <filesystem>
#include <random>

#include "platform/os/FolderHandle.h"
#include "platform/os/HostFiles.h"
#include "platform/os/WorkNames.h"
#include "platform/text/CodePage.h"

namespace plat {
namespace {

// Splits on '/' (host paths contain no CP932 trail bytes any more).
std::vector<std::string> SplitHost(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

}  // namespace

FileInfo StatInfo(const struct stat& st) {
  FileInfo info;
  info.size = static_cast<int64_t>(st.st_size);
  info.mtime = static_cast<int64_t>(st.st_mtime);
  info.isDirectory = S_ISDIR(st.st_mode);
  info.isSymlink = S_ISLNK(st.st_mode);
  info.isSpecial = !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode) && !S_ISLNK(st.st_mode);
  info.readOnly = (st.st_mode & S_IWUSR) == 0;
  info.ownedByUser = st.st_uid == geteuid();
  info.permissions = static_cast<int>(st.st_mode & 0777);
  return info;
}

size_t FindLastSeparator(std::string_view winPath) {
  size_t last = std::string_view::npos;
  for (size_t i = 0; i < winPath.size(); ++i) {
    const auto b = static_cast<uint8_t>(winPath[i]);
    if (IsSjisLeadByte(b) && i + 1 < winPath.size()) {
      ++i;  // the trail byte may be 0x5C and is never a separator
    } else if (b == '\\') {
      last = i;
    }
  }
  return last;
}

std::string WithoutTrailingSeparators(std::string winPath) {
  while (winPath.size() > 1 &&
         (winPath.back() == '/' || (winPath.back() == '\\' && FindLastSeparator(winPath) == winPath.size() - 1))) {
    winPath.pop_back();
  }
  return winPath;
}

std::string ShownPath(std::string_view winPath) {
  std::string shown(winPath);
  if (shown.size() >= 2 && shown[1] == ':') return shown;
  for (size_t i = 0; i < shown.size(); ++i) {
    const auto b = static_cast<unsigned char>(shown[i]);
    if (IsSjisLeadByte(b) && i + 1 < shown.size()) {
      ++i;
    } else if (b == '\\') {
      shown[i] = '/';
    }
  }
  return shown;
}

std::optional<std::string> ToHostPath(std::string_view winPath) {
  // A drive letter names no host file: dropped, it would name another file of the
  // local root. A pseudo-drive's path is the net subsystem's, never the file layer's.
  if (winPath.size() >= 2 && winPath[1] == ':' &&
      ((winPath[0] >= 'A' && winPath[0] <= 'Z') || (winPath[0] >= 'a' && winPath[0] <= 'z'))) {
    return std::nullopt;
  }
  std::string sjis;
  sjis.reserve(winPath.size());
  for (size_t i = 0; i < winPath.size(); ++i) {
    const auto b = static_cast<uint8_t>(winPath[i]);
    if (IsSjisLeadByte(b)) {
      if (i + 1 >= winPath.size()) return std::nullopt;  // a cut double-byte character
      sjis += winPath[i];
      sjis += winPath[++i];
    } else if (b == '\\') {
      sjis += '/';
    } else if (b == 0) {
      return std::nullopt;
    } else {
      sjis += static_cast<char>(b);
    }
  }
  // Every byte must decode: a malformed name would reach the disk under another name.
  std::u16string wide = Cp932ToWide(sjis);
  if (wide.find(u'\uFFFD') != std::u16string::npos) return std::nullopt;
  return Cp932ToUtf8(sjis);
}

std::string FromHostPath(std::string_view hostPath, bool* exact) {
  auto sjis = Utf8ToCp932(hostPath);
  if (exact) *exact = sjis.has_value();
  std::string text = sjis ? *sjis : Utf8ToCp932Lossy(hostPath);
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<uint8_t>(text[i]);
    if (IsSjisLeadByte(b) && i + 1 < text.size()) {
      out += text[i];
      out += text[++i];
    } else {
      out += b == '/' ? '\\' : static_cast<char>(b);
    }
  }
  return out;
}

namespace {

// The status of winPath as spelled.
std::optional<FileInfo> StatOf(std::string_view winPath, int (*statFn)(const char*, struct stat*)) {
  struct stat st;
  auto host = ToHostPath(winPath);
  if (!host || statFn(host->c_str(), &st) != 0) return std::nullopt;
  return StatInfo(st);
}

}  // namespace

std::optional<FileInfo> Stat(std::string_view winPath) { return StatOf(winPath, stat); }

std::optional<FileInfo> LinkStat(std::string_view winPath) { return StatOf(winPath, lstat); }

bool Exists(std::string_view winPath) { return LinkStat(winPath).has_value(); }

bool IsDirectory(std::string_view winPath) {
  auto info = Stat(winPath);
  return info && info->isDirectory;
}

std::optional<int64_t> FreeSpace(std::string_view winPath) {
  const auto host = ToHostPath(winPath);
  struct statvfs fs;
  if (!host || statvfs(host->c_str(), &fs) != 0) return std::nullopt;
  const uint64_t bytes = static_cast<uint64_t>(fs.f_bavail) * static_cast<uint64_t>(fs.f_frsize);
  return static_cast<int64_t>(std::min<uint64_t>(bytes, INT64_MAX));
}

std::optional<int64_t> FileSizeLimit() {
  struct rlimit limit;
  if (getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return std::nullopt;
  return static_cast<int64_t>(std::min<uint64_t>(limit.rlim_cur, INT64_MAX));
}

std::optional<int64_t> RoomForOneFile(std::string_view winPath) {
  const std::optional<int64_t> room = FreeSpace(winPath);
  const std::optional<int64_t> most = FileSizeLimit();
  if (room && most) return std::min(*room, *most);
  return room ? room : most;
}

namespace {

struct Times {
  struct timespec at[2];
  explicit Times(int64_t mtime) {
    at[0].tv_sec = static_cast<time_t>(mtime);
    at[0].tv_nsec = 0;
    at[1] = at[0];
  }
};

mode_t ReadOnlyMode(mode_t mode, bool readOnly) {
  mode &= 07777;
  return readOnly ? (mode & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
}

}  // namespace

bool SetFileTime(std::string_view winPath, int64_t mtime) {
  auto host = ToHostPath(winPath);
  return host && utimensat(AT_FDCWD, host->c_str(), Times(mtime).at, 0) == 0;
}

bool SetReadOnly(std::string_view winPath, bool readOnly) {
  auto host = ToHostPath(winPath);
  struct stat st;
  if (!host || stat(host->c_str(), &st) != 0) return false;
  return chmod(host->c_str(), ReadOnlyMode(st.st_mode, readOnly)) == 0;
}

std::string UniqueSuffix() {
  static constexpr char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device random;
  std::string text(6, 'x');
  for (char& c : text) c = kDigits[random() % 36];
  return text;
}

bool MakeDirectory(std::string_view winPath) {
  auto host = ToHostPath(winPath);
  if (!host) return false;
  if (mkdir(host->c_str(), 0777) == 0) return true;
  struct stat st;
  return errno == EEXIST && stat(host->c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeDirectories(std::string_view winPath) {
  auto host = ToHostPath(winPath);
  if (!host) return false;
  std::string path = (*host)[0] == '/' ? "/" : "";
  for (const auto& part : SplitHost(*host)) {
    path += part;
    if (mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) return false;
    path += '/';
  }
  struct stat st;
  return stat(host->c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeDirectoryAsSpelled(std::string_view winPath, unsigned permissions) {
  auto host = ToHostPath(winPath);
  return host && !host->empty() && mkdir(host->c_str(), static_cast<mode_t>(permissions)) == 0;
}

namespace {

std::string InFolder(std::string_view winFolder, const std::string& name) {
  std::string path(winFolder);
  if (!path.empty() && FindLastSeparator(path) != path.size() - 1) path += '\\';
  return path + name;
}

}  // namespace

std::optional<std::string> MakeWorkFolder(std::string_view winFolder, std::string_view stem) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string path = InFolder(winFolder, std::string(stem) + UniqueSuffix());
    auto host = ToHostPath(path);
    if (!host) return std::nullopt;
    if (mkdir(host->c_str(), 0700) == 0) return path;
    if (errno != EEXIST) return std::nullopt;
  }
  return std::nullopt;
}

bool RemoveTree(std::string_view winPath) {
  auto host = ToHostPath(winPath);
  if (!host || host->empty()) return false;
  std::error_code ec;
  std::filesystem::remove_all(*host, ec);
  return !ec;
}

bool RemoveFile(std::string_view winPath) {
  auto host = ToHostPath(winPath);
  return host && unlink(host->c_str()) == 0;
}

bool RemoveEmptyDirectory(std::string_view winPath) {
  auto host = ToHostPath(winPath);
  return host && rmdir(host->c_str()) == 0;
}

bool RenameFile(std::string_view from, std::string_view to) {
  auto src = ToHostPath(from);
  auto dst = ToHostPath(to);
  return src && dst && rename(src->c_str(), dst->c_str()) == 0;
}

bool ReplaceByRename(std::string_view workPath, std::string_view winTarget, bool keepMode) {
  auto src = ToHostPath(workPath);
  auto dst = ToHostPath(winTarget);
  if (!src || !dst || dst->empty()) return false;
  struct stat old;
  const bool replaces = lstat(dst->c_str(), &old) == 0 && S_ISREG(old.st_mode);
  // A write-protected file is the user's way of keeping it, whoever runs the program
  // and whatever the folder allows: it is replaced only once made writable.
  if (replaces && (old.st_mode & S_IWUSR) == 0) {
    errno = EACCES;
    return false;
  }
  if (keepMode && replaces) {
    const int fd = open(src->c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    const bool kept = fchmod(fd, old.st_mode & 0777) == 0;
    close(fd);
    if (!kept) return false;
  }
  return rename(src->c_str(), dst->c_str()) == 0;
}

bool CopyFile(std::string_view from, std::string_view to) {
  File in;
  File out;
  // Opening the target truncates it: a copy onto the source itself (under any of its
  // names) would empty it.
  auto source = ToHostPath(from);
  auto target = ToHostPath(to);
  struct stat src;
  struct stat dst;
  if (source && target && stat(source->c_str(), &src) == 0 && stat(target->c_str(), &dst) == 0 &&
      src.st_dev == dst.st_dev && src.st_ino == dst.st_ino) {
    return false;
  }
  if (!in.Open(from, File::Mode::Read) || !out.Open(to, File::Mode::Write)) return false;
  std::vector<char> block(1 << 16);
  for (;;) {
    int64_t n = in.Read(block.data(), static_cast<int64_t>(block.size()));
    if (n < 0) return false;
    if (n == 0) return true;
    if (!out.Write(block.data(), n)) return false;
  }
}

std::optional<std::vector<DirEntry>> ListDirectory(std::string_view winPath) {
  std::optional<FolderHandle> folder = FolderHandle::Open(winPath);
  if (!folder) return std::nullopt;
  return folder->List(true);
}

std::string GetCurrentDirectory() {
  char buf[PATH_MAX];
  if (!getcwd(buf, sizeof buf)) return "";
  return FromHostPath(buf);
}

bool SetCurrentDirectory(std::string_view winPath) {
  auto host = ToHostPath(winPath);
  return host && chdir(host->empty() ? "." : host->c_str()) == 0;
}

std::string GetEnv(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

File::~File() { Close(); }

File::File(File&& other) noexcept : fd_(other.fd_), outOfRoom_(other.outOfRoom_) { other.fd_ = -1; }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    outOfRoom_ = other.outOfRoom_;
    other.fd_ = -1;
  }
  return *this;
}

bool File::Open(std::string_view winPath, Mode mode) {
  Close();
  auto host = ToHostPath(winPath);
  if (!host || host->empty()) return false;
  // Non-blocking only while opening: a named pipe with no writer must not hang the open.
  int flags = O_CLOEXEC | O_NONBLOCK;
  switch (mode) {
    case Mode::Read: flags |= O_RDONLY; break;
    case Mode::Write: flags |= O_WRONLY | O_CREAT | O_TRUNC; break;
    case Mode::ReadWrite: flags |= O_RDWR; break;
    case Mode::Append: flags |= O_WRONLY | O_CREAT | O_APPEND; break;
    case Mode::WritePrivate: flags |= O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW; break;
    case Mode::CreateNew: flags |= O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW; break;
  }
  fd_ = open(host->c_str(), flags, mode == Mode::WritePrivate ? 0600 : 0666);
  if (fd_ < 0) return false;
  // A file that existed keeps its permissions through O_CREAT: private ones are set here.
  if (mode == Mode::WritePrivate && fchmod(fd_, 0600) != 0) {
    Close();
    return false;
  }
  struct stat st {};
  // O_NONBLOCK means nothing to a regular file; anything else gets blocking reads back.
  const bool stated = fstat(fd_, &st) == 0;
  if (!stated || S_ISDIR(st.st_mode) ||
      (!S_ISREG(st.st_mode) && fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) & ~O_NONBLOCK) != 0)) {
    const int error = stated && S_ISDIR(st.st_mode) ? EISDIR : errno;
    Close();
    errno = error;  // the caller's reason
    return false;
  }
  return true;
}

void File::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

int64_t File::Read(void* buf, int64_t n) {
  if (fd_ < 0 || n < 0) return -1;
  auto* dst = static_cast<char*>(buf);
  int64_t done = 0;
  while (done < n) {
    size_t chunk = static_cast<size_t>(std::min<int64_t>(n - done, 1 << 30));
    ssize_t got = read(fd_, dst + done, chunk);
    if (got < 0) {
      if (errno == EINTR) continue;
      return done > 0 ? done : -1;
    }
    if (got == 0) break;
    done += got;
  }
  return done;
}

bool File::Write(const void* buf, int64_t n) {
  if (fd_ < 0 || n < 0) return false;
  const auto* src = static_cast<const char*>(buf);
  int64_t done = 0;
  while (done < n) {
    size_t chunk = static_cast<size_t>(std::min<int64_t>(n - done, 1 << 30));
    ssize_t put = write(fd_, src + done, chunk);
    if (put < 0) {
      if (errno == EINTR) continue;
      outOfRoom_ = errno == ENOSPC || errno == EDQUOT || errno == EFBIG;
      return false;
    }
    done += put;
  }
  return true;
}

int64_t File::Seek(int64_t offset, Origin origin) {
  if (fd_ < 0) return -1;
  int whence = origin == Origin::Begin ? SEEK_SET : origin == Origin::Current ? SEEK_CUR : SEEK_END;
  off_t pos = lseek(fd_, static_cast<off_t>(offset), whence);
  return pos < 0 ? -1 : static_cast<int64_t>(pos);
}

int64_t File::GetPosition() const {
  if (fd_ < 0) return -1;
  return static_cast<int64_t>(lseek(fd_, 0, SEEK_CUR));
}

int64_t File::GetLength() const {
  struct stat st;
  if (fd_ < 0 || fstat(fd_, &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool File::SetTime(int64_t mtime) { return fd_ >= 0 && futimens(fd_, Times(mtime).at) == 0; }

bool File::SetReadOnly(bool readOnly) {
  struct stat st;
  return fd_ >= 0 && fstat(fd_, &st) == 0 && fchmod(fd_, ReadOnlyMode(st.st_mode, readOnly)) == 0;
}

bool File::SetPermissions(unsigned bits) { return fd_ >= 0 && fchmod(fd_, static_cast<mode_t>(bits & 07777)) == 0; }

WorkFile::~WorkFile() { Discard(); }

bool WorkFile::Create(std::string_view winFolder) {
  Discard();
  RemoveStaleWork(winFolder);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string path = InFolder(winFolder, NewWorkFileName());
    if (file_.Open(path, File::Mode::CreateNew)) {
      path_ = path;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

bool WorkFile::CreateBeside(std::string_view winTarget) {
  const size_t sep = FindLastSeparator(winTarget);
  if (sep == std::string_view::npos) return Create("");
  return Create(sep == 0 ? std::string_view("\\") : winTarget.substr(0, sep));
}

bool WorkFile::SetPermissions(unsigned bits) {
  ownPermissions_ = file_.SetPermissions(bits);
  return ownPermissions_;
}

bool WorkFile::CommitAs(std::string_view winTarget) {
  if (path_.empty()) return false;
  file_.Close();
  if (!ReplaceByRename(path_, winTarget, !ownPermissions_)) {
    const int error = errno;
    Discard();
    errno = error;
    return false;
  }
  path_.clear();
  return true;
}

void WorkFile::Discard() {
  file_.Close();
  if (path_.empty()) return;
  if (auto host = ToHostPath(path_)) unlink(host->c_str());
  path_.clear();
}

std::optional<std::string> ReadFileHead(std::string_view winPath, int64_t maxBytes) {
  File file;
  if (!file.Open(winPath, File::Mode::Read)) return std::nullopt;
  return ReadToEnd(file, maxBytes);
}

std::optional<std::string> ReadToEnd(File& file, int64_t maxBytes) {
  const int64_t length = file.GetLength();
  if (length < 0) return std::nullopt;
  const int64_t most = std::max<int64_t>(maxBytes, 0);
  std::string bytes;
  int64_t got = 0;
  // A file that tells its length is read in one; a pipe, a device or a file of /proc
  // says 0 and holds more, so it is read to its end in growing blocks, bounded by
  // maxBytes all the same.
  for (int64_t block = length > 0 ? std::min(length, most) : 1 << 16;; block = std::min<int64_t>(block * 2, 1 << 26)) {
    bytes.resize(static_cast<size_t>(std::min(got + block, most)));
    const int64_t want = static_cast<int64_t>(bytes.size()) - got;
    const int64_t n = file.Read(bytes.data() + got, want);
    if (n < 0) return std::nullopt;
    got += n;
    if (n < want || got >= most || length > 0) break;
  }
  bytes.resize(static_cast<size_t>(got));
  return bytes;
}

bool CreateWorkFile(File& file, std::string_view winPath) {
  file.Close();
  const std::optional<std::string> host = ToHostPath(winPath);
  if (!host || host->empty() || (unlink(host->c_str()) != 0 && errno != ENOENT)) return false;
  return file.Open(winPath, File::Mode::CreateNew);
}

bool WriteWholeFile(std::string_view winPath, std::string_view bytes) {
  File file;
  return CreateWorkFile(file, winPath) && file.Write(bytes.data(), static_cast<int64_t>(bytes.size()));
}

bool ReplaceWholeFile(std::string_view winPath, std::string_view bytes, unsigned permissions, std::string* why,
                      int* error) {
  const auto fail = [why, error](int number) {
    if (number == 0) number = EIO;
    if (why) *why = std::strerror(number);
    if (error) *error = number;
    return false;
  };
  WorkFile work;
  errno = 0;
  if (!work.CreateBeside(winPath) || (permissions != kKeepPermissions && !work.SetPermissions(permissions)) ||
      !work.Out().Write(bytes.data(), static_cast<int64_t>(bytes.size()))) {
    const int number = errno;
    work.Discard();
    return fail(number);
  }
  errno = 0;
  return work.CommitAs(winPath) || fail(errno);
}

}  // namespace plat
