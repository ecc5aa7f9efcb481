// The Word grid as display text: ordinary lines pass through with a few control
// bytes made visible, picture anchors become picture tags, and table rows are laid
// out side by side in columns whose edges come from the row's column layout slot
// (m_anTableCols), framed with "+", "-" and "|" when asked.
//
// Bounds: a line collects at most 9,000 bytes; a row at most 198 lines of 505
// characters; column edges are clamped into the area; picture anchors take kinds
// only while the list has them; the output stops 1,000 bytes before the volume.
#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "app/FileKind.h"
#include "app/QelDoc.h"
#include "convert/ConvertState.h"
#include "convert/office/OfficeArt.h"
#include "convert/office/doc/WordGrid.h"
#include "platform/text/CodePage.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr size_t kLineMax = 9000;
constexpr size_t kLongLine = 1000;
constexpr int kAreaLines = 198;
constexpr int kAreaWidth = 505;
constexpr int kMaxEdge = 400;
constexpr int kSlotWidth = 100;
constexpr int kMaxSlot = 999;

// The scans step over ordinary text a block at a time and look byte by byte only
// inside a block that holds a control byte.
#if defined(__SSE2__)
constexpr size_t kBlock = 16;
// Whether any of the sixteen bytes at p is below n.
template <uint8_t n>
bool AnyBelow(const uint8_t* p) {
  static_assert(n > 0);
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  return _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(static_cast<char>(n - 1))), v)) != 0;
}
#else
constexpr size_t kBlock = 8;
// Whether any of the eight bytes at p is below n (n at most 128).
template <uint8_t n>
bool AnyBelow(const uint8_t* p) {
  static_assert(n > 0 && n <= 128);
  uint64_t w;
  std::memcpy(&w, p, 8);
  constexpr uint64_t kOnes = 0x0101010101010101ULL;
  return ((w - kOnes * n) & ~w & kOnes * 0x80) != 0;
}
#endif

class GridRenderer {
 public:
  GridRenderer(CQelDoc& doc, int separatorMode, int placed, const int* kinds, int kindCount)
      : doc_(doc), out_(doc.ConvWriter()), sep_(separatorMode), count_(placed), kinds_(kinds), kindCount_(kindCount) {}

  int Render(const WordGrid& grid, int64_t last);

 private:
  bool Room() const { return doc_.m_nConvPos < doc_.m_nOutDataLimit - 1000; }
  int Element(int k) const {
    if (k < 0 || k >= kSlotWidth) return 0;
    return doc_.Convert().m_anTableCols[static_cast<size_t>(slot_) * kSlotWidth + k];
  }
  int Indent() const { return std::clamp(Element(1), 0, kMaxEdge); }
  int Width(int cells) const { return cells <= 0 || cells >= 100 ? 50 : std::clamp(Element(cells), 1, kMaxEdge); }
  int Left(int i) const {
    if (i == 0) return 0;
    const int e = Element(i + 1);
    return e < 0 || e > kMaxEdge ? kMaxEdge : e;
  }
  int Right(int i) const {
    const int left = Left(i);
    int e = Element(i + 2);
    if (e < 0 || e > kMaxEdge) e = kMaxEdge;
    if (e == 0 || e < left) e = left + 20;
    return e;
  }
  void Frame(int cells);
  void WriteLine();
  void LineOutput();
  void LayoutRow(uint8_t c, const WordGrid& grid, int64_t& index);
  void MoveSlot(int s);

  CQelDoc& doc_;
  DisplayWriter out_;
  int sep_;
  int count_;
  const int* kinds_;
  int kindCount_;
  std::string line_;
  std::vector<std::array<char, kAreaWidth>> area_;  // the cell area of one table row
  bool inTable_ = false;
  bool topDone_ = false;
  int cells_ = 0;
  int rowCells_ = 0;  // cells of the last row laid out: the bottom frame's width
  int slot_ = 0;
  int prev_ = 0;
};

void GridRenderer::Frame(int cells) {
  out_.Fill(' ', Indent());
  out_.Put('+');
  out_.Fill('-', Width(cells) - 1);
  out_.Put('+');
}

