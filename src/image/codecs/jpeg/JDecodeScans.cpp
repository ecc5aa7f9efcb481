// Images in several scans: a baseline frame may send its components in separate
// scans (one per component, or a luminance scan and a chrominance scan), with
// tables and restart intervals between them. Each component gets a plane of the
// whole image, padded to whole MCUs and filled with 128 (a block of zero
// coefficients); each scan decodes into the planes of its components, and once the
// scans end (EOI, the end of the input, or a segment cut short) every row is
// converted. A scan of one component runs block by block over that component's own
// size; a scan of several runs MCU by MCU as the interleaved scan does.
#include <algorithm>
#include <cstring>

#include "base/CheckedSize.h"
#include "image/codecs/jpeg/JDecoder.h"

namespace {

constexpr int kFlagSOS = 16;

int64_t CeilDiv(int64_t a, int64_t b) { return (a + b - 1) / b; }

}  // namespace

JDecoder::ScanTables JDecoder::SaveScanTables() const {
  ScanTables t{};
  t.scanAt = scanAt_;
  t.scanCount = scanCount_;
  t.scanComp = scanComp_;
  for (int i = 0; i < 4; ++i) {
    t.dcTable[i] = comp_[i].dcTable;
    t.acTable[i] = comp_[i].acTable;
  }
  for (int c = 0; c < 2; ++c) std::copy(std::begin(huff_[c]), std::end(huff_[c]), t.huff[c].begin());
  t.quantZ = quantZ_;
  t.quantDefined = quantDefined_;
  t.restartInterval = restartInterval_;
  t.adobe = adobe_;
  return t;
}

void JDecoder::RestoreScanTables(const ScanTables& t) {
  scanAt_ = t.scanAt;
  scanCount_ = t.scanCount;
  scanComp_ = t.scanComp;
  for (int i = 0; i < 4; ++i) {
    comp_[i].dcTable = t.dcTable[i];
    comp_[i].acTable = t.acTable[i];
  }
  for (int c = 0; c < 2; ++c) std::copy(t.huff[c].begin(), t.huff[c].end(), std::begin(huff_[c]));
  quantZ_ = t.quantZ;
  quantDefined_ = t.quantDefined;
  restartInterval_ = t.restartInterval;
  adobe_ = t.adobe;
}

void JDecoder::DecodeScans(const Target& target) {
  // The segments of later scans change the tables; the first scan's come back after.
  struct Restore {
    JDecoder& d;
    ScanTables saved;
    ~Restore() { d.RestoreScanTables(saved); }
  } restore{*this, SaveScanTables()};

  const int mcuCols = static_cast<int>(CeilDiv(width_, 8 * hmax_));
  const int mcuRows = static_cast<int>(CeilDiv(height_, 8 * vmax_));
  static const char* const kUnitNames[] = {"Disconvert unit1", "Disconvert unit2", "Disconvert unit3",
                                           "Disconvert unit4"};
  for (int i = 0; i < components_; ++i) {
    Component& c = comp_[i];
    c.rowStride = int64_t{mcuCols} * c.h * 8;
    const int64_t planeRows = int64_t{mcuRows} * c.v * 8;
    if (!TryAllocate(c.rows, c.rowStride, planeRows, 0, hook_) || !TryAllocate(c.columnOf, width_, 1, 0, hook_))
      throw JMemoryError(c.rowStride * planeRows, kUnitNames[i]);
    std::fill(c.rows.begin(), c.rows.end(), uint8_t{128});
    for (int x = 0; x < width_; ++x) c.columnOf[x] = x / c.hRatio;
  }
  covered_ = {};
  for (;;) {
    CheckScanTables();
    PrepareScan();
    if (!NextScanHeader(DecodeOneScan())) break;
  }
  ConvertRows(target, 0, height_, width_);
  whole_ = std::all_of(covered_.begin(), covered_.begin() + components_, [](bool c) { return c; });
}

int JDecoder::DecodeOneScan() {
  for (int i = 0; i < scanCount_; ++i) comp_[scanComp_[i]].pred = 0;
  in_.StartBits();
  const bool single = scanCount_ == 1;
  const Component& first = comp_[scanComp_[0]];
  // The scan's MCUs: one block of its component over the component's own size, or
  // the frame's MCUs.
  const int64_t cols = single ? CeilDiv(CeilDiv(int64_t{width_} * first.h, hmax_), 8) : CeilDiv(width_, 8 * hmax_);
  const int64_t rows = single ? CeilDiv(CeilDiv(int64_t{height_} * first.v, vmax_), 8) : CeilDiv(height_, 8 * vmax_);
  alignas(32) int32_t block[64] = {};  // all zero between blocks
  int64_t mcuCount = 0;
  for (int64_t my = 0; my < rows; ++my) {
    for (int64_t mx = 0; mx < cols; ++mx, ++mcuCount) {
      if (restartInterval_ > 0 && mcuCount > 0 && mcuCount % restartInterval_ == 0) {
        const int marker = in_.NextScanMarker();
        if (marker < 0xD0 || marker > 0xD7) return marker;
        for (int i = 0; i < scanCount_; ++i) comp_[scanComp_[i]].pred = 0;
      }
      for (int i = 0; i < scanCount_; ++i) {
        Component& c = comp_[scanComp_[i]];
        const int blocksAcross = single ? 1 : c.h;
        const int blocksDown = single ? 1 : c.v;
        for (int by = 0; by < blocksDown; ++by) {
          for (int bx = 0; bx < blocksAcross; ++bx) {
            uint8_t* out = c.rows.data() + (my * blocksDown + by) * 8 * c.rowStride + (mx * blocksAcross + bx) * 8;
            if (!DecodeBlock(c, block)) return in_.NextScanMarker();
            StoreBlock(block, out, c.rowStride);
          }
        }
      }
    }
  }
  for (int i = 0; i < scanCount_; ++i) covered_[static_cast<size_t>(scanComp_[i])] = true;
  return in_.NextScanMarker();
}

bool JDecoder::NextScanHeader(int marker) {
  try {
    for (;;) {
      if (marker < 0 || marker == 0xD9) return false;
      // A restart marker after the scan's last interval is passed over.
      if (marker < 0xD0 || marker > 0xD7) {
        if (AnalyzeMarker(marker >= 0x03 && marker <= 0xBF ? 0xFF : marker) & kFlagSOS) return true;
      }
      marker = NextMarker();
    }
  } catch (const JBufferError&) {
    return false;  // the input ends between the scans: the scans read so far stand
  }
}
