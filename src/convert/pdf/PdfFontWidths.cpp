#include "convert/pdf/PdfFontWidths.h"

#include <algorithm>
#include <string>
#include <utility>

#include "convert/pdf/PdfStandardWidths.h"

namespace {

constexpr int64_t kDictWindow = 20000;  // bytes of a font dictionary looked at
constexpr size_t kMaxWidths = 65536;

// The end of the object that starts at p (its "endobj"), within the window.
int64_t ObjectEnd(const ByteCursor& b, int64_t p) {
  const int64_t stop = std::min(p + kDictWindow, b.Size());
  for (int64_t q = p; q < stop; ++q) {
    if (b.PeekU8(q) == 'e' && PdfMatch(b, q, "endobj")) return q;
  }
  return stop;
}

int64_t FindKey(const ByteCursor& b, int64_t from, int64_t to, std::string_view key) {
  for (int64_t q = from; q + static_cast<int64_t>(key.size()) < to; ++q) {
    if (b.PeekU8(q) == '/' && PdfMatch(b, q, key)) {
      const uint8_t after = b.PeekU8(q + static_cast<int64_t>(key.size()));
      if (!((after >= 'A' && after <= 'Z') || (after >= 'a' && after <= 'z'))) return q + static_cast<int64_t>(key.size());
    }
  }
  return -1;
}

struct Reader {
  const ByteCursor& b;
  int64_t p, end;
  void Blanks() {
    while (p < end && (b.PeekU8(p) <= ' ')) ++p;
  }
  bool Number(double* v) {
    Blanks();
    bool neg = false;
    if (b.PeekU8(p) == '-') {
      neg = true;
      ++p;
    }
    if (!PdfIsDigit(b.PeekU8(p)) && b.PeekU8(p) != '.') return false;
    double x = 0, scale = 0;
    while (p < end && (PdfIsDigit(b.PeekU8(p)) || b.PeekU8(p) == '.')) {
      if (b.PeekU8(p) == '.') scale = 1;
      else if (scale > 0) x += (b.PeekU8(p) - '0') * (scale /= 10);
      else if (x < 1e9) x = x * 10 + (b.PeekU8(p) - '0');
      ++p;
    }
    *v = neg ? -x : x;
    return true;
  }
  // "N G R" here: the object number, or 0.
  int Reference() {
    const int64_t keep = p;
    double n, g;
    if (Number(&n) && Number(&g)) {
      Blanks();
      if (b.PeekU8(p) == 'R') {
        ++p;
        return static_cast<int>(n);
      }
    }
    p = keep;
    return 0;
  }
};

// Moves r to the value of a key: in place, or at the referenced object.
bool ToValue(Reader& r, const ByteCursor& b, const std::vector<int64_t>& offsets) {
  const int object = r.Reference();
  if (object <= 0) return true;
  if (object >= static_cast<int>(offsets.size()) || offsets[static_cast<size_t>(object)] <= 0) return false;
  r.p = offsets[static_cast<size_t>(object)] + 4;
  r.end = ObjectEnd(b, r.p);
  return true;
}

uint16_t ToWidth(double v) { return static_cast<uint16_t>(std::clamp(v, 0.0, 4000.0)); }

// A standard font named without /Widths: the widths it is known to have.
PdfFontWidths Standard(PdfFontWidths fw, const ByteCursor& b, int64_t start, int64_t end) {
  int64_t p = FindKey(b, start, end, "/BaseFont");
  if (p < 0) return fw;
  while (p < end && b.PeekU8(p) <= ' ') ++p;
  if (b.PeekU8(p) != '/') return fw;
  std::string name;
  for (uint8_t c = b.PeekU8(++p); p < end && c > ' ' && c != '/' && c != '>' && c != '[' && name.size() < 64; c = b.PeekU8(++p)) {
    name += static_cast<char>(c);
  }
  if (const uint16_t* widths = PdfStandardWidths(name)) {
    fw.first = 32;
    fw.simple.assign(widths, widths + 95);
  }
  return fw;
}

}  // namespace

int PdfFontWidths::Width(uint32_t code) const {
  if (composite) {
    const auto hit = cids.find(code);
    if (hit != cids.end()) return hit->second;
    return defaultWidth > 0 ? defaultWidth : 1000;
  }
  if (code >= static_cast<uint32_t>(first) && code - static_cast<uint32_t>(first) < simple.size()) {
    const int w = simple[code - static_cast<uint32_t>(first)];
    if (w > 0) return w;
  }
  return defaultWidth > 0 ? defaultWidth : 500;
}

PdfFontWidths ReadPdfFontWidths(const ByteCursor& b, const std::vector<int64_t>& offsets, int64_t position) {
  PdfFontWidths fw;
  if (position <= 0 || position >= b.Size()) return fw;
  const int64_t start = position + 4;
  int64_t end = ObjectEnd(b, start);
  int64_t at = FindKey(b, start, end, "/DescendantFonts");
  if (at >= 0) {
    fw.composite = true;
    Reader r{b, at, end};
    r.Blanks();
    if (!ToValue(r, b, offsets)) return fw;
    r.Blanks();
    if (b.PeekU8(r.p) == '[') ++r.p;
    const int descendant = r.Reference();
    if (descendant <= 0 || descendant >= static_cast<int>(offsets.size()) || offsets[static_cast<size_t>(descendant)] <= 0) return fw;
    const int64_t dstart = offsets[static_cast<size_t>(descendant)] + 4;
    const int64_t dend = ObjectEnd(b, dstart);
    double v;
    if (int64_t dw = FindKey(b, dstart, dend, "/DW"); dw >= 0) {
      Reader rd{b, dw, dend};
      if (rd.Number(&v)) fw.defaultWidth = ToWidth(v);
    }
    const int64_t w = FindKey(b, dstart, dend, "/W");
    if (w < 0) return fw;
    Reader rw{b, w, dend};
    rw.Blanks();
    if (!ToValue(rw, b, offsets)) return fw;
    rw.Blanks();
    if (b.PeekU8(rw.p) != '[') return fw;
    ++rw.p;
    double c1, c2;
    while (fw.cids.size() < kMaxWidths && rw.Number(&c1)) {
      rw.Blanks();
      if (b.PeekU8(rw.p) == '[') {
        ++rw.p;
        uint32_t c = static_cast<uint32_t>(std::max(c1, 0.0));
        while (rw.Number(&v) && fw.cids.size() < kMaxWidths) fw.cids[c++] = ToWidth(v);
        rw.Blanks();
        if (b.PeekU8(rw.p) == ']') ++rw.p;
      } else if (rw.Number(&c2) && rw.Number(&v)) {
        for (double c = std::max(c1, 0.0); c <= c2 && fw.cids.size() < kMaxWidths; ++c) fw.cids[static_cast<uint32_t>(c)] = ToWidth(v);
      } else {
        break;
      }
    }
    return fw;
  }
  double v;
  if (int64_t fc = FindKey(b, start, end, "/FirstChar"); fc >= 0) {
    Reader r{b, fc, end};
    if (r.Number(&v)) fw.first = static_cast<int>(std::clamp(v, 0.0, 255.0));
  }
  at = FindKey(b, start, end, "/Widths");
  if (at < 0) return Standard(std::move(fw), b, start, end);
  Reader r{b, at, end};
  r.Blanks();
  if (!ToValue(r, b, offsets)) return fw;
  r.Blanks();
  if (b.PeekU8(r.p) != '[') return fw;
  ++r.p;
  while (fw.simple.size() < 256 && r.Number(&v)) fw.simple.push_back(ToWidth(v));
  return fw;
}
