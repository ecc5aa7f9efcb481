// The outside zip and unzip programs, looked up on PATH when first needed.
#include "app/QelDoc.h"
#include "platform/os/Process.h"

const std::string& COutsideProgram::Path() const {
  if (!looked_) {
    path_ = plat::FindProgram(name_);
    looked_ = true;
  }
  return path_;
}

const CUnzipEntry::Run& CUnzipEntry::Get() const {
  if (!decided_) {
    const std::string program = program_.Path();
    run_ = program.empty() ? Run() : Run([program](const std::vector<std::string>& args) {
      return plat::RunProgram(program, args).exitCode;
    });
    decided_ = true;
  }
  return run_;
}

void CQelDoc::InitArchive() {
  m_pfnUnZip.Forget();
  m_zipProgram.Forget();
}
