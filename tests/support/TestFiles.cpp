#include "support/TestFiles.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

namespace testenv {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "pelnorix-test-XXXXXX").string();
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) std::abort();
  host_ = buf.data();
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(host_, ec);
}

std::string DataPath(const std::string& name) { return std::string(PELNORIX_TEST_DATA) + "/" + name; }

std::string SharedTestData(const std::string& name) {
  std::filesystem::path p = std::filesystem::path(PELNORIX_SHARED_TESTDATA) / name;
  return std::filesystem::exists(p) ? p.string() : "";
}

std::string ReadHostFile(const std::string& hostPath) {
  std::ifstream in(hostPath, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteHostFile(const std::string& hostPath, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(hostPath).parent_path());
  std::ofstream out(hostPath, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool HaveProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (!path || name.empty() || name.find('/') != std::string::npos) return false;
  std::istringstream dirs(path);
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    const std::string candidate = dir + "/" + name;
    std::error_code ec;
    if (!dir.empty() && std::filesystem::is_regular_file(candidate, ec) && access(candidate.c_str(), X_OK) == 0) return true;
  }
  return false;
}

bool PeerProgram(const std::string& name) {
  if (HaveProgram(name)) return true;
  if (std::getenv("CI")) {
    ADD_FAILURE() << name << " is not installed";
  } else {
    std::cerr << "note: " << name << " is not installed; its check is left out\n";
  }
  return false;
}

std::string Shell(const std::string& command, int* status) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) {
    if (status) *status = -1;
    return output;
  }
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) output.append(buf, n);
  int rc = pclose(pipe);
  if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return output;
}

std::string Quote(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

std::string LibreOfficeConvert(const TempDir& dir, const std::string& hostFile, const std::string& filter,
                               const std::string& ext) {
  const std::string out = dir.HostPath("out");
  Shell("soffice -env:UserInstallation=file://" + dir.HostPath("profile") + " --headless --convert-to " + Quote(filter) +
        " --outdir " + Quote(out) + " " + Quote(hostFile) + " >/dev/null 2>&1");
  std::string name = hostFile.substr(hostFile.rfind('/') + 1);
  name = name.substr(0, name.rfind('.')) + "." + ext;
  return ReadHostFile(out + "/" + name);
}

}  // namespace testenv
