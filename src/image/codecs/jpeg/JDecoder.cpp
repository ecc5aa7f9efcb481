// Header analysis of the JPEG decoder: markers up to the first scan. Each segment is
// read inside its own declared length, which must cover its fields; nothing is
// allocated here but the fixed tables.
#include "image/codecs/jpeg/JDecoder.h"

#include <algorithm>
#include <cstring>

#include "base/ByteCursor.h"
#include "image/codecs/jpeg/JKernels.h"
#include "image/codecs/jpeg/JZigzag.h"

namespace {

enum HeaderFlag { kFlagDHT = 1, kFlagDQT = 2, kFlagJFIF = 4, kFlagCOM = 8, kFlagSOS = 16 };

// A segment's fields are read through the byte cursor; a segment shorter than the
// fields it must hold is JBufferError, as a read past the input is.
void NeedFields(const ByteCursor& s, const char* what) {
  if (s.Failed()) throw JBufferError(what);
}

}  // namespace

JDecoder::JDecoder(AllocHook* hook) : hook_(hook), wide_(jkern::HaveAvx2()) {}

void JDecoder::SetWideKernels(bool on) { wide_ = on && jkern::HaveAvx2(); }

void JDecoder::Note(const char* kind, const std::string& text, int64_t position) {
  error_ = kind;
  if (!text.empty()) error_ += " " + text;
  if (position >= 0) error_ += " at " + std::to_string(position);
}

int JDecoder::SetSource(const uint8_t* pData, int64_t nLength) {
  // Nothing of an earlier source carries over.
  in_ = JInBitStream(pData, nLength);
  headerFlags_ = 0;
  frameRead_ = false;
  adobe_ = false;
  restartInterval_ = 0;
  scanCount_ = 0;
  quantDefined_.fill(false);
  for (auto& byClass : huff_) {
    for (auto& table : byClass) table = JHuffTable();
  }
  FreePlanes();
  error_.clear();
  try {
    AnalyzeHeader();
    return 0;
  } catch (const JMemoryError& e) {
    Note("JMemoryError", e.message_, -1);
    return -1;
  } catch (const JBufferError& e) {
    Note("JBufferError", e.message_, -1);
  } catch (const JNotSupported& e) {
    Note("JNotSupported", "marker " + std::to_string(e.marker_), e.position_);
  } catch (const JDataFormatError& e) {
    Note("JDataFormatError", e.message_, e.position_);
  } catch (const JIndexError& e) {
    Note("JIndexError", e.message_ + " " + std::to_string(e.value_) + " > " + std::to_string(e.limit_), -1);
  }
  return -2;
}

void JDecoder::AnalyzeHeader() {
  // Skip to SOI.
  for (;;) {
    if (in_.GetByte() != 0xFF) continue;
    int b = in_.GetByte();
    while (b == 0xFF) b = in_.GetByte();
    if (b == 0xD8) break;
  }
  while (!(headerFlags_ & kFlagSOS)) {
    const int marker = NextMarker();
    if (marker == 0xD9) break;  // EOI
    headerFlags_ |= AnalyzeMarker(marker);
  }
}

int JDecoder::NextMarker() {
  for (;;) {
    if (in_.GetByte() != 0xFF) continue;
    int b = in_.GetByte();
    while (b == 0xFF) b = in_.GetByte();
    if (b == 0) continue;
    return b >= 0x03 && b <= 0xBF ? 0xFF : b;
  }
}

int JDecoder::AnalyzeMarker(int marker) {
  const int64_t at = in_.GetPosition() - 1;
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
  const int length = in_.GetWord();
  if (length < 2) throw JDataFormatError(at, "Marker length");
  const int64_t bodyAt = in_.GetPosition();
  ByteCursor seg(in_.CopyByte(length - 2), length - 2);
  switch (marker) {
    case 0xC0: AnalyzeFrame(seg, bodyAt); return 0;
    case 0xC4: AnalyzeDHT(seg, bodyAt); return kFlagDHT;
    case 0xDB: AnalyzeDQT(seg); return kFlagDQT;
    case 0xDA:
      AnalyzeScan(seg, bodyAt);
      scanAt_ = in_.GetPosition();
      return kFlagSOS;
    case 0xDD:
      restartInterval_ = seg.U16BE();
      NeedFields(seg, "GetByte");
      return 0;
    case 0xDC: return 0;  // DNL: the frame's height is taken as SOF gave it
    case 0xFE: return kFlagCOM;
    default: return AnalyzeApp(marker, seg);
  }
}

int JDecoder::AnalyzeApp(int marker, const ByteCursor& seg) {
  const std::span<const uint8_t> name = seg.PeekBytes(0, 5);
  if (name.size() < 5) return 0;
  if (marker == 0xE0 && std::memcmp(name.data(), "JFIF", 5) == 0) return kFlagJFIF;
  if ((marker == 0xE0 || marker == 0xED) && std::memcmp(name.data(), "Phot", 4) == 0) adobe_ = true;
  return 0;
}

