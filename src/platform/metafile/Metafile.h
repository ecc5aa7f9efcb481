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
#include <span>

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

// Plays the records onto target, the frame stretched onto dest. text draws the
// text records (none: text is left out). False when the bytes are no metafile.
bool PlayMetafile(std::span<const uint8_t> bytes, Bitmap& target, const CRect& dest, TextPainter* text);

}  // namespace plat
