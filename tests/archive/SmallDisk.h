// A small disk for the full-disk tests: a tmpfs of the given size mounted on a
// folder of the test's own where the test may mount one (root with mounts allowed),
// else a plain folder whose runs of the program get a file-size limit of that size
// (SIGXFSZ ignored, so a write past it fails as on a full disk instead of killing).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "support/TestEnv.h"

namespace archtest {

class SmallDisk {
 public:
  SmallDisk(const testenv::TempDir& dir, const std::string& name, int64_t bytes)
      : host_(dir.HostPath(name)), bytes_(bytes) {
    std::filesystem::create_directories(host_);
    int status = -1;
    testenv::Shell("mount -t tmpfs -o size=" + std::to_string(bytes) + " tmpfs " + testenv::Quote(host_) + " 2>/dev/null",
                   &status);
    mounted_ = status == 0;
  }
  ~SmallDisk() {
    if (mounted_) testenv::Shell("umount -l " + testenv::Quote(host_));
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  const std::string& Host() const { return host_; }
  std::string HostPath(const std::string& name) const { return host_ + "/" + name; }
  bool Mounted() const { return mounted_; }
  // Put in front of a command line: runs it under the disk's limit when no disk of
  // that size could be mounted.
  std::string Prefix() const {
    if (mounted_) return "";
    return "sh -c 'trap \"\" XFSZ; exec \"$@\"' sh prlimit --fsize=" + std::to_string(bytes_) + " -- ";
  }

 private:
  std::string host_;
  int64_t bytes_;
  bool mounted_ = false;
};

}  // namespace archtest
