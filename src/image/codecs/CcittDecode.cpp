// CcittDecode: the fax codings of TIFF. Compression 2 is modified Huffman with each
// row on a byte boundary, 3 the one-dimensional T.4 coding with end-of-line codes,
// 4 the two-dimensional T.6 coding (14 the same with rows on byte boundaries).
//
// Runs are decoded by one look-up of the next 13 bits in a table built from the
// code lists; the two-dimensional modes walk the changing elements of the row above
// (lists sized to the width, so no row can overrun them). Broken data ends decoding;
// what was decoded stays, and the rest of the image stays white.
#include <algorithm>
#include <cstring>
#include <vector>

#include "base/CheckedSize.h"
#include "image/codecs/CcittTables.h"
#include "image/codecs/ImageCodecs.h"

namespace {

constexpr int kPeekBits = 13;
constexpr int kMaxRun = 2560;

struct RunEntry {
  int16_t run = -1;   // -1: no code
  int8_t length = 0;
};

class RunTable {
 public:
  RunTable(const CcittCode* codes, int count) : entries_(1 << kPeekBits) {
    for (int i = 0; i < count; ++i) {
      const int len = static_cast<int>(std::strlen(codes[i].bits));
      int value = 0;
      for (int b = 0; b < len; ++b) value = value << 1 | (codes[i].bits[b] - '0');
      const int shift = kPeekBits - len;
      for (int fill = 0; fill < (1 << shift); ++fill) {
        entries_[static_cast<size_t>(value << shift | fill)] = {static_cast<int16_t>(codes[i].run), static_cast<int8_t>(len)};
      }
    }
  }
  const RunEntry& operator[](int peek) const { return entries_[static_cast<size_t>(peek)]; }

 private:
  std::vector<RunEntry> entries_;
};

class Bits {
 public:
  Bits(const uint8_t* data, int64_t length, bool reversed) : data_(data), bits_(length * 8), reversed_(reversed) {}
  int Peek(int n) const {
    int v = 0;
    for (int i = 0; i < n; ++i) v = v << 1 | Bit(pos_ + i);
    return v;
  }
  void Skip(int n) { pos_ += n; }
  bool AtEnd() const { return pos_ >= bits_; }
  void Align() { pos_ = (pos_ + 7) & ~int64_t{7}; }
  // Steps over an end-of-line code (eleven or more zeros and a one) when one stands here.
  bool SkipEol() {
    int64_t p = pos_;
    while (p < bits_ && Bit(p) == 0) ++p;
    if (p - pos_ < 11 || p >= bits_) return false;
    pos_ = p + 1;
    return true;
  }

 private:
  int Bit(int64_t p) const {
    if (p >= bits_) return 0;
    const int b = data_[p >> 3];
    return reversed_ ? b >> (p & 7) & 1 : b >> (7 - (p & 7)) & 1;
  }
  const uint8_t* data_;
  int64_t bits_;
  int64_t pos_ = 0;
  bool reversed_;
};

// One run of make-up codes and a terminating code; -1 on a code that is not there.
int ReadRun(Bits& in, const RunTable& table) {
  int total = 0;
  while (!in.AtEnd()) {
    const RunEntry& e = table[in.Peek(kPeekBits)];
    if (e.run < 0) return -1;
    in.Skip(e.length);
    total += e.run;
    if (e.run < 64) return std::min(total, 64 * kMaxRun);
  }
  return -1;
}

enum class Mode { Pass, Horizontal, Vertical, Eol, Bad };

Mode ReadMode(Bits& in, int* delta) {
  const int p = in.Peek(7);
  if (p & 0x40) { *delta = 0; in.Skip(1); return Mode::Vertical; }
  if ((p & 0x70) == 0x30) { *delta = 1; in.Skip(3); return Mode::Vertical; }
  if ((p & 0x70) == 0x20) { *delta = -1; in.Skip(3); return Mode::Vertical; }
  if ((p & 0x70) == 0x10) { in.Skip(3); return Mode::Horizontal; }
  if ((p & 0x78) == 0x08) { in.Skip(4); return Mode::Pass; }
  if ((p & 0x7E) == 0x06) { *delta = 2; in.Skip(6); return Mode::Vertical; }
  if ((p & 0x7E) == 0x04) { *delta = -2; in.Skip(6); return Mode::Vertical; }
  if (p == 0x03) { *delta = 3; in.Skip(7); return Mode::Vertical; }
  if (p == 0x02) { *delta = -3; in.Skip(7); return Mode::Vertical; }
  if (in.Peek(12) == 1) return Mode::Eol;
  return Mode::Bad;
}

class Decoder {
 public:
  Decoder(Bits& in, int width, int compression, std::vector<uint8_t>& out, int64_t rows)
      : in_(in), width_(width), compression_(compression), out_(out), rows_(rows), rowBytes_((width + 7) / 8),
        white_(kCcittWhiteCodes, kCcittWhiteCount), black_(kCcittBlackCodes, kCcittBlackCount) {
    // The lists grow with the changes a row really has (at most the width + 2).
    const size_t guess = static_cast<size_t>(std::min(width, 4096)) + 4;
    ref_.reserve(guess);
    cur_.reserve(guess);
    ref_.assign({width, width});
  }

