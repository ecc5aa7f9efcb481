// The sheet PDF: the cell text written as a PDF 1.3 file with five composite fonts
// (CID TrueType, 90msp-RKSJ-H, not embedded), so the cells stay Shift-JIS bytes in
// the page streams. Pure text in, bytes out; the table engine chooses the file,
// writes it and opens it. Limits: 4,900 object numbers (a page does not begin above
// 4,870), 512 MiB of output, 4,000 bands of columns a sheet.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace sheet {

struct PdfInput {
  std::string_view cells;  // the cell text: rows end in CR LF, cells open with byte 6
  int number = -1;         // text size: number / 5 half-points when positive
  char paper = 'a';        // the printer defaults' paper letter ('a'..'v')
  int margins[4] = {1000, 1000, 2000, 1000};  // top, bottom, left, right in 1/100 mm
  std::string title;       // the file's name without extension (CP932)
  std::string date;        // "YYYYMMDDhhmmss" in UTC
  bool verticalRules = false;  // a rule left of every cell (the view's vertical rules)
  // Asked at the end of every tenth row while rows of the sheet remain, with the row
  // number, the sheet's last row number and the sheet number; true stops the run.
  std::function<bool(int row, int last, int sheet)> progress;
};

enum class PdfStop { None, Esc, ObjectLimit, TooLarge };

struct PdfOutput {
  std::string bytes;        // the whole file (empty when the run stopped)
  PdfStop stop = PdfStop::None;
  int stopObject = 0;       // the page number that passed the limit
  int pages = 0;
  char paper = 0;           // the paper letter of the last sheet's settings line; 0 none
  int scale = 0;            // its print scale; 0 none
  int margins[4] = {-99, -99, -99, -99};  // margins a settings line gave; -99 none
};

inline constexpr int kPdfObjectTable = 4900;
inline constexpr int kPdfObjectLimit = 4870;
inline constexpr int kPdfFirstPage = 21;

PdfOutput BuildSheetPdf(const PdfInput& in);

// Page width and height in points of a paper letter ('a' A4 portrait ... 'v').
void PdfPageSize(char paper, int& width, int& height);
// "FEFF" and the UTF-16 units of a CP932 text, four upper-case hex digits each.
std::string PdfTitleHex(std::string_view cp932);
// A PDF hex string of bytes: "<" two upper-case digits a byte ">".
std::string PdfHexString(std::string_view bytes);

// The fixed objects 1 to 6 and 8 to 20 (all but the page tree 7), appended to out
// with each object's offset noted in offsets (kPdfObjectTable entries).
void AppendPdfFixedObjects(std::string& out, int32_t* offsets, const std::string& titleHex, const std::string& date);

}  // namespace sheet
