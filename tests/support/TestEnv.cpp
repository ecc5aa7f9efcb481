#include "support/TestEnv.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/text/CodePage.h"
#include "platform/os/Files.h"
#include "platform/os/Process.h"

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

std::string TempDir::Win() const { return plat::FromHostPath(host_); }

DocTest::DocTest() {
  frame_ = std::make_unique<CMainFrame>();
  frame_->Ui().SetMessageStream(&messages_);
  doc_ = std::make_unique<CQelDoc>(dir_.Win() + "\\program");
}

DocTest::~DocTest() {
  doc_.reset();
  frame_.reset();
}

std::string DocTest::Win(const std::string& name) const { return plat::FromHostPath(dir_.HostPath(name)); }

std::string DocTest::WriteFile(const std::string& name, const std::string& bytes) const {
  WriteHostFile(dir_.HostPath(name), bytes);
  return Win(name);
}

std::string DocTest::Text() const {
  return doc_->m_pText ? std::string(doc_->m_pText, static_cast<size_t>(doc_->m_nTextLen)) : std::string();
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

bool HaveProgram(const std::string& name) { return !plat::FindProgram(name).empty(); }

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

ProgramRun RunProgram(const std::string& folder, const std::string& home, const std::string& args,
                      const std::string& prefix) {
  ProgramRun run;
  const std::string err = folder + "/err.txt";
  run.out = Shell("cd " + Quote(folder) + " && PELNORIX_HOME=" + Quote(home) + " " + prefix + Quote(PELNORIX_BINARY) + " " +
                      args + " 2>" + Quote(err),
                  &run.status);
  run.err = ReadHostFile(err);
  return run;
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
