// The compound-file cursor: moves m_nRawPos through the file image along sector
// chains (the mail road), and over workbook record data in the stream image. Every
// position stays within the loaded bytes (0 to m_nRawLen); a chain value outside
// the file or the table ends the chain (m_nCfbEnd) instead of being looked up.
#include <algorithm>

#include "app/QelDoc.h"
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
  OfficeState& o = d.Office();
  o.m_nCfbOffset = 0;
  o.m_nCfbPrevSector = o.m_nCfbSector;
  const uint32_t s = static_cast<uint32_t>(o.m_nCfbSector);
  const uint32_t next = s < o.m_anCfbChain.size() ? o.m_anCfbChain[s] : 0;
  if (next < static_cast<uint32_t>(o.m_nCfbSectorCount)) {
    o.m_nCfbSector = static_cast<int>(next);
    d.m_nRawPos = (static_cast<int64_t>(next) + 1) * kSector;
  } else {
    o.m_nCfbEnd = next >= kSpecialMark ? 2 : 1;
    o.m_nCfbSector = o.m_nCfbPrevSector + 1;
  }
  d.m_nRawPos = std::clamp<int64_t>(d.m_nRawPos, 0, std::max<int64_t>(d.m_nRawLen, 0));
}

void CQelDoc::CfbNextByte() {
  m_nRawPos = std::min(m_nRawPos + 1, std::max<int64_t>(m_nRawLen, 0));
  if (++Office().m_nCfbOffset >= kSector) SectorStep(*this);
}

void CQelDoc::CfbSkip(int n) {
  if (n <= 0) return;
  const int64_t limit = std::max<int64_t>(m_nRawLen, 0);
  if (n < kSector - Office().m_nCfbOffset) {
    m_nRawPos = std::min(m_nRawPos + n, limit);
    Office().m_nCfbOffset += n;
    return;
  }
  int64_t r = n - (kSector - Office().m_nCfbOffset);
  m_nRawPos = std::min(m_nRawPos + (kSector - Office().m_nCfbOffset), limit);
  SectorStep(*this);
  while (r > kSector) {
    m_nRawPos = std::min(m_nRawPos + kSector, limit);
    r -= kSector;
    if (Office().m_nCfbEnd || m_nRawPos >= limit) return;
    SectorStep(*this);
  }
  if (r < kSector) {
    m_nRawPos = std::min(m_nRawPos + r, limit);
    Office().m_nCfbOffset = static_cast<int>(r);
  } else {
    m_nRawPos = std::min(m_nRawPos + kSector, limit);
    SectorStep(*this);
  }
}

void CQelDoc::CfbSeek(int offset, int chainStart) {
  offset = std::max(offset, 0);
  Office().m_nCfbOffset = offset % kSector;
  int hops = offset / kSector;
  int64_t s = chainStart / kSector - 1;
  if (s < 1 && hops > 2) {
    s += 2;
    hops -= 2;
  }
  bool ended = s < 0;
  for (int i = 0; i < hops && !ended; ++i) {
    const uint32_t next = s >= 0 && s < static_cast<int64_t>(Office().m_anCfbChain.size()) ? Office().m_anCfbChain[s] : kSpecialMark;
    if (next >= kSpecialMark || next >= static_cast<uint32_t>(std::max(Office().m_nCfbSectorCount, 0))) ended = true;
    else s = next;
  }
  if (ended) s = 0;
  Office().m_nCfbSector = static_cast<int>(s);
  m_nRawPos = std::clamp<int64_t>((s + 1) * kSector + Office().m_nCfbOffset, 0, std::max<int64_t>(m_nRawLen, 0));
}

// Passes n bytes of record data: n + 1 positions are examined, a continuation header
// (3C 00 20 20) at one is passed whole and not counted, and the cursor steps back one.
void CQelDoc::CfbSkipChars(int n) {
  if (!m_pRawData) return;
  const int64_t limit = std::max<int64_t>(m_nRawLen, 0);
  const ByteCursor data = RawImageOf(*this).Window(0, limit);
  for (int i = 0; i <= n && m_nRawPos < limit; ++i) m_nRawPos += (data.MarkAt(m_nRawPos, kBiffContinuedMark) ? 4 : 0) + 1;
  m_nRawPos = std::clamp<int64_t>(m_nRawPos - 1, 0, limit);
}
