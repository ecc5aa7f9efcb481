// The sheet PDF's pages: the sheets of the cell text are walked row by row as the
// sheet RTF walks them; each sheet begins a page, a page ends when the next row
// would start below the bottom margin or at a row's page mark, and every page is
// four objects (the page, its Flate content stream, the stream's length, its
// resources). A cell is drawn as a hex string of its Shift-JIS bytes in the font its
// attributes select, at its column's place (left, centred or right as the row, the
// column or the sheet places it); the columns are as wide as their widest text, and
// a column's left rule (or the view's vertical rules) is drawn beside each of its
// cells. Offsets are taken from the output's length as each object is appended.
#include <algorithm>
#include <cstdio>
#include <span>
#include <vector>

#include "codec/CodecServices.h"
#include "platform/text/CodePage.h"
#include "richtext/SheetPdfWriter.h"
#include "richtext/SheetRead.h"

namespace sheet {

namespace {

constexpr size_t kMaxOutput = size_t{1} << 29;
constexpr int kMinCharWidth = 5;  // tenths of a point: no text measures narrower

// One object text with up to four numbers, whatever its length.
std::string Format(const char* format, int a, int b = 0, int c = 0, int d = 0) {
  std::string text(160, '\0');
  const int n = std::snprintf(text.data(), text.size(), format, a, b, c, d);
  if (n >= static_cast<int>(text.size())) {
    text.resize(static_cast<size_t>(n) + 1);
    std::snprintf(text.data(), text.size(), format, a, b, c, d);
  }
  text.resize(static_cast<size_t>(std::max(n, 0)));
  return text;
}

// Tenths of a point as "%d.%d".
std::string Tenths(int v) {
  return (v < 0 ? "-" : "") + std::to_string(std::abs(v) / 10) + "." + std::to_string(std::abs(v) % 10);
}

// The width of one byte of text of s half-points, in tenths of a point: half of the
// font size (s / 2 - 1 points); a double-byte character is two bytes wide.
int CharWidth(int s) { return std::max((5 * s - 10) / 2, kMinCharWidth); }

class PageWriter {
 public:
  PageWriter(const PdfInput& in, PdfOutput& out) : in_(in), out_(out), offsets_(kPdfObjectTable, 0) {}

  void Run() {
    std::string& o = out_.bytes;
    AppendPdfFixedObjects(o, offsets_.data(), PdfTitleHex(in_.title), in_.date);
    paper_ = in_.paper;
    top_ = in_.margins[0];
    bottom_ = in_.margins[1];
    left_ = in_.margins[2];
    const std::vector<SheetText> sheets = ReadCellSheets(in_.cells);
    for (size_t k = 0; k < sheets.size(); ++k) {
      if (!Sheet(sheets[k], static_cast<int>(k) + 1)) {
        o.clear();
        return;
      }
    }
    EndPage();
    Close();
  }

 private:
  bool Sheet(const SheetText& s, int number) {
    const SheetFormat& sf = s.settings.format;
    if (s.settingsSeen) {
      if (s.settings.paper) paper_ = out_.paper = s.settings.paper;
      out_.scale = s.settings.scale;
      const int* m = s.settings.margins;
      for (int k = 0; k < 4; ++k) {
        if (m[k] != -99) out_.margins[k] = m[k];
      }
      if (m[0] != -99) top_ = m[0];
      if (m[1] != -99) bottom_ = m[1];
      if (m[2] != -99) left_ = m[2];
    }
    if (!BeginPage()) return false;

    int h = in_.number > 0 ? in_.number / 5 : 21;
    if (sf.attrs.size > 0) h = sf.attrs.size;
    h = std::clamp(h, 2, 400);
    Layout(s, h);

    const size_t first = s.widthLine ? 1 : 0;
    const int last = static_cast<int>(std::min<size_t>(s.rows.size(), INT32_MAX));
    char prevBottom = 0;
    for (size_t r = first; r < s.rows.size(); ++r) {
      const SheetRowText& row = s.rows[r];
      const int rule = RuleKindBetween(prevBottom, row.hasFormat ? row.format.top : 0);
      prevBottom = row.hasFormat ? row.format.bottom : 0;
      Row(s, row, h, rule);
      if (out_.bytes.size() + content_.size() > kMaxOutput) {
        out_.stop = PdfStop::TooLarge;
        return false;
      }
      const bool remain = r + 1 < s.rows.size();
      const int rowNumber = static_cast<int>(r) + 1;
      if (remain && rowNumber % 10 == 0 && in_.progress && in_.progress(rowNumber, last, number)) {
        out_.stop = PdfStop::Esc;
        return false;
      }
      const bool mark = row.hasFormat && row.format.pageBreak && !sf.pageMarks;
      // The page is full when y is below the bottom margin (1/100 mm taken / 30 as points) + 10.
      if (remain && (y_ < std::clamp(bottom_, 0, 99999) / 30 + 10 || mark) && !BeginPage()) return false;
    }
    return true;
  }

