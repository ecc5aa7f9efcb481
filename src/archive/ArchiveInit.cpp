// Sets up the document's archive fields when the document is made: looks up the
// outside unzip program on PATH once.
#include "app/QelDoc.h"
#include "platform/os/Process.h"

void CQelDoc::InitArchive() {
  m_strZipProgram = plat::FindProgram("zip");
  std::string program = plat::FindProgram("unzip");
  if (program.empty()) {
    m_pfnUnZip = nullptr;
    return;
  }
  m_pfnUnZip = [program](const std::vector<std::string>& args) { return plat::RunProgram(program, args).exitCode; };
}
