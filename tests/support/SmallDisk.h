// A small or full disk for the tests of writes that find no room. Where the test may
// mount one (root with mounts allowed) it is a tmpfs of the given size (mode 0755, as a
// folder the user made, so the program does not refuse it as shared) on a folder of
// the test's own; elsewhere the folder is a plain one and the program's runs get a
// file-size limit instead (SIGXFSZ ignored, so that a write past it fails as on a
// full disk instead of killing the program). PELNORIX_TEST_NO_TMPFS set makes every
// disk the file-size limit, as where no mount is allowed.
#pragma once

#include <sys/resource.h>
#include <sys/statvfs.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/TestFiles.h"

namespace testenv {

// Put in front of a command line: runs it with its files bounded to bytes.
inline std::string FileSizeLimitPrefix(int64_t bytes) {
  return "sh -c 'trap \"\" XFSZ; exec \"$@\"' sh prlimit --fsize=" + std::to_string(bytes) + " -- ";
}

class SmallDisk {
 public:
  SmallDisk(const TempDir& dir, const std::string& name, int64_t bytes) : host_(dir.HostPath(name)), bytes_(bytes) {
    std::filesystem::create_directories(host_);
    if (std::getenv("PELNORIX_TEST_NO_TMPFS")) return;
    int status = -1;
    Shell("mount -t tmpfs -o mode=0755,size=" + std::to_string(bytes) + " tmpfs " + Quote(host_) + " 2>/dev/null", &status);
    mounted_ = status == 0;
  }
  ~SmallDisk() {
    if (mounted_) Shell("umount -l " + Quote(host_));
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  const std::string& Host() const { return host_; }
  std::string HostPath(const std::string& name) const { return host_ + "/" + name; }
  bool Mounted() const { return mounted_; }
  // Fills a mounted disk so that at most room bytes stay free (a file "filler").
  void FillLeaving(int64_t room) const {
    struct statvfs fs {};
    if (!mounted_ || statvfs(host_.c_str(), &fs) != 0) return;
    const int64_t fill = static_cast<int64_t>(fs.f_bavail) * static_cast<int64_t>(fs.f_frsize) - room;
    if (fill > 0) WriteHostFile(HostPath("filler"), std::string(static_cast<size_t>(fill), 'f'));
  }
  // Put in front of a command line: "" on a mounted disk, else the file-size limit of
  // limit bytes (the disk's size when 0).
  std::string Prefix(int64_t limit = 0) const { return mounted_ ? "" : FileSizeLimitPrefix(limit > 0 ? limit : bytes_); }

 private:
  std::string host_;
  int64_t bytes_;
  bool mounted_ = false;
};

// The test process's own file-size limit, lowered for a scope: it stands for a disk
// with that much room for the document a test drives in-process.
class ScopedFileSizeLimit {
 public:
  explicit ScopedFileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit lowered = saved_;
    lowered.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &lowered);
    signal(SIGXFSZ, SIG_IGN);
  }
  ~ScopedFileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }
  ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
  ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

 private:
  rlimit saved_{};
};

}  // namespace testenv
