// The PDF road of the file-to-text dump.
#include "app/QelDoc.h"
#include "convert/dump/DumpCall.h"
#include "convert/pdf/PdfReader.h"

int CQelDoc::DumpPdf(DumpCall& call) {
  WriteConvertFailure(PdfReader(*this, call).Run());
  return m_nConvPos;
}