void JDecoder::AnalyzeFrame(ByteCursor& s, int64_t at) {
  if (frameRead_) throw JDataFormatError(at, "AnalyzeSOF:second frame");
  precision_ = s.U8();
  height_ = s.U16BE();
  width_ = s.U16BE();
  components_ = s.U8();
  NeedFields(s, "GetByte");
  if (components_ != 1 && components_ != 3 && components_ != 4) throw JNotSupported(0xC0, at);
  // Baseline samples are 8 bits; other precisions are not decoded.
  if (precision_ != 8) throw JNotSupported(0xC0, at);
  // Height 0 (lines given later by DNL) is not supported either.
  if (width_ == 0 || height_ == 0) throw JNotSupported(0xC0, at);
  hmax_ = vmax_ = 1;
  for (int i = 0; i < components_; ++i) {
    Component& c = comp_[i];
    c.id = s.U8();
    const int hv = s.U8();
    c.tq = s.U8();
    NeedFields(s, "GetByte");
    c.h = components_ == 1 ? 1 : hv >> 4;
    c.v = components_ == 1 ? 1 : hv & 15;
    if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4) throw JDataFormatError(at, "AnalyzeSOF:sampling factor");
    if (c.tq > 3) throw JIndexError(3, c.tq, "AnalyzeSOF:Tq Over");
    hmax_ = std::max(hmax_, c.h);
    vmax_ = std::max(vmax_, c.v);
  }
  for (int i = 0; i < components_; ++i) {
    Component& c = comp_[i];
    // Samples are replicated to the largest factors, which needs whole ratios.
    if (hmax_ % c.h || vmax_ % c.v) throw JNotSupported(0xC0, at);
    c.hRatio = hmax_ / c.h;
    c.vRatio = vmax_ / c.v;
  }
  frameRead_ = true;
}

void JDecoder::AnalyzeDHT(ByteCursor& s, int64_t at) {
  if (s.Size() == 0) throw JDataFormatError(at, "AnalyzeDHT:DHT Length");
  while (!s.AtEnd()) {
    const int tcth = s.U8();
    const int tc = tcth >> 4;
    const int th = tcth & 15;
    if (tc >= 2) throw JDataFormatError(at, "AnalyzeDHT:Tc");
    if (th > 3) throw JDataFormatError(at, "AnalyzeDHT:Th");
    const std::span<const uint8_t> counts = s.Bytes(16);
    NeedFields(s, "CopyByte");
    int total = 0;
    for (const uint8_t n : counts) total += n;
    if (total > 256) throw JIndexError(256, total, "AnalyzeDHT:Size Table Index over");
    const std::span<const uint8_t> values = s.Bytes(total);
    NeedFields(s, "CopyByte");
    huff_[tc][th].Build(counts.data(), values.data(), at, tc == 1);
  }
}

void JDecoder::AnalyzeDQT(ByteCursor& s) {
  while (!s.AtEnd()) {
    const int pq = s.U8();
    const int tq = pq & 3;
    const bool wide = (pq >> 4) != 0;
    for (int k = 0; k < 64; ++k) quantZ_[tq][k] = wide ? s.U16BE() : s.U8();
    NeedFields(s, "GetByte");
    quantDefined_[tq] = true;
  }
}

void JDecoder::AnalyzeScan(ByteCursor& s, int64_t at) {
  if (!frameRead_) throw JDataFormatError(at, "AnalyzeScan:no frame");
  const int ns = s.U8();
  NeedFields(s, "GetByte");
  if (ns < 1 || ns > components_) throw JIndexError(components_, ns, "AnalyzeScan:Ns Over");
  for (int i = 0; i < ns; ++i) {
    const int selector = s.U8();
    const int tables = s.U8();
    NeedFields(s, "GetByte");
    int index = -1;
    for (int j = 0; j < components_; ++j) {
      if (comp_[j].id == selector) index = j;
    }
    if (index < 0) throw JDataFormatError(at, "AnalyzeScan:component");
    for (int j = 0; j < i; ++j) {
      if (scanComp_[j] == index) throw JDataFormatError(at, "AnalyzeScan:component");
    }
    const int td = tables >> 4;
    const int ta = tables & 15;
    if (td > 2) throw JIndexError(2, td, "AnalyzeScan:Td Over");
    if (ta > 2) throw JIndexError(2, ta, "AnalyzeScan:Ta Over");
    scanComp_[i] = index;
    comp_[index].dcTable = td;
    comp_[index].acTable = ta;
  }
  scanCount_ = ns;
  // Spectral selection start and end and the approximation bits are those of a
  // sequential scan in every baseline file.
  s.Skip(3);
  NeedFields(s, "GetByte");
}
