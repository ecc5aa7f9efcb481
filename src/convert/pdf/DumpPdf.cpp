// The PDF road of the file-to-text dump.
#include "app/QelDoc.h"
#include "convert/ConvertStatus.h"
#include "convert/dump/DumpCall.h"
#include "convert/pdf/PdfReader.h"

ConvertStatus CQelDoc::DumpPdf(DumpCall& call) { return PdfReader(*this, call).Run(); }
