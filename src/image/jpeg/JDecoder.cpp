// Header analysis of the JPEG decoder: markers up to the first scan. Each segment is
// read inside its own declared length, which must cover its fields; nothing is
// allocated here but the fixed tables.
#include "image/jpeg/JDecoder.h"

#include <algorithm>
#include <cstring>

#include "image/jpeg/JZigzag.h"

namespace {

enum HeaderFlag { kFlagDHT = 1, kFlagDQT = 2, kFlagJFIF = 4, kFlagCOM = 8, kFlagSOS = 16 };

// A segment's fields, read in order; reading past its length is JBufferError.
class Segment {
 public:
  Segment(const uint8_t* p, int64_t n) : mP(p), mN(n) {}
  int Byte() {
    if (mAt >= mN) throw JBufferError("GetByte");
    return mP[mAt++];
  }
  int Word() {
    const int hi = Byte();
    return hi << 8 | Byte();
  }
  int64_t Left() const { return mN - mAt; }
  const uint8_t* Take(int64_t n) {
    if (n > mN - mAt) throw JBufferError("CopyByte");
    const uint8_t* p = mP + mAt;
    mAt += n;
    return p;
  }

 private:
  const uint8_t* mP;
  int64_t mN;
  int64_t mAt = 0;
};

}  // namespace

JDecoder::JDecoder(plat::AllocHook* hook) : mHook(hook) {}

void JDecoder::Note(const char* kind, const std::string& text, int64_t position) {
  mError = kind;
  if (!text.empty()) mError += " " + text;
  if (position >= 0) mError += " at " + std::to_string(position);
}

int JDecoder::SetSource(const uint8_t* pData, int64_t nLength) {
  // Nothing of an earlier source carries over.
  mIn = JInBitStream(pData, nLength);
  mHeaderFlags = 0;
  mFrameRead = false;
  mAdobe = false;
  mRestartInterval = 0;
  mScanCount = 0;
  mQuantDefined.fill(false);
  for (auto& byClass : mHuff) {
    for (auto& table : byClass) table = JHuffTable();
  }
  FreePlanes();
  mError.clear();
  try {
    AnalyzeHeader();
    return 0;
  } catch (const JMemoryError& e) {
    Note("JMemoryError", e.mMessage, -1);
    return -1;
  } catch (const JBufferError& e) {
    Note("JBufferError", e.mMessage, -1);
  } catch (const JNotSupported& e) {
    Note("JNotSupported", "marker " + std::to_string(e.mMarker), e.mPosition);
  } catch (const JDataFormatError& e) {
    Note("JDataFormatError", e.mMessage, e.mPosition);
  } catch (const JIndexError& e) {
    Note("JIndexError", e.mMessage + " " + std::to_string(e.mValue) + " > " + std::to_string(e.mLimit), -1);
  }
  return -2;
}

void JDecoder::AnalyzeHeader() {
  // Skip to SOI.
  for (;;) {
    if (mIn.GetByte() != 0xFF) continue;
    int b = mIn.GetByte();
    while (b == 0xFF) b = mIn.GetByte();
    if (b == 0xD8) break;
  }
  while (!(mHeaderFlags & kFlagSOS)) {
    const int marker = NextMarker();
    if (marker == 0xD9) break;  // EOI
    mHeaderFlags |= AnalyzeMarker(marker);
  }
}

int JDecoder::NextMarker() {
  for (;;) {
    if (mIn.GetByte() != 0xFF) continue;
    int b = mIn.GetByte();
    while (b == 0xFF) b = mIn.GetByte();
    if (b == 0) continue;
    return b >= 0x03 && b <= 0xBF ? 0xFF : b;
  }
}

int JDecoder::AnalyzeMarker(int marker) {
  const int64_t at = mIn.GetPosition() - 1;
  switch (marker) {
    case 0xC1: case 0xC2: case 0xC3: case 0xC5: case 0xC6: case 0xC7: case 0xC9: case 0xCA:
    case 0xCB: case 0xCC: case 0xCD: case 0xCE: case 0xCF: case 0xDE: case 0xDF:
      throw JNotSupported(marker, at);
    case 0xC0: case 0xC4: case 0xDB: case 0xDA: case 0xDD: case 0xDC: case 0xFE:
      break;
    default:
      if (marker >= 0xE0 && marker <= 0xEF) break;
      throw JDataFormatError(at, "Marker error");
  }
  // Every segment left carries a length that counts itself; a shorter one is bad
  // data, never a step backwards.
  const int length = mIn.GetWord();
  if (length < 2) throw JDataFormatError(at, "Marker length");
  const int64_t bodyAt = mIn.GetPosition();
  const uint8_t* seg = mIn.CopyByte(length - 2);
  const int64_t n = length - 2;
  switch (marker) {
    case 0xC0: AnalyzeFrame(seg, n, bodyAt); return 0;
    case 0xC4: AnalyzeDHT(seg, n, bodyAt); return kFlagDHT;
    case 0xDB: AnalyzeDQT(seg, n); return kFlagDQT;
    case 0xDA:
      AnalyzeScan(seg, n, bodyAt);
      mScanAt = mIn.GetPosition();
      return kFlagSOS;
    case 0xDD: {
      Segment s(seg, n);
      mRestartInterval = s.Word();
      return 0;
    }
    case 0xDC: return 0;  // DNL: the frame's height is taken as SOF gave it
    case 0xFE: return kFlagCOM;
    default: return AnalyzeApp(marker, seg, n);
  }
}

