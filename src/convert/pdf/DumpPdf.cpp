// The PDF road of the file-to-text dump.
#include "app/QelDoc.h"
#include "convert/dump/DumpCall.h"
#include "convert/pdf/PdfReader.h"

int CQelDoc::DumpPdf(DumpCall& call) {
  PdfReader reader(*this, call);
  return reader.Run();
}
