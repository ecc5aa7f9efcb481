// The document's image fields: the one decoded image (DocImage) as a Windows DIB,
// its display-conversion block, and what the load road, the editor and the
// converters keep about images.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/codecs/Dib.h"
#include "image/ImageConvertSettings.h"
#include "platform/gdi/Types.h"

struct ImageState {
  // DocImage. The pixel rows live in m_imageStore (shared with the view that shows
  // them); m_pImageBits points into it.
  uint8_t* m_pImageBits = nullptr;
  int m_nImageAlloc = 0;        // bytes of the block; 0 once released
  int m_nImageBitsOwner = 0;    // 0 none, 1 a decoder of this program, 2 a plug-in's block
  BITMAPINFO m_bmiImage{};      // header and colour table
  int m_nImageInfoSize = 0;     // 40 + 4 x colours
  int m_nImageBitsSize = 0;     // bytes of pixel data, at most the "bmpdata" volume
  int m_nImageWidth = 0;
  int m_nImageHeight = 0;
  int m_nImageLoadState = 0;    // 0 may load; 1 loaded, not yet shown; 2 shown
  int m_bImageCut = 0;          // a BMP's rows were cut at the "bmpfile" volume
  int m_bImageShort = 0;        // the file's data ended before the picture's last row
  int64_t m_nImageTooLarge = 0;  // the rows of the picture last refused as too large to hold, bytes
  int64_t m_nRowsKept = 0;       // while the viewer loads: the bytes of rows it shows (bmpdata); 0 holds all
  std::shared_ptr<PictureRows> m_imageStore;

  int m_bImageMirror = 0;
  int m_nImageRotation = 0;
  ImageConvertSettings m_ImageSettings = ImageConvertSettings::ForDocument();
  std::string m_strImageFile;                 // picture file last loaded by the PDF image output
  std::array<std::string, 5> m_astrImageExt;  // user-registered image extensions, kinds 17 to 21
  int m_nTrimTop = 0;
  int m_nTrimLeft = 0;
  int m_nTrimBottom = 0;
  int m_nTrimRight = 0;
  std::vector<unsigned char> m_pBmpFile;  // BMP file image; also the editor's copy buffer
  int m_nBmpFileKind = 0;
  CRect m_rcLastRegion;
  CPoint m_ptLastClick{-1, -1};
  CPoint m_ptLastClick2{-1, -1};
  int m_nMeasureScale = 1;  // the scale denominator of the region's measures
};
