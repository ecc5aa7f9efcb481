// The PDF road of the file-to-text dump.
#include "app/QelDoc.h"
#include "base/ConvertStatus.h"
#include "convert/dump/DumpCall.h"
#include "convert/pdf/PdfReader.h"

ConvertStatus CQelDoc::DumpPdf(DumpCall& call) { return PdfReader(*this, call).Run(); }
