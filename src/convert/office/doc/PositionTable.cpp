// Paragraph ends, paragraph types and table column layouts of a binary Word file,
// found without its bin tables: the 512-byte pages after the text are walked and
// the paragraph-property and character-property pages recognised by their contents
// (their first file offset, their run count and the chains their last offsets
// form). On the way the column layout of every table row end is recorded and the
// text of deleted revisions is blanked with 0x10 in the image.
//
// Every read goes through the byte cursor (0 outside the buffer); a run count is taken
// only from 1 to 59 (paragraph pages) or up to 100 (character pages); a position
// computed from the file is never used below 0; a cell count of 0 or less is no
// table definition.
#include <algorithm>

#include "app/QelDoc.h"
#include "convert/ConvertState.h"
#include "convert/office/cfb/RawImage.h"

namespace {

constexpr int kEntries = 16000;
constexpr int kSlots = 1000;       // slots 0 to 999 of m_anTableCols
constexpr int kSlotWidth = 100;
constexpr int kMaxRunsKept = 100;  // run ends kept per page
constexpr int kMaxZeroPages = 500;
constexpr uint8_t kDeletedFiller = 0x10;

struct Chain {
  uint8_t b[3];
  bool Matches(const ByteCursor& img, int64_t q) const {
    return img.PeekU8(q) == b[0] && img.PeekU8(q + 1) == b[1] && img.PeekU8(q + 2) == b[2];
  }
  void Take(const ByteCursor& img, int64_t at) {
    for (int k = 0; k < 3; ++k) b[k] = img.PeekU8(at + k);
  }
};

class PositionBuilder {
 public:
  PositionBuilder(CQelDoc& doc, int version, int dataSector, int textPage)
      : doc_(doc), img_(RawImageOf(doc)), version_(version), dataSector_(dataSector), textPage_(textPage) {}

  int Build(int end);

 private:
  int Classify(int64_t p, int& lastPair0, int& lastPair1) const;
  void RecordRow(int entry, int64_t p, int s, int w, bool huge, int64_t limit);
  void StoreLayout(const int* bounds, int count);
  void StoreDefaultLayout();
  int NextTypeCode();

