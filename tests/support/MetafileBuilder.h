// Metafiles made byte by byte for the tests: an EMF of records of 32-bit fields (or
// raw bodies) behind a header whose frame, device and object count the test
// chooses, and a WMF of 16-bit records with or without the placeable header.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/gdi/Types.h"

namespace metatest {

void Put16(std::vector<uint8_t>& out, uint32_t v);
void Put32(std::vector<uint8_t>& out, uint32_t v);

class EmfBuilder {
 public:
  // frame in 0.01 mm; the device's pixels and millimetres; objects in the table.
  EmfBuilder(CRect frame, int deviceWidth, int deviceHeight, int mmWidth, int mmHeight, int objects = 16);
  EmfBuilder& Record(uint32_t type, std::initializer_list<int32_t> fields);
  // A record whose body (after type and size) is given whole, with a size of its
  // own when size is not negative.
  EmfBuilder& Raw(uint32_t type, const std::vector<uint8_t>& body, int64_t size = -1);
  // ExtTextOutW of text at (x, y), with advances when dx is not empty.
  EmfBuilder& TextW(int x, int y, const std::u16string& text, const std::vector<int32_t>& dx = {},
                    uint32_t options = 0);
  // ExtCreateFontIndirectW into slot index: height, weight, escapement (tenths of a degree) and face.
  EmfBuilder& Font(int index, int height, int weight, int escapement, const std::u16string& face);
  // StretchDIBits of a bottom-up 24-bit DIB of width x height (rgb: top row first, R G B).
  EmfBuilder& StretchDib(int x, int y, int cx, int cy, int width, int height, const std::vector<uint8_t>& rgb);
  // StretchDIBits of a JPEG or PNG file (compression 4 or 5) of width x height.
  EmfBuilder& StretchPicture(int x, int y, int cx, int cy, int width, int height, uint32_t compression,
                             const std::string& file);
  std::vector<uint8_t> Bytes() const;

 private:
  std::vector<uint8_t> header_, records_;
  uint32_t count_ = 1;
};

class WmfBuilder {
 public:
  // placeable: the box (logical units) and units per inch come first.
  WmfBuilder(bool placeable, CRect box, int unitsPerInch, int objects = 16);
  WmfBuilder& Record(uint16_t function, std::initializer_list<int16_t> words);
  WmfBuilder& Raw(uint16_t function, const std::vector<uint8_t>& params, int64_t sizeWords = -1);
  std::vector<uint8_t> Bytes() const;

 private:
  std::vector<uint8_t> placeable_, records_;
  int objects_;
};

// The body of an ExtSelectClipRgn record: the mode and the region's rectangles
// (device units); without data, none at all.
std::vector<uint8_t> ClipRegionBody(int mode, const std::vector<CRect>& rects, bool data = true);

// The bytes as a string (for writing files).
std::string AsString(const std::vector<uint8_t>& bytes);

}  // namespace metatest
