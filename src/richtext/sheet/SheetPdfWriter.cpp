// The sheet PDF's pages: the sheets of the cell text are walked row by row as the
// sheet RTF walks them; each sheet begins a page, a page ends when the next row
// would start below the bottom margin or at a row's page mark, and every page is
// four objects (the page, its Flate content stream, the stream's length, its
// resources). A cell is drawn as a hex string of its Shift-JIS bytes in the font its
// attributes select, at its column's place (left, centred or right as the row, the
// column or the sheet places it); the columns are as wide as their widest text, and
// a column's left rule (or the view's vertical rules) is drawn beside each of its
// cells. Columns that do not fit between the margins go on to further pages, as a
// spreadsheet prints them: the rows of each band of columns in turn; a column wider
// than the page is cut at the margin and goes on in the next band. Text of free
// text and of rows outside the table runs on over empty columns or wraps, never
// over a filled cell. Offsets are taken from the output's length as each object is
// appended.
#include <algorithm>
#include <cstdio>
#include <span>
#include <vector>

#include "codec/CodecServices.h"
#include "base/SjisLeadByte.h"
#include "richtext/sheet/SheetPdfWriter.h"
#include "richtext/sheet/SheetRead.h"

namespace sheet {

namespace {

constexpr size_t kMaxOutput = size_t{1} << 29;
constexpr int kMinCharWidth = 5;  // tenths of a point: no text measures narrower
constexpr size_t kMaxBands = 4000;  // column bands of a sheet

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
  std::string out = v < 0 ? "-" : "";
  out += std::to_string(std::abs(v) / 10);
  out += '.';
  out += std::to_string(std::abs(v) % 10);
  return out;
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
    right_ = in_.margins[3];
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
      if (m[3] != -99) right_ = m[3];
    }
    int h = in_.number > 0 ? in_.number / 5 : 21;
    if (sf.attrs.size > 0) h = sf.attrs.size;
    h = std::clamp(h, 2, 400);
    Layout(s, h);
    int pageWidth = 0, pageHeight = 0;
    PdfPageSize(paper_, pageWidth, pageHeight);
    Bands(pageWidth, h);
    // The rows are laid out one page at a time (a row is as high in every band, so the
    // pages break at the same rows); that page is then drawn once for each band. The
    // page tree lists the pages band after band, so each band's rows read in order.
    const size_t first = s.widthLine ? 1 : 0;
    const int last = static_cast<int>(std::min<size_t>(s.rows.size(), INT32_MAX));
    const int pageTop = pageHeight - std::clamp(top_, 0, 99999) / 30;
    // The page is full when y is below the bottom margin (1/100 mm taken / 30 as points) + 10.
    const int pageFloor = std::clamp(bottom_, 0, 99999) / 30 + 10;
    std::vector<std::string> bandKids(bands_.size());
    std::vector<RowLayout> page;
    char prevBottom = 0;
    size_t r = first;
    do {
      page.clear();
      for (int y = pageTop; r < s.rows.size();) {
        const SheetRowText& row = s.rows[r];
        page.push_back(LayRow(s, row, h, RuleKindBetween(prevBottom, row.hasFormat ? row.format.top : 0)));
        prevBottom = row.hasFormat ? row.format.bottom : 0;
        y -= page.back().rule + RowHeight(page.back());
        const bool remain = ++r < s.rows.size();
        const int rowNumber = static_cast<int>(std::min<size_t>(r, INT32_MAX));
        if (remain && rowNumber % 10 == 0 && in_.progress && in_.progress(rowNumber, last, number)) {
          out_.stop = PdfStop::Esc;
          return false;
        }
        const bool mark = row.hasFormat && row.format.pageBreak && !sf.pageMarks;
        if (remain && (y < pageFloor || mark)) break;
      }
      for (size_t b = 0; b < bands_.size(); ++b) {
        if (!BeginPage(bandKids[b])) return false;
        for (RowLayout& lay : page) {
          DrawRow(lay, b, h);
          if (out_.bytes.size() + content_.size() > kMaxOutput) {
            out_.stop = PdfStop::TooLarge;
            return false;
          }
        }
      }
    } while (r < s.rows.size());
    for (const std::string& k : bandKids) kids_ += k;
    return true;
  }

  // Column places in tenths of a point from the sheet's left end: each column as wide
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
    starts_.assign(widths_.size() + 1, 0);
    for (size_t c = 0; c < widths_.size(); ++c) starts_[c + 1] = starts_[c] + widths_[c] + CharWidth(h);
  }

  // The column bands: as many whole columns as the room between the left and right
  // margins takes; a column wider than that room is cut there and goes on in the next
  // band. Bands are ranges of the sheet's x, in tenths of a point.
  void Bands(int pageWidth, int h) {
    const int left = std::clamp(left_ / 30, 0, pageWidth) * 10;
    const int right = (pageWidth - std::clamp(right_ / 30, 0, pageWidth)) * 10;
    left_x_ = left;
    const int room = std::max(right - left, 4 * CharWidth(h));
    int64_t end = 0;
    for (size_t c = 0; c < widths_.size(); ++c) end = std::max<int64_t>(end, int64_t{starts_[c]} + widths_[c]);
    bands_.clear();
    int64_t from = 0;
    size_t col = 0;  // the first column that ends after `from` (columns end in order)
    do {
      int64_t to = from + room;
      while (col < widths_.size() && int64_t{starts_[col]} + widths_[col] <= from) ++col;
      for (size_t c = col; c < widths_.size(); ++c) {
        const int64_t a = starts_[c], b = a + widths_[c];
        if (b <= to) continue;
        if (a > from) to = std::min(to, a);  // the column goes whole to the next band
        break;
      }
      bands_.push_back({from, to});
      from = to;
    } while (from < end && bands_.size() < kMaxBands);
    bands_.back().second = std::max(bands_.back().second, end);
  }

  size_t BandOf(int64_t x) const {
    const auto at = std::upper_bound(bands_.begin(), bands_.end(), x, [](int64_t v, const auto& band) { return v < band.second; });
    return at == bands_.end() ? bands_.size() - 1 : static_cast<size_t>(at - bands_.begin());
  }

  // One run of a cell's text on one line, whole characters in one band.
  struct TextRun {
    size_t band = 0;
    int64_t x = 0;  // sheet x, tenths of a point
    int line = 0;
    std::string text;
    int font = 1;
    int size = 21;
  };
  struct RowLayout {
    int rule = 0;
    int size = 21;
    int lines = 1;
    std::vector<int64_t> slots;  // sheet x of each cell with a left rule, in order
    std::vector<char> slotKinds;
    std::vector<TextRun> runs;   // in band order
    size_t drawn = 0;            // the runs of the bands drawn so far
  };

  // A row laid out once for every band. A table cell stands at its column's place;
  // text of free text and of rows outside the table runs on over the empty columns
  // after it, up to the next filled cell or its band's end, and wraps there onto
  // further lines of the row, so it never covers a filled cell.
  RowLayout LayRow(const SheetText& s, const SheetRowText& row, int h, int rule) {
    RowLayout lay;
    lay.rule = rule;
    const SheetFormat& sf = s.settings.format;
    lay.size = sf.rowSize > 0 ? std::clamp(sf.rowSize, 2, 400) : h;
    if (sf.rowSize <= 0) {
      for (size_t c = 0; c < row.texts.size(); ++c) lay.size = std::max(lay.size, CellSize(s, row, c, h));
    }
    const bool runsOn = row.freeText || row.outside;
    for (size_t c = 0; c < row.texts.size(); ++c) {
      const std::string& text = row.texts[c];
      const int64_t x = ColumnStart(c, h);
      const std::string_view raw = c < row.cells.size() ? std::string_view(row.cells[c]) : std::string_view();
      const bool applies = c < s.columns.size() && s.ColumnApplies(c, raw);
      const char leftRule = applies ? s.columns[c].rules[0] : 0;
      if (in_.verticalRules || leftRule == '1' || leftRule == '2') {
        lay.slots.push_back(x);
        lay.slotKinds.push_back(leftRule);
      }
      if (text.empty()) continue;
      const TextAttributes a = CellAttributes(s, row, c);
      int font = a.Font() >= 1 && a.Font() <= 4 ? a.Font() : 1;
      if (a.attributes & 1) font = 5;
      const int size = std::clamp(a.size > 0 ? a.size : h, 2, 400);
      const int cw = CharWidth(size);
      const int width = c < widths_.size() ? widths_[c] : 2 * CharWidth(h);
      const int64_t need = int64_t{cw} * static_cast<int64_t>(text.size());
      if (!runsOn || need <= width) {
        // Right or centred text starts where its measure leaves it in the column.
        const char placement = HorizontalPlacement(Placement(s, row, c, applies));
        const int64_t spare = width - need;
        const int64_t shift = spare <= 0 ? 0 : placement == 'R' ? spare : placement == 'C' ? spare / 2 : 0;
        AddRuns(lay, text, x + shift, 0, font, size);
        continue;
      }
      int64_t end = bands_[BandOf(x)].second;
      for (size_t n = c + 1; n < row.texts.size(); ++n) {
        if (row.texts[n].empty()) continue;
        end = std::min(end, ColumnStart(n, h) - CharWidth(h));
        break;
      }
      const int64_t perLine = std::max<int64_t>((end - x) / cw, 2);
      int line = 0;
      for (size_t at = 0; at < text.size(); ++line) {
        size_t n = 0;
        while (at + n < text.size() && static_cast<int64_t>(n + CharBytes(text, at + n)) <= perLine) n += CharBytes(text, at + n);
        if (n == 0) n = CharBytes(text, at);
        AddRuns(lay, text.substr(at, n), x, line, font, size);
        at += n;
      }
      lay.lines = std::max(lay.lines, line);
    }
    std::stable_sort(lay.runs.begin(), lay.runs.end(), [](const TextRun& a, const TextRun& b) { return a.band < b.band; });
    return lay;
  }

  static int RowHeight(const RowLayout& lay) { return (lay.size / 2 + 2) * lay.lines; }

  static size_t CharBytes(const std::string& text, size_t at) {
    return IsSjisLeadByte(static_cast<uint8_t>(text[at])) && at + 1 < text.size() ? 2 : 1;
  }

  int64_t ColumnStart(size_t c, int h) const {
    if (c < starts_.size()) return starts_[c];
    return starts_.back() + static_cast<int64_t>(c - widths_.size()) * 3 * CharWidth(h);
  }

  // A text placed at sheet x, split into runs of whole characters per band: a character
  // that does not fit before a band's end goes on at the next band's start.
  void AddRuns(RowLayout& lay, const std::string& text, int64_t x, int line, int font, int size) {
    const int cw = CharWidth(size);
    size_t band = BandOf(x);
    TextRun run{band, x, line, {}, font, size};
    int64_t pos = x;
    for (size_t at = 0; at < text.size();) {
      const size_t n = CharBytes(text, at);
      const int64_t w = int64_t{cw} * static_cast<int64_t>(n);
      while (band + 1 < bands_.size() && pos + w > bands_[band].second) {
        if (!run.text.empty()) lay.runs.push_back(run);
        ++band;
        pos = std::max(pos, bands_[band].first);
        run = TextRun{band, pos, line, {}, font, size};
      }
      run.text.append(text, at, n);
      pos += w;
      at += n;
    }
    if (!run.text.empty()) lay.runs.push_back(std::move(run));
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

  // A row's part in one band (the bands of a row drawn in order): the rule above it
  // across the band's columns, its left rules and its runs, each line a row pitch lower.
  void DrawRow(RowLayout& lay, size_t band, int h) {
    const int64_t from = bands_[band].first, to = bands_[band].second;
    auto pageX = [&](int64_t x) { return static_cast<int>(std::min<int64_t>(x - from + left_x_, 1 << 24)); };
    if (lay.rule > 0) {
      // To the end of the band's last column.
      int64_t end = from;
      const auto past = std::lower_bound(starts_.begin(), starts_.begin() + static_cast<std::ptrdiff_t>(widths_.size()), to);
      if (past != starts_.begin()) {
        const size_t c = static_cast<size_t>(past - starts_.begin()) - 1;
        end = std::min<int64_t>(to, int64_t{starts_[c]} + widths_[c] + CharWidth(h));
      }
      content_ += (lay.rule == 2 ? "1.5 w\n" : "0.5 w\n") + Tenths(pageX(from)) + " " + std::to_string(y_) + " m " +
                  Tenths(pageX(std::max(end, from))) + " " + std::to_string(y_) + " l S\n";
      y_ -= lay.rule;
    }
    const int pitch = lay.size / 2 + 2;
    const int height = RowHeight(lay);
    const size_t firstSlot = static_cast<size_t>(std::lower_bound(lay.slots.begin(), lay.slots.end(), from) - lay.slots.begin());
    for (size_t k = firstSlot; k < lay.slots.size() && lay.slots[k] < to; ++k) {
      // A column's left rule stands half a character before it.
      const int at = std::max(pageX(lay.slots[k]) - CharWidth(h) / 2, 0);
      content_ += (lay.slotKinds[k] == '2' ? "1.5 w\n" : "0.5 w\n") + Tenths(at) + " " + std::to_string(y_) + " m " + Tenths(at) +
                  " " + std::to_string(y_ - height) + " l S\n";
    }
    const int baseline = y_ * 10 - (lay.size * 4 + 10);
    while (lay.drawn < lay.runs.size() && lay.runs[lay.drawn].band < band) ++lay.drawn;
    for (; lay.drawn < lay.runs.size() && lay.runs[lay.drawn].band == band; ++lay.drawn) {
      const TextRun& run = lay.runs[lay.drawn];
      const int points = 5 * run.size - 10;
      content_ += Format("BT\n/F%d %d.%d Tf\nET\n", run.font - 1, points / 10, points % 10);
      content_ += "BT\n" + Tenths(pageX(run.x)) + " " + Tenths(baseline - run.line * pitch * 10) + " Td\n" + PdfHexString(run.text) +
                  " Tj\nET\n";
    }
    y_ -= height;
  }

  // The placement code of a cell: the row's, the column's (a thousands form places
  // right), else the sheet's.
  static uint8_t Placement(const SheetText& s, const SheetRowText& row, size_t c, bool applies) {
    if (row.hasFormat && row.format.placement) return row.format.placement;
    if (applies && s.columns[c].placement) return s.columns[c].placement;
    if (applies && (s.columns[c].numberForm & 0x7F) == 'c') return 'R';
    return s.settings.format.placement;
  }

  void Object(int number) { offsets_[static_cast<size_t>(number)] = static_cast<int32_t>(out_.bytes.size()); }

  bool BeginPage(std::string& kids) {
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
    kids += Format(" %d 0 R", n);
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
  std::vector<int> starts_{0};  // each column's sheet x; one more entry at the end
  std::vector<std::pair<int64_t, int64_t>> bands_{{0, 1}};
  int left_x_ = 0;  // the page x of a band's start
  std::string kids_;
  std::string content_;
  char paper_ = 'a';
  int top_ = 1000, bottom_ = 1000, left_ = 2000, right_ = 1000;
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
