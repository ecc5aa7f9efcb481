// The shown image of a pane: the image the view took from the document, its
// settings, and the rendered display picture. Held by CQelView behind Image().
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/codecs/Dib.h"
#include "image/ImageConvertSettings.h"
#include "platform/gdi/Types.h"
#include "view/DisplayPicture.h"

struct ViewImageState {
  ImageConvertSettings m_ImageSettings;
  ImageConvertSettings m_PrintSettings;      // copy taken for a region print
  uint8_t* m_pImageInfo = nullptr;           // BITMAPINFOHEADER of the shown image
  uint8_t* m_pImageBits = nullptr;
  int m_nImageBitsSize = 0;
  std::array<uint8_t, 2000> m_bmiSource{};   // BITMAPINFO copies
  std::array<uint8_t, 2000> m_bmiDisplay{};
  uintptr_t m_hImageBitmap = 0;              // the display bitmap; 0 none
  int m_nImageWidth = 0;
  int m_nImageHeight = 0;
  int m_nImageOriginX = 0;
  int m_nImageOriginY = 0;
  int m_nCompressDivisor = 1;
  int m_bFitToWindow = 0;                    // in media kinds the repeat flag
  int m_nPictureObjectMode = 0;
  int m_bImageDirty = 0;
  int m_nImageHold = 0;

  std::vector<uint8_t> m_editedImage;    // the view's own image bits, after an edit
  std::shared_ptr<PictureRows> m_sharedImage;  // the document's block the view shows
  BITMAPINFO m_sourceInfo{};             // and its header (m_pImageInfo points here)
  DisplayPicture m_pDisplayBitmap;       // the rendered picture (or its band)
  int m_nPaintWidth = 0;                 // the rendered picture's size and depth
  int m_nPaintHeight = 0;
  int m_nPaintBits = 0;
  int m_nBandIndex = 0;                  // 0..999, +1,000 while the last band shows
  int m_bSourceCut = 0;                  // the shown BMP was cut at the "bmpfile" volume
  std::string m_strCompressedFile;       // the metafile m_nCompressDivisor was set for
  int m_nBandTop = 0;                    // first row (from the top) of the band shown
  COLORREF m_crPixel = 0xFF000000;       // the pixel the read-out stored; top byte 0xFF: none
};