void GridRenderer::WriteLine() {
  // Bytes shown otherwise: 0 and 1 (picture anchors), 8, 11, 19, 20 and 21, all below 22.
  auto special = [](uint8_t b) { return b <= 1 || b == 8 || b == 11 || (b >= 19 && b <= 21); };
  const auto* bytes = reinterpret_cast<const uint8_t*>(line_.data());
  auto nextSpecial = [&](size_t j) {
    while (j + kBlock <= line_.size() && !AnyBelow<22>(bytes + j)) j += kBlock;
    while (j < line_.size() && !special(bytes[j])) ++j;
    return j;
  };
  // A line without such bytes goes out as it stands.
  if (nextSpecial(0) == line_.size()) {
    out_.Append(line_);
    line_.clear();
    return;
  }
  std::string text;
  text.reserve(line_.size() + 16);
  for (size_t i = 0; i < line_.size(); ++i) {
    const size_t j = nextSpecial(i);
    text.append(line_, i, j - i);
    if (j == line_.size()) break;
    i = j;
    switch (static_cast<uint8_t>(line_[i])) {
      case 8: text += "\x81\xA0"; break;
      case 11: text += "\x81\x9E"; break;
      case 19: text += '#'; break;
      case 20: text += '['; break;
      case 21: text += ']'; break;
      case 0:
      case 1: {
        const int kind = count_ >= 0 && count_ < kindCount_ && kinds_ ? kinds_[count_] : 0;
        ++count_;
        char tag[32];
        if (kind == kBlipJpeg) {
          std::snprintf(tag, sizeof tag, "[Image%d]JPG", count_);
          text += tag;
        } else if (kind == kBlipPng) {
          std::snprintf(tag, sizeof tag, "[Image%d]PNG", count_);
          text += tag;
        } else if (kind != 0) {
          text += "[WorkSheet]";
        }
        text += ' ';
        break;
      }
    }
  }
  out_.Append(text);
  line_.clear();
}

void GridRenderer::LineOutput() {
  if (line_.size() >= kLineMax || (line_.size() >= kLongLine && doc_.m_nFileKind != kKindDoc)) {
    inTable_ = false;
    topDone_ = false;
    WriteLine();
  } else if (!inTable_) {
    WriteLine();
  }
}

// The slot whose number modulo 100 is s, nearest to the current one.
void GridRenderer::MoveSlot(int s) {
  const int m = slot_ % 100;
  if (s > m) {
    const int d = s - m;
    slot_ += d < 50 ? d : -(100 - d);
  } else if (s < m) {
    const int d = m - s;
    slot_ += d < 50 ? -d : 100 - d;
  }
  slot_ = std::clamp(slot_, 0, kMaxSlot);
}

void GridRenderer::LayoutRow(uint8_t c, const WordGrid& grid, int64_t& index) {
  if (c == 2) {
    int* slot = &doc_.Convert().m_anTableCols[static_cast<size_t>(slot_) * kSlotWidth];
    const int w = cells_ <= 1 ? 120 : std::max(120 / (cells_ - 1), 9);
    slot[0] = 50;
    for (int k = 0; k < 50; ++k) slot[k + 1] = std::min(k * w, kMaxEdge);
  } else if (c == 6 || c == 3) {
    const uint8_t code = grid.At(index + 1);
    if (code >= 26) {
      ++index;
      MoveSlot(code - 26);
    } else {
      slot_ = std::min(slot_ + 1, kMaxSlot);
    }
  }
  if (!topDone_) {
    if (sep_ == 1) Frame(cells_);
    out_.Append("\r\n");
    topDone_ = true;
  }

  // The cells of the row, at most as many as the slot can describe. Area lines are
  // made blank (with the cells' closing rules) when first reached.
  const int cellCount = std::clamp(cells_, 0, kSlotWidth - 2);
  area_.resize(kAreaLines);
  int ready = 0;
  auto prepare = [&](int upTo) {
    for (; ready <= upTo && ready < kAreaLines; ++ready) {
      auto& l = area_[static_cast<size_t>(ready)];
      l.fill(' ');
      for (int i = 0; i < cellCount && sep_ != 0; ++i) l[static_cast<size_t>(std::min(Right(i), kAreaWidth) - 1)] = '|';
    }
  };
  prepare(0);
  int cell = 0, lineNo = 0, offset = 0, deepest = 0, lastCell = 0;
  bool lead = false;
  for (const char ch : line_) {
    const auto x = static_cast<uint8_t>(ch);
    if (x == 7 || x == 6 || x == 2) {
      ++cell;
      lineNo = offset = 0;
      lead = false;
    } else if (x == '\r' || x == 4) {
      ++lineNo;
      offset = 0;
      lead = false;
    } else if (x >= 32 && cell < cellCount && lineNo < kAreaLines) {
      const int left = Left(cell), right = std::min(Right(cell), kAreaWidth);
      const int at = left + offset;
      prepare(lineNo);
      if (at < kAreaWidth) area_[static_cast<size_t>(lineNo)][static_cast<size_t>(at)] = ch;
      deepest = std::max(deepest, lineNo);
      lastCell = std::max(lastCell, cell);
      ++offset;
      lead = !lead && IsSjisLeadByte(x);
      if ((left + offset > right - 3 && !lead) || left + offset > right - 2) {
        ++lineNo;
        offset = 0;
      }
    }
  }
  for (int l = 0; l <= deepest && l < kAreaLines; ++l) {
    out_.Fill(' ', Indent());
    out_.Put(sep_ == 1 ? '|' : ' ');
    for (int i = 0; i <= lastCell && i < cellCount; ++i) {
      const int left = std::min(Left(i), kAreaWidth), right = std::min(Right(i), kAreaWidth);
      if (right > left) out_.Append(std::string_view(area_[static_cast<size_t>(l)].data() + left, static_cast<size_t>(right - left)));
    }
    out_.Append("\r\n");
  }
  line_.clear();
  rowCells_ = cells_;
  cells_ = 0;
}

