// The metafile road of the image view: the picture's size from the metafile's
// header, the fit mode's zoom applied to it, and the playback into a 24-bit DIB.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/metafile/Metafile.h"

class CQelDoc;

struct MetafilePictureSize {
  bool ok = false;  // false: the frame or the device is empty, negative or too large
  int width = 0;
  int height = 0;
  int compression = 1;  // 1, 2 or 8
};

// ((frame right - left) x 100 / millimetres x device pixels + 5,000) / 10,000 + 1
// for each side; above 20,000,000 pixels both sides are halved, above 40,000,000
// divided by 8. A frame that is empty or inverted, a device without size, or a
// picture larger than 40,000,000 pixels or 100,000 pixels a side even after the
// division is refused.
MetafilePictureSize MetafileImageSize(const plat::MetafileHeader& header);

// The fit mode's zoom index applied to the picture itself: 6 doubles a picture
// lower than 1,600 rows, 7 multiplies by 4 below 800, 8 by 8 below 400; 4 to 1
// divide by 2, 4, 8 and 16 (at least one pixel).
void ApplyMetafileZoom(int zoom, int& width, int& height);

// Plays the metafile onto white and reads it back into bits, a bottom-up 24-bit
// DIB of width x height; pictures decodes its JPEG and PNG bitmaps. When no bitmap
// of the full height can be made, it is played in bands of half the height (then a
// quarter, ...), each band read back into its own rows, so that every row is drawn.
// False when no band fits.
bool RenderMetafileDib(std::span<const uint8_t> bytes, int width, int height, plat::GdiHost& gdi,
                       std::span<uint8_t> bits, const plat::MetafilePictureDecoder& pictures = {});

// The document's own JPEG and PNG decoders for the bitmaps a metafile carries.
plat::MetafilePictureDecoder MetafilePictures(CQelDoc& doc);

// The metafile at path drawn into the DocImage at the size its header states,
// changed by resize when given (the view's fit zoom); compression gets the divisor
// of a large picture. 0, or -1 (said in a box where the cause is the file's).
int LoadMetafileDocImage(CQelDoc& doc, const std::string& path, const std::function<void(int&, int&)>& resize,
                         int* compression);

constexpr int64_t kMaxMetafilePixels = 40000000;
constexpr int kMaxMetafileSide = 100000;