  CQelDoc& doc_;
  ByteCursor img_;
  int version_;
  int dataSector_;
  int textPage_;
  int rows_ = 0;
  int rowType_ = 0;
};

int PositionBuilder::NextTypeCode() {
  const int code = 26 + rows_ % 100;
  rows_ = std::min(rows_ + 1, kSlots - 1);
  return code;
}

// Slot rows_: count, then boundaries in units of 80 twips (the first from the row's
// origin, the others from the first).
void PositionBuilder::StoreLayout(const int* bounds, int count) {
  int* slot = &doc_.Convert().m_anTableCols[static_cast<size_t>(rows_) * kSlotWidth];
  slot[0] = count;
  const int first = bounds[0];
  slot[1] = first < 0 ? 0 : first / 80;
  for (int k = 1; k < count && k + 1 < kSlotWidth; ++k) slot[k + 1] = (bounds[k] - first) / 80;
  rowType_ = NextTypeCode();
}

void PositionBuilder::StoreDefaultLayout() {
  int* slot = &doc_.Convert().m_anTableCols[static_cast<size_t>(rows_) * kSlotWidth];
  slot[0] = 20;
  for (int k = 1; k <= 20; ++k) slot[k] = k * 10;
  rowType_ = NextTypeCode();
}

// The table definition of a row end: searched in the huge properties of the Data
// stream or in the run's own properties.
void PositionBuilder::RecordRow(int entry, int64_t p, int s, int w, bool huge, int64_t limit) {
  int64_t from = p + s;
  int64_t length = 2 * static_cast<int64_t>(w);
  if (huge && dataSector_ != 0) {
    const int64_t offset = img_.PeekU24LE(p + s + 5);
    from = std::min<int64_t>((static_cast<int64_t>(dataSector_) + 1) * 512 + offset, limit);
    length = 496;
  }
  bool found = false;
  for (int64_t o = 6; o + 4 < length; ++o) {
    const int64_t a = from + o;
    const bool def = version_ == 4 ? img_.PeekU8(a) == 0x08 && img_.PeekU8(a + 1) == 0xD6
                                   : img_.PeekU8(a + 1) == 0xBE && img_.PeekU8(a + 3) < 3;
    if (!def) continue;
    const int cells = std::min<int>(static_cast<int8_t>(img_.PeekU8(a + 4)), 48);
    if (cells <= 0) continue;
    int bounds[49];
    for (int k = 0; k <= cells; ++k) {
      int v = img_.PeekU16LE(a + 5 + 2 * k);
      if (v > 61440) v -= 65536;
      bounds[k] = v;
    }
    StoreLayout(bounds, cells + 1);
    found = true;
    break;
  }
  if (!found) StoreDefaultLayout();
  if (entry >= 0 && entry < kEntries) doc_.Convert().m_abParaType[entry] = static_cast<uint8_t>(rowType_);
}

// The type code of a paragraph run whose properties stand at p.
int PositionBuilder::Classify(int64_t p, int& pair0, int& pair1) const {
  const int s = img_.PeekU8(p) == 0 ? 1 : 0;
  const int w = img_.PeekU8(p + s);
  auto b = [&](int k) { return img_.PeekU8(p + s + k); };
  pair0 = b(3);
  pair1 = b(4);
  if (w == 1) return 9;
  if (version_ == 3 && b(3) == 13 && b(4) < 10) return 9;
  if (version_ == 3 && b(5) == 0x19 && b(6) == 1) return 6;
  if (version_ == 4 && b(3) == 0x46 && b(4) == 0x66) return 6;
  if (version_ == 4 && b(6) == 0x17 && b(7) == 0x24 && b(8) == 1) return 6;
  int type = 0;
  for (int k = s; k < 2 * w; ++k) {
    const uint8_t x = img_.PeekU8(p + 3 + k);
    const uint8_t y = img_.PeekU8(p + 4 + k);
    pair0 = x;
    pair1 = y;
    if (version_ == 3) {
      if (x == 0x18 && y == 0x01) type = 7;
    } else if ((x == 0x16 && y == 0x24) || (x == 0x49 && y == 0x66)) {
      type = 7;
    } else if (x == 0x17 && y == 0x24) {
      return 6;
    }
  }
  return type;
}

int PositionBuilder::Build(int endArg) {
  const int64_t start = doc_.Convert().m_nRawPos;
  const int64_t limit = doc_.Convert().m_nRawLen + 4096;
  const int64_t end = endArg > 0 ? endArg : limit;
  std::fill(doc_.Convert().m_abParaType.begin(), doc_.Convert().m_abParaType.end(), 9);
  std::fill(doc_.Convert().m_anParaEnd.begin(), doc_.Convert().m_anParaEnd.end(), 0);
  if (start < 0) return 0;

  int64_t cur = start + start % 512;
  if (cur > limit) return 0;
  auto isFirst = [&](int64_t q) {
    if (img_.PeekU8(q) != 0) return false;
    const uint8_t b = img_.PeekU8(q + 1);
    return (version_ == 3 ? b == 3 : b == 4 || b == 6) || (textPage_ > 0 && b == textPage_);
  };
  while (cur < limit && !isFirst(cur)) cur += 512;
  if (cur >= limit) return 0;

  Chain para{{0, img_.PeekU8(cur + 1), 0}};
  Chain chars = para;
  Chain third = para;
  int pages = 0, zeroPages = 0, entries = 0, basePages = 0, base = 0;
  int64_t prevEnd = 0, result = 0;
  const int descSize = version_ == 4 ? 13 : 7;

  for (; cur < end; cur += 512, ++pages) {
    const int64_t q = cur;
    const int c = static_cast<int8_t>(img_.PeekU8(q + 511));
    const uint8_t p0 = img_.PeekU8(q), p1 = img_.PeekU8(q + 1), p2 = img_.PeekU8(q + 2);

    const bool textPage = (version_ == 4 ? p1 == 6 || p1 == 4 : p1 == 3) || (textPage_ > 0 && p1 == textPage_);
    if (p0 == 0 && p2 == 0 && textPage && basePages++ < 2) {
      base = p1 == 6 ? static_cast<int8_t>(img_.PeekU8(q + 5)) : p1;
      if (base == 9) base = 8;
    }
    const int runs = std::clamp(c, 0, kMaxRunsKept);
    int64_t runEnd[kMaxRunsKept + 1] = {};
    for (int j = 1; j <= runs; ++j) {
      runEnd[j] = start + img_.PeekU24LE(q + 4 * j) - static_cast<int64_t>(std::max(base, 0)) * 256;
    }

    const bool paraPage = para.Matches(img_, q) && pages > 0 && c >= 1 && c <= 59 &&
                          (version_ == 3 || img_.PeekU8(q + 4 * c + 7) == 0);
    if (paraPage) {
      para.Take(img_, q + 4 * c);
      for (int j = 0; j < c; ++j) {
        result = std::max(result, runEnd[j + 1]);
        const int64_t desc = q + 4 * (c + 1) + static_cast<int64_t>(j) * descSize;
        const int64_t p = q + 2 * static_cast<int64_t>(img_.PeekU8(desc));
        int pair0 = 0, pair1 = 0;
        int type = img_.PeekU8(desc) == 0 ? 9 : Classify(p, pair0, pair1);
        const int entry = entries < kEntries ? entries : -1;
        if (entry >= 0) {
          doc_.Convert().m_abParaType[entry] = static_cast<uint8_t>(type);
          doc_.Convert().m_anParaEnd[entry] = static_cast<int>(std::clamp<int64_t>(runEnd[j + 1], 0, INT32_MAX));
          ++entries;
        }
        if (type == 6) {
          const int s = img_.PeekU8(p) == 0 ? 1 : 0;
          RecordRow(entry, p, s, img_.PeekU8(p + s), pair0 == 0x46 && pair1 == 0x66, limit);
        }
        prevEnd = runEnd[j + 1];
      }
    } else if (chars.Matches(img_, q)) {
      chars.Take(img_, q + 4 * std::max(c, 0));
      for (int j = 0; j < runs; ++j) {
        const int64_t thisEnd = runEnd[j + 1];
        result = std::max(result, thisEnd);
        const uint8_t offset = img_.PeekU8(q + 4 * (static_cast<int64_t>(c) + 1) + j);
        if (offset != 0) {
          const int64_t props = q + 2 * static_cast<int64_t>(offset);
          const int length = static_cast<int8_t>(img_.PeekU8(props));
          bool deleted = false;
          for (int k = 1; k <= length && !deleted; ++k) {
            deleted = img_.PeekU8(props + k) == 0x64 && img_.PeekU8(props + k + 1) == 0x68;
          }
          if (deleted && prevEnd < thisEnd && thisEnd < limit) {
            for (int64_t x = std::max<int64_t>(prevEnd, 0); x < thisEnd && img_.Inside(x); ++x) SetRawImageByte(doc_, x, kDeletedFiller);
          }
        }
        prevEnd = thisEnd;
      }
    } else if (third.Matches(img_, q) && pages > 1) {
      third.Take(img_, q + 4 * std::max(c, 0));
    } else {
      if (p0 == 0 && p1 == 0 && p2 == 0 && ++zeroPages > kMaxZeroPages) break;
      continue;
    }
    SetRawImageByte(doc_, q, 0);
    SetRawImageByte(doc_, q + 1, 6);
    SetRawImageByte(doc_, q + 2, 0);
    SetRawImageByte(doc_, q + 3, 0);
    zeroPages = 0;
  }
  doc_.Convert().m_nRawPos = start;
  return static_cast<int>(std::clamp<int64_t>(result, 0, INT32_MAX));
}

}  // namespace

