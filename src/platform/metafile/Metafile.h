// Metafiles: our own player of the common records of enhanced metafiles (EMF) and
// Windows metafiles (WMF, with or without the placeable header 0x9AC6CDD7). The
// header gives the picture frame in hundredths of a millimetre and the recording
// device, as an enhanced metafile states them; a WMF is described as its
// conversion to an enhanced one would be: the placeable header's box (in units of
// its "inch") or else the first window extent, on the reference device.
// Playing maps the frame onto a target rectangle and draws the records through
// MetafileCanvas. Every record size, count, offset and object index is checked
// against the bytes and the object table; a record that lies ends the playback.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/gdi/GdiText.h"
#include "platform/gdi/Types.h"

namespace plat {

// The reference device: a 96 dpi screen of 1920 x 1080 pixels.
constexpr int kReferenceWidthPx = 1920;
constexpr int kReferenceHeightPx = 1080;
constexpr int kReferenceWidthMm = 508;
constexpr int kReferenceHeightMm = 286;

struct MetafileHeader {
  bool enhanced = false;
  CRect frame;  // 0.01 mm
  int deviceWidth = 0, deviceHeight = 0;  // pixels of the recording device
  int mmWidth = 0, mmHeight = 0;          // and its size in millimetres
};

// False when the bytes hold no metafile this player reads.
bool ReadMetafileHeader(std::span<const uint8_t> bytes, MetafileHeader& header);

// The largest bitmap a record may draw, in pixels.
constexpr int64_t kMaxMetafileBitmapPixels = int64_t{1} << 26;

// DIB compressions whose rows are a whole JPEG or PNG file.
enum EmbeddedCompression : uint32_t { BI_JPEG = 4, BI_PNG = 5 };

// Decodes such a file into a packed DIB (header, colour table, bottom-up rows) of
// at most kMaxMetafileBitmapPixels; false when it does not decode. The codecs are
// not this layer's: the caller gives them.
using MetafilePictureDecoder =
    std::function<bool(uint32_t compression, std::span<const uint8_t> data, std::vector<uint8_t>& dib)>;

// Plays the records onto target, the frame stretched onto dest. text draws the
// text records (none: text is left out); pictures decodes the JPEG and PNG
// bitmaps (none: they are left out). False when the bytes are no metafile.
bool PlayMetafile(std::span<const uint8_t> bytes, Bitmap& target, const CRect& dest, TextPainter* text,
                  const MetafilePictureDecoder& pictures = {});

}  // namespace plat
