#include "support/TestEnv.h"

#include "platform/os/Files.h"

namespace testenv {

DocTest::DocTest() {
  frame_ = std::make_unique<CMainFrame>();
  frame_->Ui().SetMessageStream(&messages_);
  doc_ = std::make_unique<CQelDoc>(dir_.Win() + "\\program", frame_.get());
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

}  // namespace testenv
