// What the image tests share: the document image as top-down RGB, a peer tool's
// reading of the same file, and the largest difference between the two.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/QelDoc.h"
#include "image/ImageState.h"

namespace imagetest {

struct Rgb {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;  // top row first, R G B
};

// The DIB (any depth the DibConvert widening reads, or 24) as RGB.
Rgb FromDib(const uint8_t* bits, const BITMAPINFO& info);
inline Rgb DocImage(const CQelDoc& doc) { return FromDib(doc.Image().m_pImageBits, doc.Image().m_bmiImage); }

// A netpbm tool's reading of a file: the PNM (P1 to P6) that the shell command
// writes, 16-bit samples cut to their high byte.
Rgb PeerPnm(const std::string& command);
// ImageMagick's reading of a file: its first frame, alpha dropped.
Rgb PeerRgb(const std::string& hostPath);

// The largest channel difference; 256 when the sizes differ.
int MaxDiff(const Rgb& a, const Rgb& b);
// Peak signal-to-noise ratio in dB (99 for equal pictures, 0 when the sizes differ).
double Psnr(const Rgb& a, const Rgb& b);

}  // namespace imagetest
