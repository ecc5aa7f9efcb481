// The file-to-text dump: until its roads are built, a file that is not text is
// reported as a format the program does not read.
#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "platform/files.h"

int CQelDoc::DumpFileAsText(std::string path, int /*bTableRules*/, int /*bForceHtml*/) {
  m_nConvPos = 0;
  plat::File file;
  if (!file.Open(path, plat::File::Mode::Read)) {
    ConvAppend(LoadString(IDS_CANNOT_OPEN));
    return m_nConvPos;
  }
  ConvAppend(LoadString(IDS_UNSUPPORTED_FORMAT));
  return m_nConvPos;
}
