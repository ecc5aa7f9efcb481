// The rows of a PNG image: its header's row geometry, the reader that unfilters
// them and gathers the seven interlace passes, and pixels of packed rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/ByteSink.h"

class AllocHook;

struct PngHeader {
  int64_t width = 0, height = 0;
  int depth = 0, colorType = 0, interlace = 0;
  int channels = 0;
  int64_t rowBytes = 0;  // bytes of one stored row, filter byte not counted
  int pixelBytes = 0;    // filter distance: bytes of one pixel, at least 1
};

// Fills channels, rowBytes and pixelBytes; false for a colour type, depth, size or
// interlace method that is not read.
bool ValidPngHeader(PngHeader& h);
// Pixel x of a packed row at 1 to 8 bits, read and written.
int SubBytePixel(const uint8_t* row, int64_t x, int bits);
void PutSubBytePixel(uint8_t* row, int64_t x, int bits, int value);

// The stored rows of a PNG image taken as the inflated data comes, piece by piece:
// each unfiltered (and de-interlaced) as soon as it is whole, only the picture's
// rows from `first` on kept, in `kept` (rowBytes each, rows first to height - 1);
// the rows above are unfiltered through and dropped, so that no block holds more
// than the rows kept. Bytes past the last row are ignored.
class PngRowReader : public codec::CByteSink {
 public:
  PngRowReader(const PngHeader& h, int64_t first, uint8_t* kept) : h_(h), first_(first), kept_(kept) {}
  // The two rows of the filter; false when they cannot be allocated.
  bool Start(AllocHook* hook);
  void Put(const uint8_t* data, size_t n) override;
  // Whether the data reached the picture's last row (of the last pass).
  bool Whole() const { return pass_ >= Passes(); }

 private:
  int Passes() const { return h_.interlace ? 7 : 1; }
  void EnterPass(int pass);  // the first pass from `pass` on that has pixels
  void TakeRow();

  const PngHeader& h_;
  int64_t first_;
  uint8_t* kept_;
  int pass_ = 0;
  int64_t cols_ = 0, rows_ = 0, bytes_ = 0, row_ = 0;  // of the pass: its rows' bytes and the row being filled
  std::vector<uint8_t> cur_, prev_;                    // the filter byte and the row
  int64_t fill_ = 0;
};
