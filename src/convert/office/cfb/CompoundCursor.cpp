// The compound-file cursor: moves m_nRawPos through the file image along sector
// chains (the mail road), and over workbook record data in the stream image. Every
// position stays within the loaded bytes (0 to m_nRawLen); a chain value outside
// the file or the table ends the chain (m_nCfbEnd) instead of being looked up.
#include <algorithm>

#include "app/QelDoc.h"
#include "convert/ConvertState.h"
#include "convert/office/OfficeState.h"
#include "convert/office/cfb/RawImage.h"
#include "convert/office/xls/BiffRecord.h"

namespace {
constexpr int kSector = 512;
constexpr uint32_t kSpecialMark = 0xFFFFFFFA;
}  // namespace

// Sector step: to the sector that follows by the chain, or, past the chain's end, on
// into the physically following sector with the end flag set.
static void SectorStep(CQelDoc& d) {
  ConvertState& raw = d.Convert();
  OfficeState& o = d.Office();
  o.m_nCfbOffset = 0;
  o.m_nCfbPrevSector = o.m_nCfbSector;
  const uint32_t s = static_cast<uint32_t>(o.m_nCfbSector);
  const uint32_t next = s < o.m_anCfbChain.size() ? o.m_anCfbChain[s] : 0;
  if (next < static_cast<uint32_t>(o.m_nCfbSectorCount)) {
    o.m_nCfbSector = static_cast<int>(next);
    raw.m_nRawPos = (static_cast<int64_t>(next) + 1) * kSector;
  } else {
    o.m_nCfbEnd = next >= kSpecialMark ? 2 : 1;
    o.m_nCfbSector = o.m_nCfbPrevSector + 1;
  }
  raw.m_nRawPos = std::clamp<int64_t>(raw.m_nRawPos, 0, std::max<int64_t>(raw.m_nRawLen, 0));
}

void CQelDoc::CfbNextByte() {
  ConvertState& raw = Convert();
  OfficeState& o = Office();
  raw.m_nRawPos = std::min(raw.m_nRawPos + 1, std::max<int64_t>(raw.m_nRawLen, 0));
  if (++o.m_nCfbOffset >= kSector) SectorStep(*this);
}

void CQelDoc::CfbSkip(int n) {
  ConvertState& raw = Convert();
  OfficeState& o = Office();
  if (n <= 0) return;
  const int64_t limit = std::max<int64_t>(raw.m_nRawLen, 0);
  if (n < kSector - o.m_nCfbOffset) {
    raw.m_nRawPos = std::min(raw.m_nRawPos + n, limit);
    o.m_nCfbOffset += n;
    return;
  }
  int64_t r = n - (kSector - o.m_nCfbOffset);
  raw.m_nRawPos = std::min(raw.m_nRawPos + (kSector - o.m_nCfbOffset), limit);
  SectorStep(*this);
  while (r > kSector) {
    raw.m_nRawPos = std::min(raw.m_nRawPos + kSector, limit);
    r -= kSector;
    if (o.m_nCfbEnd || raw.m_nRawPos >= limit) return;
    SectorStep(*this);
  }
  if (r < kSector) {
    raw.m_nRawPos = std::min(raw.m_nRawPos + r, limit);
    o.m_nCfbOffset = static_cast<int>(r);
  } else {
    raw.m_nRawPos = std::min(raw.m_nRawPos + kSector, limit);
    SectorStep(*this);
  }
}

void CQelDoc::CfbSeek(int offset, int chainStart) {
  ConvertState& raw = Convert();
  OfficeState& o = Office();
  offset = std::max(offset, 0);
  o.m_nCfbOffset = offset % kSector;
  int hops = offset / kSector;
  int64_t s = chainStart / kSector - 1;
  if (s < 1 && hops > 2) {
    s += 2;
    hops -= 2;
  }
  bool ended = s < 0;
  for (int i = 0; i < hops && !ended; ++i) {
    const uint32_t next = s >= 0 && s < static_cast<int64_t>(o.m_anCfbChain.size()) ? o.m_anCfbChain[s] : kSpecialMark;
    if (next >= kSpecialMark || next >= static_cast<uint32_t>(std::max(o.m_nCfbSectorCount, 0))) ended = true;
    else s = next;
  }
  if (ended) s = 0;
  o.m_nCfbSector = static_cast<int>(s);
  raw.m_nRawPos = std::clamp<int64_t>((s + 1) * kSector + o.m_nCfbOffset, 0, std::max<int64_t>(raw.m_nRawLen, 0));
}

// Passes n bytes of record data: n + 1 positions are examined, a continuation header
// (3C 00 20 20) at one is passed whole and not counted, and the cursor steps back one.
void CQelDoc::CfbSkipChars(int n) {
  ConvertState& raw = Convert();
  if (!raw.m_pRawData) return;
  const int64_t limit = std::max<int64_t>(raw.m_nRawLen, 0);
  const ByteCursor data = RawImageOf(*this).Window(0, limit);
  for (int i = 0; i <= n && raw.m_nRawPos < limit; ++i) raw.m_nRawPos += (data.MarkAt(raw.m_nRawPos, kBiffContinuedMark) ? 4 : 0) + 1;
  raw.m_nRawPos = std::clamp<int64_t>(raw.m_nRawPos - 1, 0, limit);
}
