// The fuzz process's own folder: made under $TMPDIR (else /tmp) on first use with a
// unique name, and removed with everything below it when the process ends. A target
// that needs a program folder (its TMP work files below it) uses this one, so that
// targets running at the same time never share a TMP folder.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzzsupport {

class CRunFolder {
 public:
  CRunFolder() : path_((std::filesystem::temp_directory_path() / "pelnorix-fuzz-XXXXXX").string()) {
    if (!mkdtemp(path_.data())) path_.clear();
  }
  ~CRunFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  CRunFolder(const CRunFolder&) = delete;
  CRunFolder& operator=(const CRunFolder&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// The process's folder (host path); "" when it could not be made.
inline const std::string& RunFolder() {
  static const CRunFolder folder;
  return folder.Path();
}

}  // namespace fuzzsupport