int CQelDoc::BuildPositionTable(int version, int dataSector, int end, int textPage) {
  return PositionBuilder(*this, version, dataSector, textPage).Build(end);
}

int CQelDoc::NextPositionEntry(int i, int limit) {
  const ConvertState& raw = Convert();
  const int64_t cur = raw.m_nRawPos;
  if (i < 0 || i >= kEntries - 1) return 0;
  if (raw.m_anParaEnd[i] >= cur || raw.m_anParaEnd[i] <= 0) return 0;
  int j = i + 1;
  for (; j < kEntries - 1; ++j) {
    const int p = raw.m_anParaEnd[j];
    if (p >= cur || p > limit || p <= 0) break;
  }
  return j;
}

int CQelDoc::FindPositionEntry(int i, int limit) {
  const ConvertState& raw = Convert();
  const int64_t cur = raw.m_nRawPos;
  if (i >= kEntries - 1) return i;
  if (i >= 0 && raw.m_anParaEnd[i] == cur) return i;
  int j = 1;
  for (; j < kEntries - 1; ++j) {
    const int p = raw.m_anParaEnd[j];
    if (p >= cur || p > limit || p <= 0) break;
  }
  return j;
}

uint8_t CQelDoc::ClassifyCell(int i) {
  if (i < 0 || i >= kEntries) return 5;
  auto& types = Convert().m_abParaType;
  const int t = types[i];
  const int u = i + 1 < kEntries ? types[i + 1] : 9;
  switch (t) {
    case 9:
    case 5:
      return 5;
    case 3:
      return 3;
    case 7:
      if (u == 0 && i + 1 < kEntries) types[i + 1] = 5;
      return 7;
    case 0:
    case 1:
    case 2:
    case 4:
    case 8:
      return 7;
    default:
      return u == 9 || u == 0 ? 3 : 6;
  }
}
