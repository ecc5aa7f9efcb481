// The rendered picture an image view shows. It is held as the DIB the display
// pipeline wrote, or as the view's image itself when nothing had to be rendered
// (shared, not copied), and the pane is painted straight from those rows. A device
// bitmap of it is made only when a caller asks for one (the region editor draws
// into the picture); from then on that bitmap is the picture and the rows are let
// go. Of a tall picture shown in bands it shows the band only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/Alloc.h"
#include "image/codecs/Dib.h"
#include "platform/gdi/Gdi.h"

class DisplayPicture {
 public:
  // The block a rendering writes into, reused by the next one.
  using Rows = PictureRows;

  // Hands the own rows out for a new rendering; the picture stays as it is until
  // Show, ShowOwn or reset, and the rows must come back through one of them (or
  // GiveBack) before it is painted again.
  Rows TakeRows() { return std::move(rows_); }
  void GiveBack(Rows&& rows) { rows_ = std::move(rows); }
  // Shows the rows a rendering wrote, the picture's header at info.
  void ShowOwn(Rows&& rows, size_t size, const BITMAPINFO& info);
  // Shows a block held elsewhere, kept alive by keep.
  void ShowShared(std::shared_ptr<const void> keep, const uint8_t* bits, size_t size, const BITMAPINFO& info);
  // Shows a copy of the picture in own rows; false when they cannot be had.
  bool ShowCopy(const uint8_t* bits, size_t size, const BITMAPINFO& info, AllocHook* hook);
  // Whether bits lie in the block the picture is made from (own or shared).
  bool Holds(const uint8_t* bits) const;
  // Shows the band [top, top + count) rows from the top of the picture at bits (a
  // block the picture holds), whose header is info.
  void SelectBand(const uint8_t* bits, size_t size, const BITMAPINFO& info, int top, int count);
  void reset();

  // The start of the block the picture is made from.
  const uint8_t* Block() const { return block_; }
  explicit operator bool() const { return width_ > 0; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  int Bits() const { return bitmap_ ? bitmap_->sourceBits : info_.bmiHeader.biBitCount; }
  // The device bitmap of the picture, made on the first call. Null when there is no picture.
  plat::Bitmap* get() const;
  plat::Bitmap& operator*() const { return *get(); }
  // The device bitmap an edit writes into: from then on the picture is one of 24
  // bits whose pixels read back as they are, not through the colour table of the
  // depth it was made from (which holds none of the colours an edit brings).
  plat::Bitmap* ForEdit();
  plat::Bitmap* operator->() const { return get(); }

  // Copies width x height pixels from (sx, sy) of the picture to (x, y) of target.
  void PaintTo(plat::Bitmap& target, int x, int y, int width, int height, int sx, int sy) const;
  // The picture as a DIB at the depth it was made from (its colour table with it).
  bool ReadDib(BITMAPINFO& info, std::vector<uint8_t>& bits, AllocHook* hook) const;

 private:
  const uint8_t* BandBits() const;
  size_t BandBytes() const;

  Rows rows_;
  std::shared_ptr<const void> keep_;
  const uint8_t* block_ = nullptr;  // the whole picture's rows (own or shared)
  size_t blockSize_ = 0;
  BITMAPINFO info_{};               // the band's header and colour table
  size_t offset_ = 0;               // where the band's rows start in the block
  int width_ = 0;
  int height_ = 0;
  mutable plat::BitmapPtr bitmap_;
};
