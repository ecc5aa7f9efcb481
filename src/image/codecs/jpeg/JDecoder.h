// JDecoder: the system's own baseline JPEG decoder (sequential Huffman-coded frames,
// SOF0) for one, three or four components with any integral sampling factors, in
// one interleaved scan or in several scans (one per component, or any split of the
// components), 8-bit and 16-bit quantisation tables and restart intervals; application segments
// are passed over by their length, a Photoshop one ("Phot") setting the Adobe flag
// of four-component files. Every other coding process is refused.
//
//   JDecoder d(&allocHook);
//   if (d.SetSource(bytes, length) == 0 && d.DecodeDib(block, spare) == 0) ...
//
// SetSource reads the headers up to the first scan; Decode (three planes R, G, B) or
// DecodeDib (a 24-bit bottom-up DIB block) decodes the scan. Both return 0, -1 out of
// memory (and, for Decode, an index or buffer fault), -2 bad or unsupported data; the
// codec's exceptions never leave the object. A scan that ends early (a truncated file)
// is not an error: what was decoded stays and the rest is zero; in an image of
// several scans the blocks no scan reached are flat (samples 128).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/ByteCursor.h"
#include "image/codecs/jpeg/JHuffTable.h"
#include "image/codecs/jpeg/JInBitStream.h"
#include "base/Alloc.h"
#include "base/ZeroedVector.h"

class JDecoder {
 public:
  explicit JDecoder(AllocHook* hook = nullptr);
  JDecoder(const JDecoder&) = delete;
  JDecoder& operator=(const JDecoder&) = delete;

  // Binds the bytes (which must outlive the decoder) and reads the headers.
  int SetSource(const uint8_t* pData, int64_t nLength);
  // Decodes the scan into three planes of width x height bytes, top row first.
  int Decode();
  // Decodes the scan into bits: rows bottom-up, each pixel B, G, R, each row padded
  // with zeros to a multiple of 4 bytes, followed by `spare` zero bytes. The size of
  // the block (stride x height + spare) must fit in an int. bits is a std::vector or a
  // ZeroedVector (whose fresh storage is zero pages that are not cleared again).
  template <class Rows>
  int DecodeDib(Rows& bits, int64_t spare) {
    return Run(&bits, spare);
  }
  // The planes of Decode (owned by the decoder, null before it ran) and the frame.
  void GetInfo(uint8_t** ppR, uint8_t** ppG, uint8_t** ppB, int* pWidth, int* pHeight, int* pComponents);
  // What the last failure was: the exception class, its text and position.
  const std::string& GetError() const { return error_; }
  // Whether the last decoding reached every block of the image (false for a scan
  // that ended early, whose rest is zero or flat).
  bool Whole() const { return whole_; }

  // One dequantised block (natural order) to 8x8 samples at out, rows `stride` apart.
  static void Idct(const int32_t* in, uint8_t* out, int stride);
  // Whether the AVX2 kernels run (where the processor has them, the default); off
  // takes the portable ones, which give the same bytes.
  void SetWideKernels(bool on);

 private:
  struct Component {
    int id = 0;
    int h = 1;
    int v = 1;
    int tq = 0;
    int hRatio = 1;  // Hmax / h: each sample covers this many pixels across
    int vRatio = 1;
    int dcTable = 0;
    int acTable = 0;
    int pred = 0;
    bool smallQuant = false;  // every AC quantisation value at most kSmallQuant
    const JHuffTable* dcHuff = nullptr;  // the scan's tables (PrepareScan)
    const JHuffTable* acHuff = nullptr;
    const int32_t* quant = nullptr;  // zigzag order
    int64_t rowStride = 0;            // bytes of one sample row of the MCU-row buffer
    std::vector<uint8_t> rows;        // one MCU row of this component's samples
    std::vector<int32_t> columnOf;    // pixel column -> sample column
  };
  // Where decoded pixels go: the R, G and B byte of pixel (0, 0), the distance of
  // pixels and of rows.
  struct Target {
    uint8_t* r;
    uint8_t* g;
    uint8_t* b;
    int64_t rowStep;
    int step;
  };

