// The chosen picture of a PDF: its stream handed to the picture output.
#include "convert/pdf/PdfReader.h"

void PdfReader::ShowSelectedImage(const uint8_t*, int64_t) {}
