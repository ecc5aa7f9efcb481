// The outside zip and unzip programs, looked up on PATH when first needed, and the
// reading of ZIP member names.
#include "app/QelDoc.h"
#include "archive/ArchiveState.h"
#include "ops/ArchiveStatus.h"
#include "platform/text/CodePage.h"
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
    run_ = program.empty() ? Run() : Run([program](const std::vector<std::string>& args, int64_t fileSizeLimit) {
      return plat::RunProgram(program, args, "", fileSizeLimit).exitCode;
    });
    decided_ = true;
  }
  return run_;
}

ArchiveStatus CQelDoc::InitArchive() {
  Archive().m_pfnUnZip.Forget();
  Archive().m_zipProgram.Forget();
  return ArchiveStatus::Done();
}

ArchiveStatus CQelDoc::ZipMemberName(std::string_view stored, bool flaggedUtf8) const {
  ArchiveStatus s;
  bool exact = true;
  s.path = !flaggedUtf8 && Archive().m_bUtf8Names != 1 ? std::string(stored)
                                                      : plat::Utf8NameToCp932(stored, !flaggedUtf8, m_bSjisFixed, &exact);
  return s.WarnIf(!exact);
}