int GridRenderer::Render(const WordGrid& grid, int64_t last) {
  const int64_t stored = std::min<int64_t>(last, static_cast<int64_t>(grid.rows) * grid.width);
  for (int64_t index = 0; index < last && Room(); ++index) {
    // A run of ordinary bytes that leaves the line short only joins the line.
    if (index < stored && line_.size() + 1 < kLongLine) {
      const int64_t most = std::min<int64_t>(stored - index, static_cast<int64_t>(kLongLine - 1 - line_.size()));
      int64_t n = 0;
      // Line ends and the marks 0 to 7 are all below 14.
      while (n + static_cast<int64_t>(kBlock) <= most && !AnyBelow<14>(grid.bytes + index + n)) n += kBlock;
      while (n < most) {
        const uint8_t x = grid.bytes[index + n];
        if (x <= 7 || x == '\r' || x == '\n') break;
        ++n;
      }
      if (n > 0) {
        line_.append(reinterpret_cast<const char*>(grid.bytes + index), static_cast<size_t>(n));
        index += n - 1;
        continue;
      }
    }
    const uint8_t b = grid.At(index);
    if (line_.size() < kLineMax) line_ += static_cast<char>(b);
    if (b < 2 || b > 7) {
      if (b == '\n') prev_ = 10;
      if (b != '\r' && b != '\n' && b != 0 && line_.size() < kLongLine) continue;
      LineOutput();
      continue;
    }
    if (!inTable_ && b != 5 && b != 3) {
      inTable_ = true;
      cells_ = 0;
    }
    if (b != 4) ++cells_;
    if ((prev_ == 6 || prev_ == 7 || prev_ == 10) && (b == 2 || b == 3 || b == 5 || b == 6)) {
      LayoutRow(b, grid, index);
    }
    if (b == 5 || b == 3) {
      if (sep_ == 1 && topDone_) Frame(rowCells_);
      out_.Append("\r\n");
      inTable_ = false;
      topDone_ = false;
    }
    prev_ = b;
  }
  if (!line_.empty() && Room()) WriteLine();
  return count_;
}

}  // namespace

int CQelDoc::RenderWordGrid(const WordGrid& grid, int separatorMode, int lastRow, int lastCol, int placed,
                            const int* kinds, int kindCount) {
  const int width = std::max(grid.width, 1);
  lastRow = std::clamp(lastRow, 0, grid.rows);
  lastCol = std::clamp(lastCol, 0, width);
  if (m_nDisplayForm == 2 && m_nFileKind == kKindDoc) {
    DisplayWriter out = ConvWriter();
    for (int r = 0; r <= lastRow && r < grid.rows && !out.Full(); ++r) {
      out.Printf("\r\n[%4d:]\r\n", r);
      std::string row;
      for (int c = 0; c < width; ++c) {
        const uint8_t b = grid.At(static_cast<int64_t>(r) * width + c);
        if (b < 9) {
          row += '@';
          row += static_cast<char>('0' + b);
        } else {
          row += static_cast<char>(b);
        }
      }
      out.Append(row);
      out.Append("<<");
    }
    return 0;
  }
  return GridRenderer(*this, separatorMode, placed, kinds, kindCount)
      .Render(grid, static_cast<int64_t>(lastRow) * width + lastCol);
}