  // Column places in tenths of a point from the page's left edge: each column as wide
  // as its widest text (the width line of a kind 'S' sheet as given), one character
  // between columns. Free text and rows outside the table set no widths.
  void Layout(const SheetText& s, int h) {
    widths_.clear();
    for (size_t r = 0; r < s.rows.size(); ++r) {
      const SheetRowText& row = s.rows[r];
      if (row.freeText || row.outside) continue;
      const bool widthRow = s.widthLine && r == 0;
      for (size_t c = 0; c < row.texts.size() && c < kMaxColumns * 4; ++c) {
        if (widths_.size() <= c) widths_.resize(c + 1, 2 * CharWidth(h));
        const int size = CellSize(s, row, c, h);
        int64_t chars = static_cast<int64_t>(row.texts[c].size());
        if (widthRow) {
          const std::string& f = row.cells[c];
          if (!f.empty() && f[0] == 'A') continue;
          if (!f.empty() && std::all_of(f.begin(), f.end(), [](char ch) { return ch >= '0' && ch <= '9'; })) {
            chars = std::min(std::atoi(f.substr(0, 4).c_str()), 1000);
          }
        }
        widths_[c] = static_cast<int>(std::clamp<int64_t>(chars * CharWidth(size), widths_[c], 1 << 20));
      }
    }
  }

  TextAttributes CellAttributes(const SheetText& s, const SheetRowText& row, size_t c) const {
    TextAttributes a;
    const std::string_view raw = c < row.cells.size() ? std::string_view(row.cells[c]) : std::string_view();
    if (c < s.columns.size() && s.ColumnApplies(c, raw)) a = s.columns[c].attrs;
    const TextAttributes& sheet = s.settings.format.attrs;
    if (!a.size) a.size = sheet.size;
    a.attributes |= static_cast<uint8_t>(sheet.attributes & 0x0F);
    if (!(a.attributes & 0x70)) a.attributes |= static_cast<uint8_t>(sheet.attributes & 0x70);
    return a;
  }

  int CellSize(const SheetText& s, const SheetRowText& row, size_t c, int h) const {
    const int size = CellAttributes(s, row, c).size;
    return std::clamp(size > 0 ? size : h, 2, 400);
  }

  void Row(const SheetText& s, const SheetRowText& row, int h, int rule) {
    const SheetFormat& sf = s.settings.format;
    int size = sf.rowSize > 0 ? std::clamp(sf.rowSize, 2, 400) : h;
    if (sf.rowSize <= 0) {
      for (size_t c = 0; c < row.texts.size(); ++c) size = std::max(size, CellSize(s, row, c, h));
    }
    const int pageRight = width_ * 10;
    const int left = std::clamp(left_ / 30, 0, width_) * 10;
    if (rule > 0) {
      // The rule above the row, across the table's columns.
      int right = left;
      for (int w : widths_) {
        right += w + CharWidth(h);
        if (right >= pageRight) break;
      }
      right = std::min(right, pageRight);
      content_ += (rule == 2 ? "1.5 w\n" : "0.5 w\n") + Tenths(left) + " " + std::to_string(y_) + " m " + Tenths(right) +
                  " " + std::to_string(y_) + " l S\n";
      y_ -= rule;
    }
    const int baseline = y_ * 10 - (size * 4 + 10);
    const int pitch = size / 2 + 2;
    int x = left;
    for (size_t c = 0; c < row.texts.size() && x < pageRight; ++c) {
      const std::string& text = row.texts[c];
      const int width = c < widths_.size() ? widths_[c] : 2 * CharWidth(h);
      const std::string_view raw = c < row.cells.size() ? std::string_view(row.cells[c]) : std::string_view();
      const bool applies = c < s.columns.size() && s.ColumnApplies(c, raw);
      const char leftRule = applies ? s.columns[c].rules[0] : 0;
      if (in_.verticalRules || leftRule == '1' || leftRule == '2') {
        const int at = std::max(x - CharWidth(h) / 2, 0);
        content_ += (leftRule == '2' ? "1.5 w\n" : "0.5 w\n") + Tenths(at) + " " + std::to_string(y_) + " m " + Tenths(at) + " " +
                    std::to_string(y_ - pitch) + " l S\n";
      }
      if (!text.empty()) {
        // Right or centred text starts where its measure leaves it in the column.
        const char placement = HorizontalPlacement(Placement(s, row, c, applies));
        const int64_t room = int64_t{width} - int64_t{CharWidth(CellSize(s, row, c, h))} * static_cast<int64_t>(text.size());
        const int shift = room <= 0 ? 0 : placement == 'R' ? static_cast<int>(room) : placement == 'C' ? static_cast<int>(room / 2) : 0;
        Cell(s, row, c, text, x + shift, baseline, pageRight, h);
      }
      x += width + CharWidth(h);
    }
    y_ -= pitch;
  }

