// The fixed part of a sheet PDF: the header with its binary comment, the document
// information (title as UTF-16), the procedure set, the catalog and the five fonts.
// Each font is a Type0 font over a CIDFontType2 font of Adobe-Japan1 with the
// 90msp-RKSJ-H encoding, naming one of the four Japanese system fonts (Gothic,
// Mincho and their proportional forms; F4 the bold Gothic) by its Shift-JIS name.
#include <cstdio>

#include "platform/text/CodePage.h"
#include "richtext/sheet/SheetPdfWriter.h"

namespace sheet {

namespace {

struct PdfFont {
  int resource, type0, descriptor, cid;
  const char* baseFont;
  bool proportional;
};

// The names are the fonts' Shift-JIS names as PDF names: "ＭＳ ゴシック" without the
// blank is 82 6C 82 72 83 53 83 56 83 62 83 4E; Mincho (明朝) is 96 BE 92 A9.
constexpr PdfFont kFonts[] = {
    {0, 4, 5, 6, "#82l#82r#83S#83V#83b#83N", false},
    {1, 8, 9, 10, "#82l#82r#96#BE#92#A9", false},
    {2, 11, 16, 17, "#82l#82r#82o#83S#83V#83b#83N", true},
    {3, 18, 19, 20, "#82l#82r#82o#96#BE#92#A9", true},
    {4, 12, 13, 14, "#82l#82r#83S#83V#83b#83N,Bold", false},
};

constexpr int kWidths1To94[94] = {
    250, 250, 500, 500, 500, 500, 500, 250, 500, 500, 500, 500, 250, 500, 250, 500, 500, 500, 500, 500, 500, 500, 500, 500,
    500, 500, 203, 203, 500, 500, 500, 453, 668, 633, 637, 664, 648, 566, 551, 680, 641, 246, 543, 598, 539, 742, 641, 707,
    617, 707, 625, 602, 590, 641, 633, 742, 602, 590, 566, 336, 504, 336, 414, 305, 414, 477, 496, 500, 496, 500, 305, 461,
    500, 211, 219, 461, 211, 734, 500, 508, 496, 496, 348, 461, 352, 500, 477, 648, 461, 477, 457, 234, 234, 234};
constexpr int kWidths326To389[64] = {
    500, 441, 441, 441, 441, 441, 547, 523, 445, 480, 469, 516, 523, 504, 438, 500, 641, 617, 566, 625, 598, 637,
    563, 652, 539, 621, 523, 664, 590, 637, 645, 555, 527, 602, 602, 602, 461, 645, 598, 578, 648, 492, 637, 516,
    547, 613, 641, 605, 453, 660, 508, 609, 664, 641, 520, 559, 512, 656, 566, 559, 590, 563, 250, 230};

std::string Number(int v) { return std::to_string(v); }

std::string ProportionalWidths() {
  std::string w = "/W [ 1 [ ";
  for (int v : kWidths1To94) w += Number(v) + " ";
  w += "]\n326 [ ";
  for (int v : kWidths326To389) w += Number(v) + " ";
  w += "] 631 631 414 ] >>\nendobj\n";
  return w;
}

}  // namespace

std::string PdfTitleHex(std::string_view cp932) {
  // The whole name: a name longer than 100 units is not cut.
  static const char kHex[] = "0123456789ABCDEF";
  std::string out = "FEFF";
  for (const char16_t unit : plat::Cp932ToWide(cp932)) {
    for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(unit >> shift) & 15];
  }
  return out;
}

std::string PdfHexString(std::string_view bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2 + 2);
  out += '<';
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  out += '>';
  return out;
}

void AppendPdfFixedObjects(std::string& out, int32_t* offsets, const std::string& titleHex, const std::string& date) {
  const auto object = [&](int number, const std::string& text) {
    offsets[number] = static_cast<int32_t>(out.size());
    out += text;
  };
  out += "%PDF-1.3\n%\xE2\xE3\xCF\xD3\n";
  object(1, "1 0 obj\n<</Creator  (Tamrel) /CreationDate (D:" + date + ") /Title <" + titleHex +
                "> /Author (Tamrel) /Producer (DIZER)>>\nendobj\n");
  object(2, "2 0 obj\n[ /PDF /Text ]\nendobj\n");
  object(3, "3 0 obj\n<</Pages 7 0 R /Type /Catalog >>\nendobj\n");
  const std::string proportional = ProportionalWidths();
  for (const PdfFont& f : kFonts) {
    const std::string b = f.baseFont;
    object(f.type0, Number(f.type0) + " 0 obj\n<</Type /Font /Subtype /Type0 /Name /F" + Number(f.resource) + " /BaseFont /" + b +
                        " /DescendantFonts [ " + Number(f.cid) + " 0 R ] /Encoding /90msp-RKSJ-H >>\nendobj\n");
    object(f.descriptor, Number(f.descriptor) + " 0 obj\n<</Type /FontDescriptor /FontName /" + b +
                             (f.proportional ? " /Flags 6" : " /Flags 7") +
                             " /FontBBox [ -100 -141 842 1000 ] /MissingWidth 418 /StemV 76 /StemH 76"
                             "/ItalicAngle 0 /CapHeight 859 /XHeight 430 /Ascent 859 /Descent -141 /Leading 0 /MaxWidth 742 "
                             "/AvgWidth 418 /Style << /Panose <000000400000000000000000> >> >>\nendobj\n");
    object(f.cid, Number(f.cid) + " 0 obj\n<</Type /Font /Subtype /CIDFontType2 /BaseFont /" + b +
                      " /WinCharSet 128/FontDescriptor " + Number(f.descriptor) +
                      " 0 R /CIDSystemInfo <</Registry(Adobe) /Ordering(Japan1) /Supplement 2>> /DW 1000\n" +
                      (f.proportional ? proportional : "/W [ 1 99 500 326 421 500 ] >>\nendobj\n"));
  }
}

void PdfPageSize(char paper, int& width, int& height) {
  // Portrait width and height per paper pair; B3 (i/j) is 1031 x 1456 upright but
  // 1459 wide lying, and Letter is 790 high.
  static constexpr int kSizes[11][4] = {{595, 842, 842, 595},    {842, 1190, 1190, 842}, {421, 595, 595, 421},
                                        {728, 1031, 1031, 728},  {1031, 1456, 1459, 1031}, {515, 728, 728, 515},
                                        {612, 790, 790, 612},    {612, 1009, 1009, 612}, {791, 1224, 1224, 791},
                                        {521, 757, 757, 521},    {283, 419, 419, 283}};
  if (paper < 'a' || paper > 'v') paper = 'a';
  const int index = paper - 'a';
  const auto& row = kSizes[index / 2];
  const bool landscape = index % 2 == 1;
  width = landscape ? row[2] : row[0];
  height = landscape ? row[3] : row[1];
}

}  // namespace sheet
