#include "convert/pdf/PdfImageTag.h"

#include <cstdio>

#include "convert/pdf/PdfScan.h"

std::string FormatPdfImageTag(int object, int orientation, int pageRotation, int wideBlank, int filter) {
  // Orientation code to mirror bit and quarter turns.
  static constexpr int kFlip[8] = {0, 1, 1, 0, 1, 0, 0, 1};
  static constexpr int kTurns[8] = {0, 2, 0, 2, 1, 3, 1, 3};
  const int o = orientation >= 0 && orientation < 8 ? orientation : 0;
  int turns = kTurns[o];
  if (pageRotation > 0 && pageRotation < 390) turns += (pageRotation + 10) / 90;
  else if (pageRotation < 0 && pageRotation > -390) turns += (pageRotation - 10) / 90 + 4;
  turns %= 4;
  const int index = turns + 4 * kFlip[o];
  char text[48];
  if (index == 0) std::snprintf(text, sizeof text, wideBlank == 1 ? "[Image%d]" : "[Im%d]", object);
  else std::snprintf(text, sizeof text, "[Im%c%d]", 'a' + index, object);
  std::string tag = text;
  switch (filter) {
    case 6: tag += "TIF"; break;
    case 2: case 8: tag += "JPG"; break;
    case 12: tag += "JPX"; break;
    case 9: tag += "JBIG2"; break;
    case 7: tag += "LZW"; break;
    default: break;
  }
  return tag;
}

bool ParsePdfImageTag(std::string_view text, int* object, char* letter) {
  for (size_t at = text.find("[Im"); at != std::string_view::npos; at = text.find("[Im", at + 1)) {
    size_t p = at + 3;
    char l = 'a';
    if (text.substr(p, 3) == "age") p += 3;
    else if (p < text.size() && text[p] >= 'b' && text[p] <= 'h') l = text[p++];
    int n = 0, digits = 0;
    for (; p < text.size() && PdfIsDigit(static_cast<uint8_t>(text[p])) && digits < 6; ++p, ++digits) n = n * 10 + (text[p] - '0');
    if (digits == 0 || p >= text.size() || text[p] != ']') continue;
    *object = n;
    *letter = l;
    return true;
  }
  return false;
}
