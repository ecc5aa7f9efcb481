#include "support/MetafileBuilder.h"

namespace metatest {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v & 0xFF));
  out.push_back(static_cast<uint8_t>(v >> 8 & 0xFF));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

EmfBuilder::EmfBuilder(CRect frame, int deviceWidth, int deviceHeight, int mmWidth, int mmHeight, int objects) {
  std::vector<uint8_t>& h = header_;
  Put32(h, 1);
  Put32(h, 88);
  for (const int v : {0, 0, deviceWidth - 1, deviceHeight - 1}) Put32(h, static_cast<uint32_t>(v));
  for (const int v : {frame.left, frame.top, frame.right, frame.bottom}) Put32(h, static_cast<uint32_t>(v));
  Put32(h, 0x464D4520);
  Put32(h, 0x10000);
  Put32(h, 0);  // bytes, filled in Bytes()
  Put32(h, 0);  // records
  Put16(h, static_cast<uint32_t>(objects));
  Put16(h, 0);
  Put32(h, 0);
  Put32(h, 0);
  Put32(h, 0);
  for (const int v : {deviceWidth, deviceHeight, mmWidth, mmHeight}) Put32(h, static_cast<uint32_t>(v));
}

EmfBuilder& EmfBuilder::Record(uint32_t type, std::initializer_list<int32_t> fields) {
  std::vector<uint8_t> body;
  for (const int32_t f : fields) Put32(body, static_cast<uint32_t>(f));
  return Raw(type, body);
}

EmfBuilder& EmfBuilder::Raw(uint32_t type, const std::vector<uint8_t>& body, int64_t size) {
  std::vector<uint8_t> padded = body;
  while (padded.size() % 4 != 0) padded.push_back(0);
  Put32(records_, type);
  Put32(records_, size >= 0 ? static_cast<uint32_t>(size) : static_cast<uint32_t>(8 + padded.size()));
  records_.insert(records_.end(), padded.begin(), padded.end());
  ++count_;
  return *this;
}

EmfBuilder& EmfBuilder::TextW(int x, int y, const std::u16string& text, const std::vector<int32_t>& dx,
                              uint32_t options) {
  std::vector<uint8_t> b;
  for (int i = 0; i < 4; ++i) Put32(b, 0);  // bounds
  Put32(b, 1);                             // graphics mode
  Put32(b, 0);
  Put32(b, 0);  // scales
  Put32(b, static_cast<uint32_t>(x));
  Put32(b, static_cast<uint32_t>(y));
  Put32(b, static_cast<uint32_t>(text.size()));
  const uint32_t offString = 76;
  const uint32_t stringBytes = static_cast<uint32_t>((text.size() * 2 + 3) / 4 * 4);
  Put32(b, offString);
  Put32(b, options);
  for (int i = 0; i < 4; ++i) Put32(b, 0);
  Put32(b, dx.empty() ? 0 : offString + stringBytes);
  for (const char16_t c : text) Put16(b, c);
  while ((b.size() + 8) % 4 != 0) b.push_back(0);
  for (const int32_t d : dx) Put32(b, static_cast<uint32_t>(d));
  return Raw(84, b);
}

EmfBuilder& EmfBuilder::Font(int index, int height, int weight, int escapement, const std::u16string& face) {
  std::vector<uint8_t> b;
  for (const int v : {index, height, 0, escapement, escapement, weight}) Put32(b, static_cast<uint32_t>(v));
  for (int i = 0; i < 8; ++i) b.push_back(0);  // italic .. pitch and family
  for (size_t i = 0; i < 32; ++i) Put16(b, i < face.size() ? face[i] : 0);
  return Raw(82, b);
}

EmfBuilder& EmfBuilder::StretchDib(int x, int y, int cx, int cy, int width, int height, const std::vector<uint8_t>& rgb) {
  const uint32_t stride = static_cast<uint32_t>((width * 3 + 3) / 4 * 4);
  std::vector<uint8_t> b;
  for (int i = 0; i < 4; ++i) Put32(b, 0);
  for (const int v : {x, y, 0, 0, width, height}) Put32(b, static_cast<uint32_t>(v));
  Put32(b, 80);       // offBmi
  Put32(b, 40);       // cbBmi
  Put32(b, 120);      // offBits
  Put32(b, stride * static_cast<uint32_t>(height));
  Put32(b, 0);        // DIB_RGB_COLORS
  Put32(b, 0x00CC0020);
  Put32(b, static_cast<uint32_t>(cx));
  Put32(b, static_cast<uint32_t>(cy));
  for (const uint32_t v : {40u, static_cast<uint32_t>(width), static_cast<uint32_t>(height)}) Put32(b, v);
  Put16(b, 1);
  Put16(b, 24);
  for (int i = 0; i < 6; ++i) Put32(b, 0);
  for (int row = height - 1; row >= 0; --row) {
    for (int col = 0; col < width; ++col) {
      const size_t at = (static_cast<size_t>(row) * static_cast<size_t>(width) + static_cast<size_t>(col)) * 3;
      b.push_back(rgb[at + 2]);
      b.push_back(rgb[at + 1]);
      b.push_back(rgb[at]);
    }
    for (uint32_t pad = static_cast<uint32_t>(width) * 3; pad < stride; ++pad) b.push_back(0);
  }
  return Raw(81, b);
}