int JDecoder::AnalyzeApp(int marker, const uint8_t* seg, int64_t len) {
  if (len < 5) return 0;
  if (marker == 0xE0 && std::memcmp(seg, "JFIF", 5) == 0) return kFlagJFIF;
  if ((marker == 0xE0 || marker == 0xED) && std::memcmp(seg, "Phot", 4) == 0) mAdobe = true;
  return 0;
}

void JDecoder::AnalyzeFrame(const uint8_t* seg, int64_t len, int64_t at) {
  if (mFrameRead) throw JDataFormatError(at, "AnalyzeSOF:second frame");
  Segment s(seg, len);
  mPrecision = s.Byte();
  mHeight = s.Word();
  mWidth = s.Word();
  mComponents = s.Byte();
  if (mComponents != 1 && mComponents != 3 && mComponents != 4) throw JNotSupported(0xC0, at);
  // Baseline samples are 8 bits; other precisions are not decoded.
  if (mPrecision != 8) throw JNotSupported(0xC0, at);
  // Height 0 (lines given later by DNL) is not supported either.
  if (mWidth == 0 || mHeight == 0) throw JNotSupported(0xC0, at);
  mHmax = mVmax = 1;
  for (int i = 0; i < mComponents; ++i) {
    Component& c = mComp[i];
    c.id = s.Byte();
    const int hv = s.Byte();
    c.tq = s.Byte();
    c.h = mComponents == 1 ? 1 : hv >> 4;
    c.v = mComponents == 1 ? 1 : hv & 15;
    if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4) throw JDataFormatError(at, "AnalyzeSOF:sampling factor");
    if (c.tq > 3) throw JIndexError(3, c.tq, "AnalyzeSOF:Tq Over");
    mHmax = std::max(mHmax, c.h);
    mVmax = std::max(mVmax, c.v);
  }
  for (int i = 0; i < mComponents; ++i) {
    Component& c = mComp[i];
    // Samples are replicated to the largest factors, which needs whole ratios.
    if (mHmax % c.h || mVmax % c.v) throw JNotSupported(0xC0, at);
    c.hRatio = mHmax / c.h;
    c.vRatio = mVmax / c.v;
  }
  mFrameRead = true;
}

void JDecoder::AnalyzeDHT(const uint8_t* seg, int64_t len, int64_t at) {
  if (len == 0) throw JDataFormatError(at, "AnalyzeDHT:DHT Length");
  Segment s(seg, len);
  while (s.Left() > 0) {
    const int tcth = s.Byte();
    const int tc = tcth >> 4;
    const int th = tcth & 15;
    if (tc >= 2) throw JDataFormatError(at, "AnalyzeDHT:Tc");
    if (th > 3) throw JDataFormatError(at, "AnalyzeDHT:Th");
    const uint8_t* counts = s.Take(16);
    int total = 0;
    for (int i = 0; i < 16; ++i) total += counts[i];
    if (total > 256) throw JIndexError(256, total, "AnalyzeDHT:Size Table Index over");
    const uint8_t* values = s.Take(total);
    mHuff[tc][th].Build(counts, values, at);
  }
}

void JDecoder::AnalyzeDQT(const uint8_t* seg, int64_t len) {
  Segment s(seg, len);
  while (s.Left() > 0) {
    const int pq = s.Byte();
    const int tq = pq & 3;
    const bool wide = (pq >> 4) != 0;
    for (int k = 0; k < 64; ++k) mQuantZ[tq][k] = wide ? s.Word() : s.Byte();
    mQuantDefined[tq] = true;
  }
}

void JDecoder::AnalyzeScan(const uint8_t* seg, int64_t len, int64_t at) {
  if (!mFrameRead) throw JDataFormatError(at, "AnalyzeScan:no frame");
  Segment s(seg, len);
  const int ns = s.Byte();
  if (ns < 1 || ns > mComponents) throw JIndexError(mComponents, ns, "AnalyzeScan:Ns Over");
  for (int i = 0; i < ns; ++i) {
    const int selector = s.Byte();
    const int tables = s.Byte();
    int index = -1;
    for (int j = 0; j < mComponents; ++j) {
      if (mComp[j].id == selector) index = j;
    }
    if (index < 0) throw JDataFormatError(at, "AnalyzeScan:component");
    for (int j = 0; j < i; ++j) {
      if (mScanComp[j] == index) throw JDataFormatError(at, "AnalyzeScan:component");
    }
    const int td = tables >> 4;
    const int ta = tables & 15;
    if (td > 2) throw JIndexError(2, td, "AnalyzeScan:Td Over");
    if (ta > 2) throw JIndexError(2, ta, "AnalyzeScan:Ta Over");
    mScanComp[i] = index;
    mComp[index].dcTable = td;
    mComp[index].acTable = ta;
  }
  mScanCount = ns;
  s.Byte();  // spectral selection start and end and the approximation bits are
  s.Byte();  // those of a sequential scan in every baseline file
  s.Byte();
}
