#include "image/display/DisplayKernels.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "image/codecs/DibConvert.h"

namespace {

int Clamp255(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

// Geometry of a DIB in a block: stride and whether the source holds every row.
struct Geometry {
  int width;
  int height;
  int bits;
  size_t stride;
};

bool GeometryOf(const BITMAPINFO& info, DibBlock source, Geometry& g) {
  const BITMAPINFOHEADER& h = info.bmiHeader;
  const int64_t stride = DibStride(h.biWidth, h.biBitCount);
  if (h.biWidth <= 0 || h.biHeight <= 0 || stride <= 0) return false;
  const int bits = h.biBitCount;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  g = {h.biWidth, h.biHeight, bits, static_cast<size_t>(stride)};
  return source.bits && static_cast<uint64_t>(stride) * static_cast<uint64_t>(h.biHeight) <= source.size;
}

// Rows of the result that fit the target; 0 when none does.
int RowsThatFit(DibBlock target, int width, int height, int bits) {
  const int64_t stride = DibStride(width, bits);
  if (!target.bits || width <= 0 || height <= 0 || stride <= 0) return 0;
  return static_cast<int>(std::min<int64_t>(height, static_cast<int64_t>(target.size) / stride));
}

void SetSize(BITMAPINFO& info, int width, int height) {
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biSizeImage = static_cast<uint32_t>(DibStride(width, info.bmiHeader.biBitCount) * height);
}

uint32_t IndexAt(const uint8_t* row, int x, int bits) {
  if (bits == 8) return row[x];
  if (bits == 4) return (x & 1) ? row[x >> 1] & 15 : row[x >> 1] >> 4;
  return row[x >> 3] >> (7 - (x & 7)) & 1;
}

void SetIndex(uint8_t* row, int x, int bits, uint32_t v) {
  if (bits == 8) {
    row[x] = static_cast<uint8_t>(v);
  } else if (bits == 4) {
    const int shift = (x & 1) ? 0 : 4;
    row[x >> 1] = static_cast<uint8_t>((row[x >> 1] & ~(15 << shift)) | (v & 15) << shift);
  } else {
    const int shift = 7 - (x & 7);
    row[x >> 3] = static_cast<uint8_t>((row[x >> 3] & ~(1 << shift)) | (v & 1) << shift);
  }
}

// Copies pixel sx of one row to pixel dx of another, at any depth.
inline void CopyPixel(uint8_t* out, int dx, const uint8_t* in, int sx, int bits) {
  if (bits >= 8) {
    const int n = bits / 8;
    std::memcpy(out + static_cast<size_t>(dx) * n, in + static_cast<size_t>(sx) * n, static_cast<size_t>(n));
  } else {
    SetIndex(out, dx, bits, IndexAt(in, sx, bits));
  }
}

// Builds the target row by row from a column map and a row map (both in DIB order).
bool Remap(DibBlock source, DibBlock target, BITMAPINFO& info, const Geometry& g, const std::vector<int>& columns,
           const std::vector<int>& rows) {
  const int width = static_cast<int>(columns.size());
  const int height = RowsThatFit(target, width, static_cast<int>(rows.size()), g.bits);
  if (height <= 0) return false;
  const size_t stride = static_cast<size_t>(DibStride(width, g.bits));
  for (int y = 0; y < height; ++y) {
    const uint8_t* in = source.bits + static_cast<size_t>(rows[static_cast<size_t>(y)]) * g.stride;
    uint8_t* out = target.bits + static_cast<size_t>(y) * stride;
    std::memset(out, 0, stride);
    if (g.bits == 24) {
      for (int x = 0; x < width; ++x) std::memcpy(out + 3 * x, in + 3 * columns[static_cast<size_t>(x)], 3);
    } else {
      for (int x = 0; x < width; ++x) CopyPixel(out, x, in, columns[static_cast<size_t>(x)], g.bits);
    }
  }
  SetSize(info, width, height);
  return true;
}

std::vector<int> Identity(int n) {
  std::vector<int> v(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) v[static_cast<size_t>(i)] = i;
  return v;
}

// Repeat counts of a 5-pixel cycle for multiplier 2, 4, 8 and fit tenths 6..9.
constexpr std::array<std::array<std::array<int, 5>, 4>, 3> kEnlargeCycles = {{
    {{{1, 1, 1, 1, 2}, {1, 2, 1, 1, 2}, {2, 1, 2, 1, 2}, {2, 2, 1, 2, 2}}},
    {{{2, 3, 2, 2, 3}, {2, 3, 3, 3, 3}, {4, 3, 3, 3, 3}, {4, 3, 4, 3, 4}}},
    {{{4, 5, 5, 5, 5}, {6, 5, 6, 5, 6}, {6, 7, 6, 7, 6}, {8, 7, 7, 7, 7}}},
}};

// The source indices enlargement takes for n source pixels, cut or filled to want.
std::vector<int> EnlargeMap(int n, int multiplier, int tenths, int want) {
  std::vector<int> map;
  map.reserve(static_cast<size_t>(want));
  const int table = multiplier == 2 ? 0 : multiplier == 4 ? 1 : multiplier == 8 ? 2 : -1;
  const bool cycle = table >= 0 && tenths >= 6 && tenths <= 9;
  for (int i = 0; i < n && static_cast<int>(map.size()) < want; ++i) {
    const int repeat = cycle ? kEnlargeCycles[static_cast<size_t>(table)][static_cast<size_t>(tenths - 6)]
                                             [static_cast<size_t>(i % 5)]
                             : multiplier;
    for (int r = 0; r < repeat && static_cast<int>(map.size()) < want; ++r) map.push_back(i);
  }
  while (static_cast<int>(map.size()) < want) map.push_back(std::max(n - 1, 0));
  return map;
}

struct Pattern {
  const char* steps;  // usage order
  int skip;           // -1: computed as (10 x divisor - t) / t
};

// Rows: divisor 1, 2, 4, 8, 16; columns: t = 9, 8, 7, 1..6.
constexpr Pattern kPatterns[5][4] = {
    {{"33333333", 1}, {"3331333", 1}, {"331313", 1}, {"13113", 1}},
    {{"11211211", 1}, {"2121212", 1}, {"222222", 1}, {"12112", -1}},
    {{"21212121", 3}, {"1111111", 4}, {"222122", 4}, {"22122", -1}},
    {{"22222222", 7}, {"1111111", 9}, {"121212", 10}, {"12112", -1}},
    {{"22221222", 16}, {"1111111", 19}, {"222222", 21}, {"22122", -1}},
};

// The source indices the pattern reduction takes along n pixels, cut or filled to want.
std::vector<int> PatternMap(int n, int divisor, int tenths, int want) {
  std::string steps;
  int k = 0;
  bool alternate = false;
  const int row = divisor == 1 ? 0 : divisor == 2 ? 1 : divisor == 4 ? 2 : divisor == 8 ? 3 : divisor == 16 ? 4 : -1;
  if (tenths < 1 || tenths > 9) {
    if (divisor <= 1) return Identity(std::min(n, want));
    steps = "1";
    k = divisor - 1;
  } else if (row < 0) {
    alternate = true;
    k = (10 * divisor - tenths) / tenths;
  } else {
    const Pattern& p = kPatterns[row][tenths >= 7 ? 9 - tenths : 3];
    steps = p.steps;
    k = p.skip >= 0 ? p.skip : (10 * divisor - tenths) / tenths;
  }
  std::vector<int> map;
  map.reserve(static_cast<size_t>(want));
  int pos = 0;
  bool odd = false;
  while (pos < n && static_cast<int>(map.size()) < want) {
    // The cycle's first pixel, then one per step.
    map.push_back(pos);
    if (alternate) {
      pos += 1 + (odd ? k - 1 : k);
      odd = !odd;
      continue;
    }
    pos += 1 + k;
    for (char c : steps) {
      if (pos >= n || static_cast<int>(map.size()) >= want) break;
      map.push_back(pos);
      pos += 1 + (c == '1' ? k : c == '3' ? 0 : k + 1);
    }
  }
  while (static_cast<int>(map.size()) < want && !map.empty()) map.push_back(map.back());
  return map;
}

bool InRegion(const CRect& r, int x, int y) {
  if (r.left < 0 && r.right < 0) return false;
  const int left = std::max(std::min(r.left, r.right), 0), right = std::max(r.left, r.right);
  const int top = std::max(std::min(r.top, r.bottom), 0), bottom = std::max(r.top, r.bottom);
  return x >= left && x < right && y >= top && y < bottom;
}

bool Near(const uint8_t* a, const uint8_t* b, int range) {
  return std::abs(a[0] - b[0]) <= range && std::abs(a[1] - b[1]) <= range && std::abs(a[2] - b[2]) <= range;
}

// The colour test against the source colour (bgr bytes).
bool Selected(const uint8_t* px, const uint8_t* src, const ImageConvertSettings& s) {
  if (!s.m_bByDifference) return Near(px, src, s.m_nColorRange);
  const int hs = HueOf(src[2], src[1], src[0]);
  const int h = HueOf(px[2], px[1], px[0]);
  int d;
  if (hs < 0 && h < 0) {
    d = std::abs(hs - h);
  } else if (hs < 0 || h < 0) {
    d = 254;
  } else {
    d = std::abs(h - hs);
    if (d > 2048) {
      d -= 2048;
    } else if (d > 1024) {
      d = 2048 - d;
    }
  }
  return (d >> 2) <= s.m_nColorRange;
}

constexpr int kThresholds[10] = {691, 614, 576, 538, 499, 461, 422, 384, 307, 230};

// The conversion of one selected colour (bgr in place).
void ConvertColor(uint8_t* px, const ImageConvertSettings& s) {
  int b = px[0], g = px[1], r = px[2];
  const int pb = b, pg = g, pr = r;
  if (s.m_bToTarget) {
    r = s.m_clrTarget & 255;
    g = s.m_clrTarget >> 8 & 255;
    b = s.m_clrTarget >> 16 & 255;
  }
  if (s.m_bMono) {
    r = g = b = (r + g + b) / 3;
  } else if (s.m_bBrightnessCorr) {
    if (s.m_bToTarget) {
      const int start = std::max(r + g + b, 1);
      const int scale = (pr + pg + pb) * 256 / start;
      r = Clamp255(r * scale / 256);
      g = Clamp255(g * scale / 256);
      b = Clamp255(b * scale / 256);
    } else {
      // The correction value of the settings brightens or darkens by per cent.
      const int scale = 256 + s.m_nBrightness * 256 / 100;
      r = Clamp255(r * scale / 256);
      g = Clamp255(g * scale / 256);
      b = Clamp255(b * scale / 256);
    }
  }
  if (s.m_bInvert) {
    r = 255 - r;
    g = 255 - g;
    b = 255 - b;
  }
  if (s.m_bEmphasis) {
    if (s.m_nEmphasis <= 5) {
      r = ToneMap(Clamp255(r), s.m_nEmphasis);
      g = ToneMap(Clamp255(g), s.m_nEmphasis);
      b = ToneMap(Clamp255(b), s.m_nEmphasis);
    } else if (s.m_nEmphasis <= 15) {
      r = g = b = r + g + b > kThresholds[s.m_nEmphasis - 6] ? 255 : 0;
    }
  }
  if (s.m_bSaturationCorr) {
    const int grey = (r + g + b) * 5 / 16;
    const int rate = s.m_nSaturation * 256 / 100;
    r = grey + (r - grey) * rate / 256;
    g = grey + (g - grey) * rate / 256;
    b = grey + (b - grey) * rate / 256;
  }
  if (s.m_bHueCorr) {
    const int d = (std::abs(2 * r - g - b) + 2 * std::abs(g - b)) * s.m_nHue / 128;
    b += d;
    r -= d;
  }
  px[0] = static_cast<uint8_t>(Clamp255(b));
  px[1] = static_cast<uint8_t>(Clamp255(g));
  px[2] = static_cast<uint8_t>(Clamp255(r));
}

// Whether the selection compares colours at all: only when the settings ask for the
// selected colour (or the others, or colour differences) to be converted.
bool SelectsByColor(const ImageConvertSettings& s) {
  return s.m_bSkipSelected == 0 || s.m_bOtherColors || s.m_bByDifference;
}

}  // namespace

int HueOf(int p, int q, int r) {
  const int d1 = q - r, d2 = p - (q + r) / 2;
  if (std::abs(d1) < 8 && std::abs(p - q) < 8) {
    const int grey = -((p + q + r) / 4);
    return grey == 0 ? -1 : grey;
  }
  const int a1 = std::abs(d1), a2 = std::abs(d2);
  int hue;
  if (a1 >= a2) {
    const int t = a2 * 256 / std::max(a1, 2);
    if (d1 <= 0) {
      hue = d2 <= 0 ? 1536 - t : 1536 + t;
    } else {
      hue = d2 > 0 ? 512 - t : 512 + t;
    }
  } else {
    const int t = a1 * 256 / std::max(a2, 2);
    if (d2 <= 0) {
      hue = d1 > 0 ? 1024 - t : 1024 + t;
    } else {
      hue = d1 < 0 ? 2048 - t : t;
    }
  }
  return hue < 0 ? 1 : hue;
}

bool ColorPhaseKernel(DibBlock source, DibBlock target, BITMAPINFO& info, int phase) {
  Geometry g{};
  if (!GeometryOf(info, source, g) || g.bits != 24 || target.size < g.stride * static_cast<size_t>(g.height)) {
    return false;
  }
  for (int y = 0; y < g.height; ++y) {
    const uint8_t* in = source.bits + static_cast<size_t>(y) * g.stride;
    uint8_t* out = target.bits + static_cast<size_t>(y) * g.stride;
    std::memcpy(out, in, g.stride);
    for (int x = 0; x < g.width; ++x) {
      const int b = in[3 * x], gr = in[3 * x + 1], r = in[3 * x + 2];
      if (phase == 1) {
        out[3 * x] = static_cast<uint8_t>(255 - r);
        out[3 * x + 1] = static_cast<uint8_t>(255 - gr);
        out[3 * x + 2] = static_cast<uint8_t>(255 - b);
      } else {
        out[3 * x] = static_cast<uint8_t>(Clamp255(r - gr + 128));
        out[3 * x + 1] = static_cast<uint8_t>(Clamp255(b - gr + 128));
        out[3 * x + 2] = static_cast<uint8_t>(Clamp255(r + gr - 128));
      }
    }
  }
  return true;
}

bool MirrorKernel(DibBlock source, DibBlock target, BITMAPINFO& info) {
  Geometry g{};
  if (!GeometryOf(info, source, g)) return false;
  std::vector<int> columns(static_cast<size_t>(g.width));
  for (int x = 0; x < g.width; ++x) columns[static_cast<size_t>(x)] = g.width - 1 - x;
  return Remap(source, target, info, g, columns, Identity(g.height));
}

bool FlipKernel(DibBlock source, DibBlock target, BITMAPINFO& info) {
  Geometry g{};
  if (!GeometryOf(info, source, g)) return false;
  std::vector<int> rows(static_cast<size_t>(g.height));
  for (int y = 0; y < g.height; ++y) rows[static_cast<size_t>(y)] = g.height - 1 - y;
  return Remap(source, target, info, g, Identity(g.width), rows);
}

bool RotateImage(DibBlock source, DibBlock target, BITMAPINFO& info, int rotation) {
  Geometry g{};
  if (!GeometryOf(info, source, g)) return false;
  rotation &= 3;
  if (rotation == 2) {
    std::vector<int> columns(static_cast<size_t>(g.width)), rows(static_cast<size_t>(g.height));
    for (int x = 0; x < g.width; ++x) columns[static_cast<size_t>(x)] = g.width - 1 - x;
    for (int y = 0; y < g.height; ++y) rows[static_cast<size_t>(y)] = g.height - 1 - y;
    return Remap(source, target, info, g, columns, rows);
  }
  if (rotation == 0) return Remap(source, target, info, g, Identity(g.width), Identity(g.height));
  // A quarter turn: the result is H wide and W high.
  const int width = g.height, height = RowsThatFit(target, g.height, g.width, g.bits);
  if (height <= 0) return false;
  const size_t stride = static_cast<size_t>(DibStride(width, g.bits));
  for (int r = 0; r < height; ++r) {
    uint8_t* out = target.bits + static_cast<size_t>(r) * stride;
    std::memset(out, 0, stride);
    // Result row r from the bottom is top-down row y' = W - 1 - r.
    const int yTop = g.width - 1 - r;
    for (int x = 0; x < width; ++x) {
      // Clockwise: result (x', y') = source (y', H - 1 - x') in top-down terms;
      // counter-clockwise: source (W - 1 - y', x').
      const int sx = rotation == 1 ? yTop : g.width - 1 - yTop;
      const int syTop = rotation == 1 ? g.height - 1 - x : x;
      const uint8_t* in = source.bits + static_cast<size_t>(g.height - 1 - syTop) * g.stride;
      CopyPixel(out, x, in, sx, g.bits);
    }
  }
  SetSize(info, width, height);
  return true;
}

bool EnlargeImage(DibBlock source, DibBlock target, BITMAPINFO& info, int multiplier, int tenths, int width,
                  int height) {
  Geometry g{};
  if (!GeometryOf(info, source, g) || width <= 0 || height <= 0) return false;
  return Remap(source, target, info, g, EnlargeMap(g.width, multiplier, tenths, width),
               EnlargeMap(g.height, multiplier, tenths, height));
}

bool ScaleImagePattern(DibBlock source, DibBlock target, BITMAPINFO& info, int divisor, int tenths, int width,
                       int height) {
  Geometry g{};
  if (!GeometryOf(info, source, g) || width <= 0 || height <= 0) return false;
  return Remap(source, target, info, g, PatternMap(g.width, divisor, tenths, width),
               PatternMap(g.height, divisor, tenths, height));
}

int AdjustColors(DibBlock source, DibBlock target, BITMAPINFO& info, const ImageConvertSettings& s,
                 const CRect& region, CPoint /*picked*/) {
  Geometry g{};
  if (!GeometryOf(info, source, g)) return 0;
  const uint8_t src[3] = {static_cast<uint8_t>(s.m_clrSource >> 16), static_cast<uint8_t>(s.m_clrSource >> 8),
                          static_cast<uint8_t>(s.m_clrSource)};
  const bool byColor = SelectsByColor(s);
  const bool invertSelection = s.m_bOtherColors && !s.m_bMono;
  auto selected = [&](const uint8_t* px) {
    const bool hit = !byColor || Selected(px, src, s);
    return invertSelection ? !hit : hit;
  };
  if (g.bits <= 8) {
    // The colour table carries every colour; the pixels stay.
    const int colors = DibColorCount(info.bmiHeader);
    for (int i = 0; i < colors; ++i) {
      RGBQUAD& q = info.bmiColors[i];
      uint8_t px[3] = {q.rgbBlue, q.rgbGreen, q.rgbRed};
      if (!selected(px)) continue;
      ConvertColor(px, s);
      q.rgbBlue = px[0];
      q.rgbGreen = px[1];
      q.rgbRed = px[2];
    }
    return 0;
  }
  if (g.bits != 24 || target.size < g.stride * static_cast<size_t>(g.height)) return 0;
  const bool neighbours = s.m_bContinuous || s.m_bIsolated;
  for (int y = 0; y < g.height; ++y) {
    const uint8_t* in = source.bits + static_cast<size_t>(y) * g.stride;
    uint8_t* out = target.bits + static_cast<size_t>(y) * g.stride;
    std::memcpy(out, in, g.stride);
    const int yTop = g.height - 1 - y;
    for (int x = 0; x < g.width; ++x) {
      const uint8_t* px = in + 3 * x;
      if (!selected(px)) continue;
      if (s.m_nRegionScope == 1 && !InRegion(region, x, yTop)) continue;
      if (s.m_nRegionScope == 2 && InRegion(region, x, yTop)) continue;
      if (neighbours) {
        int count = 0;
        for (int dy = -1; dy <= 1; ++dy) {
          for (int dx = -1; dx <= 1; ++dx) {
            const int nx = x + dx, ny = y + dy;
            if ((dx == 0 && dy == 0) || nx < 0 || ny < 0 || nx >= g.width || ny >= g.height) continue;
            if (Near(source.bits + static_cast<size_t>(ny) * g.stride + 3 * nx, px, s.m_nContinuityRange)) ++count;
          }
        }
        const bool qualifies = count >= s.m_nMinCount && count <= s.m_nMaxCount;
        if (s.m_bContinuous ? !qualifies : qualifies) continue;
      }
      ConvertColor(out + 3 * x, s);
    }
  }
  return 1;
}

bool CropToRegion(DibBlock source, DibBlock target, BITMAPINFO& info, CRect r, int divisor) {
  Geometry g{};
  if (!GeometryOf(info, source, g)) return false;
  int left = std::max(std::min(r.left, r.right), 0), right = std::max(std::max(r.left, r.right), 0);
  int top = std::max(std::min(r.top, r.bottom), 0), bottom = std::max(std::max(r.top, r.bottom), 0);
  divisor = std::max(divisor, 1);
  left /= divisor;
  right /= divisor;
  top /= divisor;
  bottom /= divisor;
  int width = std::min(right, g.width) - left, height = std::min(bottom, g.height) - top;
  if (height < 2) height = 5;
  if (width < 2) width = 8;
  width = std::min(width, g.width - std::min(left, g.width - 1));
  height = std::min(height, g.height - std::min(top, g.height - 1));
  left = std::min(left, g.width - 1);
  top = std::min(top, g.height - 1);
  std::vector<int> columns(static_cast<size_t>(width)), rows(static_cast<size_t>(height));
  for (int x = 0; x < width; ++x) columns[static_cast<size_t>(x)] = left + x;
  // Result row y from the bottom is top-down row top + height - 1 - y.
  for (int y = 0; y < height; ++y) rows[static_cast<size_t>(y)] = g.height - 1 - (top + height - 1 - y);
  return Remap(source, target, info, g, columns, rows);
}

bool ContourKernel(DibBlock source, DibBlock target, BITMAPINFO& info, int level, const CRect& region) {
  Geometry g{};
  if (!GeometryOf(info, source, g) || g.bits != 24 || target.size < g.stride * static_cast<size_t>(g.height)) {
    return false;
  }
  level = std::clamp(level, -5, 5);
  // Weights: centre, the four edge neighbours, the four diagonals (they add up to 16).
  struct Weights {
    int c, e, d;
  };
  constexpr Weights kWeights[11] = {{2, 2, 1},  {4, 2, 1},  {8, 1, 1},  {8, 2, 0},  {12, 1, 0}, {16, 0, 0},
                                    {20, -1, 0}, {24, -2, 0}, {32, -4, 0}, {48, -8, 0}, {80, -16, 0}};
  const Weights w = kWeights[level + 5];
  // Region in top-down display pixels, right and bottom excluded; right or bottom
  // negative reach the image edge.
  const bool whole = region.left < 0 && region.top < 0;
  const int left = whole ? 0 : std::max(region.left, 0), top = whole ? 0 : std::max(region.top, 0);
  const int right = region.right < 0 ? g.width : region.right, bottom = region.bottom < 0 ? g.height : region.bottom;
  auto at = [&](int x, int y, int c) {
    x = std::clamp(x, 0, g.width - 1);
    y = std::clamp(y, 0, g.height - 1);
    return static_cast<int>(source.bits[static_cast<size_t>(y) * g.stride + 3 * static_cast<size_t>(x) + c]);
  };
  for (int y = 0; y < g.height; ++y) {
    uint8_t* out = target.bits + static_cast<size_t>(y) * g.stride;
    std::memcpy(out, source.bits + static_cast<size_t>(y) * g.stride, g.stride);
    const int yTop = g.height - 1 - y;
    if (yTop < top || yTop >= bottom) continue;
    for (int x = std::max(left, 0); x < std::min(right, g.width); ++x) {
      for (int c = 0; c < 3; ++c) {
        int sum;
        if (level == -5) {
          // Rows in image order: the upper row (top-down y - 1) is DIB row y + 1.
          sum = 2 * at(x, y, c) + 2 * (at(x - 1, y, c) + at(x + 1, y, c) + at(x, y + 1, c)) +
                2 * (at(x - 1, y + 1, c) + at(x + 1, y + 1, c)) + 2 * at(x, y - 1, c) + at(x - 1, y - 1, c) +
                at(x + 1, y - 1, c);
        } else {
          sum = w.c * at(x, y, c) + w.e * (at(x - 1, y, c) + at(x + 1, y, c) + at(x, y - 1, c) + at(x, y + 1, c)) +
                w.d * (at(x - 1, y - 1, c) + at(x + 1, y - 1, c) + at(x - 1, y + 1, c) + at(x + 1, y + 1, c));
        }
        out[3 * x + c] = static_cast<uint8_t>(std::clamp(sum, 0, 4080) / 16);
      }
    }
  }
  return true;
}