EmfBuilder& EmfBuilder::StretchPicture(int x, int y, int cx, int cy, int width, int height, uint32_t compression,
                                       const std::string& file) {
  std::vector<uint8_t> b;
  for (int i = 0; i < 4; ++i) Put32(b, 0);
  for (const int v : {x, y, 0, 0, width, height}) Put32(b, static_cast<uint32_t>(v));
  const auto bytes = static_cast<uint32_t>(file.size());
  for (const uint32_t v : {80u, 40u, 120u, bytes, 0u, 0x00CC0020u}) Put32(b, v);
  Put32(b, static_cast<uint32_t>(cx));
  Put32(b, static_cast<uint32_t>(cy));
  for (const uint32_t v : {40u, static_cast<uint32_t>(width), static_cast<uint32_t>(height)}) Put32(b, v);
  Put16(b, 1);
  Put16(b, 0);  // the depth is the file's
  Put32(b, compression);
  Put32(b, bytes);
  for (int i = 0; i < 4; ++i) Put32(b, 0);
  b.insert(b.end(), file.begin(), file.end());
  return Raw(81, b);
}

std::vector<uint8_t> EmfBuilder::Bytes() const {
  std::vector<uint8_t> out = header_;
  out.insert(out.end(), records_.begin(), records_.end());
  Put32(out, 14);
  Put32(out, 20);
  for (int i = 0; i < 3; ++i) Put32(out, i == 1 ? 16 : 0);
  const uint32_t size = static_cast<uint32_t>(out.size()), count = count_ + 1;
  for (int i = 0; i < 4; ++i) {
    out[48 + static_cast<size_t>(i)] = static_cast<uint8_t>(size >> (8 * i) & 0xFF);
    out[52 + static_cast<size_t>(i)] = static_cast<uint8_t>(count >> (8 * i) & 0xFF);
  }
  return out;
}

WmfBuilder::WmfBuilder(bool placeable, CRect box, int unitsPerInch, int objects) : objects_(objects) {
  if (!placeable) return;
  Put32(placeable_, 0x9AC6CDD7);
  Put16(placeable_, 0);
  for (const int v : {box.left, box.top, box.right, box.bottom}) Put16(placeable_, static_cast<uint32_t>(v) & 0xFFFF);
  Put16(placeable_, static_cast<uint32_t>(unitsPerInch));
  Put32(placeable_, 0);
  Put16(placeable_, 0);  // checksum, not checked by the player
}

WmfBuilder& WmfBuilder::Record(uint16_t function, std::initializer_list<int16_t> words) {
  std::vector<uint8_t> params;
  for (const int16_t w : words) Put16(params, static_cast<uint16_t>(w));
  return Raw(function, params);
}

WmfBuilder& WmfBuilder::Raw(uint16_t function, const std::vector<uint8_t>& params, int64_t sizeWords) {
  std::vector<uint8_t> padded = params;
  if (padded.size() % 2 != 0) padded.push_back(0);
  Put32(records_, sizeWords >= 0 ? static_cast<uint32_t>(sizeWords) : static_cast<uint32_t>(3 + padded.size() / 2));
  Put16(records_, function);
  records_.insert(records_.end(), padded.begin(), padded.end());
  return *this;
}

std::vector<uint8_t> WmfBuilder::Bytes() const {
  std::vector<uint8_t> out = placeable_;
  Put16(out, 1);
  Put16(out, 9);
  Put16(out, 0x300);
  const uint32_t words = static_cast<uint32_t>(9 + records_.size() / 2 + 3);
  Put32(out, words);
  Put16(out, static_cast<uint32_t>(objects_));
  Put32(out, 0);
  Put16(out, 0);
  out.insert(out.end(), records_.begin(), records_.end());
  Put32(out, 3);
  Put16(out, 0);
  return out;
}

std::vector<uint8_t> ClipRegionBody(int mode, const std::vector<CRect>& rects, bool data) {
  std::vector<uint8_t> body;
  const auto bytes = static_cast<uint32_t>(16 * rects.size());
  Put32(body, data ? 32 + bytes : 0);
  Put32(body, static_cast<uint32_t>(mode));
  if (!data) return body;
  for (const uint32_t v : {32u, 1u, static_cast<uint32_t>(rects.size()), bytes, 0u, 0u, 0u, 0u}) Put32(body, v);
  for (const CRect& r : rects) {
    for (const int v : {r.left, r.top, r.right, r.bottom}) Put32(body, static_cast<uint32_t>(v));
  }
  return body;
}

std::string AsString(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

}  // namespace metatest