  void AnalyzeHeader();
  int NextMarker();
  int AnalyzeMarker(int marker);
  // Each marker segment's body is a cursor over its declared length; at is where
  // the body starts in the input.
  void AnalyzeFrame(ByteCursor& seg, int64_t at);
  void AnalyzeDHT(ByteCursor& seg, int64_t at);
  void AnalyzeDQT(ByteCursor& seg);
  void AnalyzeScan(ByteCursor& seg, int64_t at);
  int AnalyzeApp(int marker, const ByteCursor& seg);
  template <class Rows>
  int Run(Rows* dib, int64_t spare);
  // What a later scan's segments may change: kept across the decoding of an image in
  // several scans, so that a second decoding starts from the first scan again.
  struct ScanTables {
    int64_t scanAt;
    int scanCount;
    std::array<int, 4> scanComp;
    std::array<int, 4> dcTable, acTable;
    std::array<std::array<JHuffTable, 4>, 2> huff;
    std::array<std::array<int32_t, 64>, 4> quantZ;
    std::array<bool, 4> quantDefined;
    int restartInterval;
    bool adobe;
  };

  void DoDecode(const Target& target);
  void CheckScanTables() const;
  // An image in several scans (each of one component, or of some of them): every
  // scan into whole-image component planes, then all rows converted at once.
  void DecodeScans(const Target& target);
  // Decodes the scan whose header was read last; returns the marker after its data
  // (-1 at the end of the input).
  int DecodeOneScan();
  // Reads the segments from `marker` up to the next scan header: false at EOI, at
  // the end of the input or when a segment is cut short.
  bool NextScanHeader(int marker);
  ScanTables SaveScanTables() const;
  void RestoreScanTables(const ScanTables& saved);
  // The block's samples to out; the block is all zero again afterwards.
  void StoreBlock(int32_t* block, uint8_t* out, int64_t stride);
  // kSmall: the component's quantisation values are all at most kSmallQuant, so a
  // coefficient of the ready AC table times any of them stays in range unclamped.
  template <bool kSmall>
  bool DecodeBlock(Component& c, int32_t* __restrict block);
  bool DecodeBlock(Component& c, int32_t* __restrict block) {
    return c.smallQuant ? DecodeBlock<true>(c, block) : DecodeBlock<false>(c, block);
  }
  struct SlowState {
    uint64_t buf;
    int n;
    int k;
    bool any;
  };
  int SlowAc(const JHuffTable& ac, const int32_t* q, const uint8_t* order, int32_t* block, SlowState& st);
  static constexpr int kSmallQuant = 16383 / ((1 << (JHuffTable::kLookBits - 1)) - 1);
  // Sets each scan component's tables and smallQuant for the scan.
  void PrepareScan();
  void ConvertRows(const Target& target, int y0, int rows, int width);
  template <class Rows>
  int Fail(Rows* dib, int result);
  void FreePlanes();
  void Note(const char* kind, const std::string& text, int64_t position);

  AllocHook* hook_;
  bool wide_;  // AVX2 kernels
  bool adobe_ = false;
  std::array<std::vector<uint8_t>, 3> rgbPA_;
  JHuffTable huff_[2][4];
  std::array<std::array<int32_t, 64>, 4> quantZ_{};  // quantisation tables in zigzag order
  std::array<bool, 4> quantDefined_{};
  int width_ = 0;
  int height_ = 0;
  int components_ = 0;
  int precision_ = 0;
  std::array<Component, 4> comp_;
  int hmax_ = 1;
  int vmax_ = 1;
  std::array<int, 4> scanComp_{};  // frame component of each scan component
  int scanCount_ = 0;
  int rowsDone_ = 0;  // rows from the top that ConvertRows wrote
  bool whole_ = false;  // the last decoding reached every block
  std::array<bool, 4> covered_{};  // components a scan of several scans decoded whole
  int headerFlags_ = 0;
  bool frameRead_ = false;
  int restartInterval_ = 0;
  int64_t scanAt_ = 0;  // first byte of the entropy-coded data
  JInBitStream in_{nullptr, 0};
  std::string error_;
};
