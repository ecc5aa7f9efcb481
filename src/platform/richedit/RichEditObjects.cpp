// Picture objects of the rich-edit control: a packed DIB pasted from the clipboard
// becomes one object character whose RTF carries the picture (\dibitmap0 in hex)
// under the class of a static bitmap, as the system's own paste of a bitmap does.
#include <cctype>
#include <cstdio>

#include "base/ByteCursor.h"
#include "platform/richedit/RichEdit.h"

namespace plat {

namespace {

constexpr int kTwipsPerPixel = 15;  // 96 DPI
constexpr char kHex[] = "0123456789abcdef";

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

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

std::string PictureObjectDib(std::string_view objectRtf) {
  constexpr std::string_view kPicture = "\\dibitmap0";
  size_t at = objectRtf.find(kPicture);
  if (at == std::string_view::npos) return "";
  at += kPicture.size();
  // Past the picture's size words to its hex digits, which run to the group's end.
  while (at < objectRtf.size() && (objectRtf[at] == '\\' || objectRtf[at] == ' ')) {
    if (objectRtf[at++] == ' ') continue;
    while (at < objectRtf.size() && (std::isalnum(static_cast<unsigned char>(objectRtf[at])) || objectRtf[at] == '-')) {
      ++at;
    }
  }
  std::string dib;
  int high = -1;
  for (; at < objectRtf.size() && objectRtf[at] != '}'; ++at) {
    const int digit = HexDigit(objectRtf[at]);
    if (digit < 0) continue;
    if (high < 0) {
      high = digit;
    } else {
      dib += static_cast<char>(high * 16 + digit);
      high = -1;
    }
  }
  return dib;
}

const std::string* RichEdit::ObjectAt(int cp) const {
  const int byte = ByteFromChar(cp);
  if (byte < 0 || static_cast<size_t>(byte) >= text_.size() || text_[static_cast<size_t>(byte)] != kObjectChar) {
    return nullptr;
  }
  const int32_t object = formats_[fmt_[static_cast<size_t>(byte)]].object;
  return object >= 0 && static_cast<size_t>(object) < objects_.size() ? &objects_[static_cast<size_t>(object)] : nullptr;
}

const std::string* RichEdit::SelectedObject() const {
  if (selMax_ != selMin_ + 1) return nullptr;
  return ObjectAt(selMin_);
}

bool RichEdit::SetSelectedObject(std::string rtf) {
  const std::string* object = SelectedObject();
  if (!object || Refuses(selMin_, selMax_)) return false;
  objects_[static_cast<size_t>(object - objects_.data())] = std::move(rtf);
  modified_ = true;
  return true;
}

}  // namespace plat
