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
#include "image/jpeg/JDecoder.h"

namespace {

constexpr int kFlagSOS = 16;

int64_t CeilDiv(int64_t a, int64_t b) { return (a + b - 1) / b; }

}  // namespace

JDecoder::ScanTables JDecoder::SaveScanTables() const {
  ScanTables t{};
  t.scanAt = mScanAt;
  t.scanCount = mScanCount;
  t.scanComp = mScanComp;
  for (int i = 0; i < 4; ++i) {
    t.dcTable[i] = mComp[i].dcTable;
    t.acTable[i] = mComp[i].acTable;
  }
  for (int c = 0; c < 2; ++c) std::copy(std::begin(mHuff[c]), std::end(mHuff[c]), t.huff[c].begin());
  t.quantZ = mQuantZ;
  t.quantDefined = mQuantDefined;
  t.restartInterval = mRestartInterval;
  t.adobe = mAdobe;
  return t;
}

void JDecoder::RestoreScanTables(const ScanTables& t) {
  mScanAt = t.scanAt;
  mScanCount = t.scanCount;
  mScanComp = t.scanComp;
  for (int i = 0; i < 4; ++i) {
    mComp[i].dcTable = t.dcTable[i];
    mComp[i].acTable = t.acTable[i];
  }
  for (int c = 0; c < 2; ++c) std::copy(t.huff[c].begin(), t.huff[c].end(), std::begin(mHuff[c]));
  mQuantZ = t.quantZ;
  mQuantDefined = t.quantDefined;
  mRestartInterval = t.restartInterval;
  mAdobe = t.adobe;
}

void JDecoder::DecodeScans(const Target& target) {
  // The segments of later scans change the tables; the first scan's come back after.
  struct Restore {
    JDecoder& d;
    ScanTables saved;
    ~Restore() { d.RestoreScanTables(saved); }
  } restore{*this, SaveScanTables()};

  const int mcuCols = static_cast<int>(CeilDiv(mWidth, 8 * mHmax));
  const int mcuRows = static_cast<int>(CeilDiv(mHeight, 8 * mVmax));
  static const char* const kUnitNames[] = {"Disconvert unit1", "Disconvert unit2", "Disconvert unit3",
                                           "Disconvert unit4"};
  for (int i = 0; i < mComponents; ++i) {
    Component& c = mComp[i];
    c.rowStride = int64_t{mcuCols} * c.h * 8;
    const int64_t planeRows = int64_t{mcuRows} * c.v * 8;
    if (!TryAllocate(c.rows, c.rowStride, planeRows, 0, mHook) || !TryAllocate(c.columnOf, mWidth, 1, 0, mHook))
      throw JMemoryError(c.rowStride * planeRows, kUnitNames[i]);
    std::fill(c.rows.begin(), c.rows.end(), uint8_t{128});
    for (int x = 0; x < mWidth; ++x) c.columnOf[x] = x / c.hRatio;
  }
  for (;;) {
    CheckScanTables();
    PrepareScan();
    if (!NextScanHeader(DecodeOneScan())) break;
  }
  ConvertRows(target, 0, mHeight, mWidth);
}

int JDecoder::DecodeOneScan() {
  for (int i = 0; i < mScanCount; ++i) mComp[mScanComp[i]].pred = 0;
  mIn.StartBits();
  const bool single = mScanCount == 1;
  const Component& first = mComp[mScanComp[0]];
  // The scan's MCUs: one block of its component over the component's own size, or
  // the frame's MCUs.
  const int64_t cols = single ? CeilDiv(CeilDiv(int64_t{mWidth} * first.h, mHmax), 8) : CeilDiv(mWidth, 8 * mHmax);
  const int64_t rows = single ? CeilDiv(CeilDiv(int64_t{mHeight} * first.v, mVmax), 8) : CeilDiv(mHeight, 8 * mVmax);
  alignas(32) int32_t block[64] = {};  // all zero between blocks
  int64_t mcuCount = 0;
  for (int64_t my = 0; my < rows; ++my) {
    for (int64_t mx = 0; mx < cols; ++mx, ++mcuCount) {
      if (mRestartInterval > 0 && mcuCount > 0 && mcuCount % mRestartInterval == 0) {
        const int marker = mIn.NextScanMarker();
        if (marker < 0xD0 || marker > 0xD7) return marker;
        for (int i = 0; i < mScanCount; ++i) mComp[mScanComp[i]].pred = 0;
      }
      for (int i = 0; i < mScanCount; ++i) {
        Component& c = mComp[mScanComp[i]];
        const int blocksAcross = single ? 1 : c.h;
        const int blocksDown = single ? 1 : c.v;
        for (int by = 0; by < blocksDown; ++by) {
          for (int bx = 0; bx < blocksAcross; ++bx) {
            uint8_t* out = c.rows.data() + (my * blocksDown + by) * 8 * c.rowStride + (mx * blocksAcross + bx) * 8;
            if (!DecodeBlock(c, block)) return mIn.NextScanMarker();
            StoreBlock(block, out, c.rowStride);
          }
        }
      }
    }
  }
  return mIn.NextScanMarker();
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
