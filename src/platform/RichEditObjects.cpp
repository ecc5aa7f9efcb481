// Picture objects of the rich-edit control: a packed DIB pasted from the clipboard
// becomes one object character whose RTF carries the picture (\dibitmap0 in hex)
// under the class of a static bitmap, as the system's own paste of a bitmap does.
#include <cstdio>

#include "base/ByteCursor.h"
#include "platform/RichEdit.h"

namespace plat {

namespace {

constexpr int kTwipsPerPixel = 15;  // 96 DPI
constexpr char kHex[] = "0123456789abcdef";

}  // namespace

std::string DibPictureObjectRtf(std::string_view packedDib) {
  const ByteCursor header(packedDib);
  const uint32_t headerSize = header.PeekU32LE(0);
  const auto width = static_cast<int32_t>(header.PeekU32LE(4));
  const auto height = static_cast<int32_t>(header.PeekU32LE(8));
  if (packedDib.size() < 40 || headerSize < 40 || headerSize > packedDib.size() || width <= 0 || height == 0) return "";
  const int64_t rows = height < 0 ? -int64_t{height} : height;
  char head[256];
  std::snprintf(head, sizeof head,
                "{\\object\\objemb{\\*\\objclass StaticDib}\\objw%lld\\objh%lld{\\result{\\pict\\dibitmap0\\picw%d"
                "\\pich%lld\\picwgoal%lld\\pichgoal%lld ",
                static_cast<long long>(width) * kTwipsPerPixel, static_cast<long long>(rows) * kTwipsPerPixel, width,
                static_cast<long long>(rows), static_cast<long long>(width) * kTwipsPerPixel,
                static_cast<long long>(rows) * kTwipsPerPixel);
  std::string rtf(head);
  const size_t start = rtf.size();
  rtf.resize(start + packedDib.size() * 2);
  char* out = rtf.data() + start;
  for (const char c : packedDib) {
    const auto byte = static_cast<unsigned char>(c);
    *out++ = kHex[byte >> 4];
    *out++ = kHex[byte & 15];
  }
  rtf += "}}}";
  return rtf;
}

std::string ObjectClassOf(std::string_view objectRtf) {
  constexpr std::string_view kClass = "\\objclass ";
  const size_t at = objectRtf.find(kClass);
  if (at == std::string_view::npos) return "";
  const size_t begin = at + kClass.size();
  const size_t end = objectRtf.find('}', begin);
  return std::string(objectRtf.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin));
}

const std::string* RichEdit::SelectedObject() const {
  if (selMax_ != selMin_ + 1) return nullptr;
  const int byte = ByteFromChar(selMin_);
  if (byte < 0 || static_cast<size_t>(byte) >= text_.size() || text_[static_cast<size_t>(byte)] != kObjectChar) {
    return nullptr;
  }
  const int32_t object = formats_[fmt_[static_cast<size_t>(byte)]].object;
  return object >= 0 && static_cast<size_t>(object) < objects_.size() ? &objects_[static_cast<size_t>(object)] : nullptr;
}

bool RichEdit::SetSelectedObject(std::string rtf) {
  const std::string* object = SelectedObject();
  if (!object) return false;
  objects_[static_cast<size_t>(object - objects_.data())] = std::move(rtf);
  modified_ = true;
  return true;
}

}  // namespace plat