  // The placement code of a cell: the row's, the column's (a thousands form places
  // right), else the sheet's.
  static uint8_t Placement(const SheetText& s, const SheetRowText& row, size_t c, bool applies) {
    if (row.hasFormat && row.format.placement) return row.format.placement;
    if (applies && s.columns[c].placement) return s.columns[c].placement;
    if (applies && (s.columns[c].numberForm & 0x7F) == 'c') return 'R';
    return s.settings.format.placement;
  }

  void Cell(const SheetText& s, const SheetRowText& row, size_t c, const std::string& text, int x, int baseline, int right,
            int h) {
    const TextAttributes a = CellAttributes(s, row, c);
    int font = a.Font() >= 1 && a.Font() <= 4 ? a.Font() : 1;
    if (a.attributes & 1) font = 5;
    const int size = std::clamp(a.size > 0 ? a.size : h, 2, 400);
    const int points = 5 * size - 10;
    content_ += Format("BT\n/F%d %d.%d Tf\nET\n", font - 1, points / 10, points % 10);
    // Only what fits before the page's right edge is drawn, characters whole.
    const int room = (right - x) / CharWidth(size) + 1;
    size_t n = 0;
    while (n < text.size() && static_cast<int>(n) < room) {
      n += IsSjisLeadByte(static_cast<uint8_t>(text[n])) && n + 1 < text.size() ? 2 : 1;
    }
    content_ += "BT\n" + Tenths(x) + " " + Tenths(baseline) + " Td\n" + PdfHexString(std::string_view(text).substr(0, n)) +
                " Tj\nET\n";
  }

  void Object(int number) { offsets_[static_cast<size_t>(number)] = static_cast<int32_t>(out_.bytes.size()); }

  bool BeginPage() {
    if (open_) EndPage();
    if (next_ > kPdfObjectLimit) {
      out_.stop = PdfStop::ObjectLimit;
      out_.stopObject = next_;
      return false;
    }
    PdfPageSize(paper_, width_, height_);
    const int n = next_;
    next_ += 4;
    ++out_.pages;
    kids_ += Format(" %d 0 R", n);
    std::string& o = out_.bytes;
    Object(n);
    o += Format("%d 0 obj\n<</Type /Page /Parent 7 0 R /MediaBox [ 0 0 %d %d ]", n, width_, height_);
    o += Format(" /Resources %d 0 R /Contents %d 0 R >>\nendobj\n", n + 3, n + 1);
    Object(n + 1);
    o += Format("%d 0 obj\n<</Length %d 0 R \n/Filter /FlateDecode >>\nstream\n", n + 1, n + 2);
    page_ = n;
    y_ = height_ - std::clamp(top_, 0, 99999) / 30;
    content_.clear();
    open_ = true;
    return true;
  }

  void EndPage() {
    if (!open_) return;
    open_ = false;
    std::vector<uint8_t> packed;
    ZlibAppend(std::span(reinterpret_cast<const uint8_t*>(content_.data()), content_.size()), packed);
    std::string& o = out_.bytes;
    o.append(packed.begin(), packed.end());
    o += "\nendstream\nendobj\n";
    Object(page_ + 2);
    o += Format("%d 0 obj\n%d\nendobj\n", page_ + 2, static_cast<int>(packed.size()));
    Object(page_ + 3);
    o += Format("%d 0 obj\n<</ProcSet 2 0 R /Font <</F0 4 0 R /F1 8 0 R /F2 11 0 R /F3 18 0 R /F4 12 0 R >> >>\nendobj\n",
                page_ + 3);
  }

  void Close() {
    std::string& o = out_.bytes;
    Object(7);
    o += "7 0 obj\n<</Kids [" + kids_ + "] /Count " + std::to_string(out_.pages) + " /Type /Pages /MediaBox [ 0 0 " +
         Format("%d %d", width_, height_) + " ] >>\nendobj\n";
    const int xref = static_cast<int>(o.size());
    o += Format("xref\n0 %d\n", next_);
    o += "0000000000 65535 f \n";
    for (int k = 1; k < next_; ++k) {
      const int32_t at = offsets_[static_cast<size_t>(k)];
      o += at > 0 ? Format("%010d 00000 n \n", at) : std::string("0000000000 65535 f \n");
    }
    o += Format("trailer\n<</Size %d /Root 3 0 R /Info 1 0 R\n", next_);
    o += ">>\n";
    o += Format("startxref\n%d\n%%%%EOF\n", xref);
  }

  const PdfInput& in_;
  PdfOutput& out_;
  std::vector<int32_t> offsets_;
  std::vector<int> widths_;
  std::string kids_;
  std::string content_;
  char paper_ = 'a';
  int top_ = 1000, bottom_ = 1000, left_ = 2000;
  int next_ = kPdfFirstPage;
  int page_ = 0;
  int width_ = 595, height_ = 842;
  int y_ = 0;
  bool open_ = false;
};

}  // namespace

PdfOutput BuildSheetPdf(const PdfInput& in) {
  PdfOutput out;
  PageWriter(in, out).Run();
  return out;
}

}  // namespace sheet
