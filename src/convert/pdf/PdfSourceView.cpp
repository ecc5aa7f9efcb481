#include "convert/pdf/PdfReader.h"

void PdfReader::SourceView() {}
