// Trimming by file-name markers: during a list macro or slide show the load road
// sets four margins in units of 48 pixels, and the loaded image is cut down to the
// rectangle inside them, its kept rows moved to the start of the block.
#include <cstring>

#include "app/QelDoc.h"
#include "image/ImageState.h"

void CQelDoc::TrimImage() {
  if (m_nQuietState <= 0 || !Image().m_pImageBits) return;
  if (Image().m_nTrimTop <= 0 && Image().m_nTrimLeft <= 0 && Image().m_nTrimBottom <= 0 && Image().m_nTrimRight <= 0) return;
  BITMAPINFOHEADER& h = Image().m_bmiImage.bmiHeader;
  const int64_t top = 48 * int64_t{std::max(Image().m_nTrimTop, 0)};
  const int64_t bottom = 48 * int64_t{std::max(Image().m_nTrimBottom, 0)};
  const int64_t left = 48 * int64_t{std::max(Image().m_nTrimLeft, 0)};
  const int64_t right = 48 * int64_t{std::max(Image().m_nTrimRight, 0)};
  const int64_t width = h.biWidth - left - right;
  const int64_t height = h.biHeight - top - bottom;
  if (width <= 0 || height <= 0) return;  // margins that leave nothing keep the whole image
  const int64_t oldStride = DibStride(h.biWidth, h.biBitCount);
  const int64_t newStride = DibStride(width, h.biBitCount);
  const int64_t skip = left * h.biBitCount / 8;  // 48 pixels are whole bytes at every depth
  const int64_t copy = (width * h.biBitCount + 7) / 8;
  for (int64_t row = 0; row < height; ++row) {
    const int64_t from = (row + bottom) * oldStride + skip;
    if (from + copy > Image().m_nImageAlloc) break;
    std::memmove(Image().m_pImageBits + row * newStride, Image().m_pImageBits + from, static_cast<size_t>(copy));
  }
  h.biWidth = static_cast<int32_t>(width);
  h.biHeight = static_cast<int32_t>(height);
  h.biSizeImage = static_cast<uint32_t>(newStride * height);
}
