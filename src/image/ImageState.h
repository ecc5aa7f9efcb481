// The document's image fields that the load road and the converters use.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "image/ImageConvertSettings.h"
#include "platform/Types.h"

struct ImageState {
  int m_nImageLoadState = 0;  // 0 at the start of a load; 2 once the view shows the new image
  int m_bImageMirror = 0;
  int m_nImageRotation = 0;
  ImageConvertSettings m_ImageSettings;
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
};