  int64_t Run() {
    int64_t row = 0;
    for (; row < rows_ && !in_.AtEnd(); ++row) {
      bool ok = true;
      if (compression_ == 3) in_.SkipEol();
      if (compression_ == 4 || compression_ == 14) {
        if (in_.Peek(12) == 1) break;  // end of the page
        ok = TwoDimensionalRow(row);
      } else {
        ok = OneDimensionalRow(row);
      }
      if (compression_ == 2 || compression_ == 14) in_.Align();
      if (!ok) {
        ++row;
        break;
      }
    }
    return row;
  }

 private:
  void Fill(int64_t row, int from, int to, bool black) {
    from = std::max(from, 0);
    to = std::min(to, width_);
    if (!black || from >= to) return;
    uint8_t* line = out_.data() + row * rowBytes_;
    for (int x = from; x < to; ++x) line[x >> 3] = static_cast<uint8_t>(line[x >> 3] | 0x80 >> (x & 7));
  }

  bool OneDimensionalRow(int64_t row) {
    int a0 = 0;
    bool black = false;
    while (a0 < width_) {
      const int run = ReadRun(in_, black ? black_ : white_);
      if (run < 0) return false;
      Fill(row, a0, a0 + run, black);
      a0 += run;
      black = !black;
    }
    return true;
  }

  void Change(int at) {
    if (cur_.size() < static_cast<size_t>(width_) + 2) cur_.push_back(at);
  }

  bool TwoDimensionalRow(int64_t row) {
    cur_.clear();
    int a0 = -1;
    bool black = false;
    size_t i = 0;  // index into the reference changes, kept moving right
    while (a0 < width_) {
      // b1: the first change of the row above right of a0 to the colour opposite a0's;
      // changes at even indexes turn white to black.
      while (i < ref_.size() && ref_[i] <= a0) ++i;
      if (i < ref_.size() && ((i & 1) != 0) != black) ++i;
      const int b1 = i < ref_.size() ? ref_[i] : width_;
      const int b2 = i + 1 < ref_.size() ? ref_[i + 1] : width_;
      int delta = 0;
      switch (ReadMode(in_, &delta)) {
        case Mode::Pass:
          Fill(row, a0, b2, black);
          a0 = b2;
          break;
        case Mode::Horizontal: {
          const int start = std::max(a0, 0);
          const int r1 = ReadRun(in_, black ? black_ : white_);
          const int r2 = r1 < 0 ? -1 : ReadRun(in_, black ? white_ : black_);
          if (r2 < 0) return false;
          const int a1 = std::min(start + r1, width_);
          const int a2 = std::min(a1 + r2, width_);
          Fill(row, start, a1, black);
          Fill(row, a1, a2, !black);
          Change(a1);
          Change(a2);
          a0 = a2;
          break;
        }
        case Mode::Vertical: {
          const int a1 = std::clamp(b1 + delta, 0, width_);
          if (a1 < a0) return false;
          Fill(row, a0, a1, black);
          Change(a1);
          a0 = a1;
          black = !black;
          break;
        }
        default:
          return false;
      }
      // The reference search restarts a little left so that a0 moving back by a
      // vertical step finds its b1 again.
      while (i > 0 && ref_[i - 1] > a0) --i;
    }
    cur_.push_back(width_);
    cur_.push_back(width_);
    std::swap(ref_, cur_);
    return true;
  }

  Bits& in_;
  int width_;
  int compression_;
  std::vector<uint8_t>& out_;
  int64_t rows_;
  int64_t rowBytes_;
  RunTable white_;
  RunTable black_;
  std::vector<int> ref_;
  std::vector<int> cur_;
};

}  // namespace

int CcittDecode(uint8_t* data, int length, int capacity, int width, int compression, int fillOrder,
                const PictureContext& cx) {
  if (!data || length <= 0 || capacity <= 0 || width <= 0) return 0;
  if (compression != 2 && compression != 3 && compression != 4 && compression != 14) return 0;
  const int64_t rowBytes = (int64_t{width} + 7) / 8;
  const int64_t rows = capacity / width;
  std::vector<uint8_t> out;
  if (rows <= 0 || !TryAllocate(out, rows, rowBytes, 0, cx.hook)) {
    if (rows > 0) cx.OutOfMemory(" 612");
    return 0;
  }
  Bits in(data, length, fillOrder == 2);
  Decoder decoder(in, width, compression, out, rows);
  const int64_t done = decoder.Run();
  const int64_t bytes = done * rowBytes;
  std::memcpy(data, out.data(), static_cast<size_t>(bytes));
  return static_cast<int>(bytes);
}
