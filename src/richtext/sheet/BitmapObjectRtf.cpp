// CQelView::InsertBitmapObjectRtf: a picture as an embedded OLE 1 object of the paint
// class, written into the RTF being assembled: the object head with the cell's size
// times 3/2, the OLE header (version 0x0501, embedded, class "PBrush"), the native
// size, the BMP file in hex (32 bytes a line, the last line padded with "00" to 16
// bytes, the padding counted) and the trailer. Pictures above 150,000 bytes are
// refused; so is one whose hex text would not fit the buffer: the reason is given to
// the caller that asks for it. All sizes are 64-bit
// and include the hex growth, the line ends and the fixed parts.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/AsciiCase.h"
#include "base/ByteCursor.h"
#include "platform/os/Files.h"
#include "richtext/sheet/BitmapObjectRtf.h"
#include "view/QelView.h"

namespace {

constexpr int64_t kMaxPicture = 150000;
constexpr int64_t kBytesPerLine = 32;
constexpr int64_t kPadTo = 16;
constexpr char kTrailer[] = "\r\n01050000\r\n00000000\r\n}}";

}  // namespace

int CQelView::InsertBitmapObjectRtf(const std::string& path, char* rtf, int* pos, int capacity, int width, int height) {
  return sheet::WriteBitmapObjectRtf(m_doc, path, rtf, pos, capacity, width, height, nullptr);
}

int sheet::WriteBitmapObjectRtf(CQelDoc& doc, const std::string& path, char* rtf, int* pos, int capacity, int width,
                                int height, std::string* why) {
  auto refuse = [why](const char* reason) {
    if (why) *why = reason;
    return -1;
  };
  if (!rtf || !pos || *pos < 0 || capacity <= *pos) return refuse("no room in the text");
  if (!plat::Exists(path)) return refuse("the file cannot be opened");
  std::string file = path;
  std::string temporary;
  if (!EndsWithNoCase(path, ".bmp")) {
    temporary = doc.TmpFolder() + "\\PelnorTMP01.bmp";
    if (doc.LoadImageAsDib(path, temporary) < 0) return refuse("it cannot be read as a picture");
    file = temporary;
  }
  auto done = [&](int result, const char* reason = nullptr) {
    if (!temporary.empty()) plat::RemoveFile(temporary);
    return reason ? refuse(reason) : result;
  };
  plat::File in;
  if (!in.Open(file, plat::File::Mode::Read)) return done(-1, "the file cannot be opened");
  int64_t length = in.GetLength();
  if (length < 0 || length > kMaxPicture) return done(-1, "over 150,000 bytes as a bitmap");
  if (length > (int64_t{capacity} - *pos) / 2) return done(-1, "no room in the text");
  std::vector<unsigned char> bytes(static_cast<size_t>(length));
  if (in.Read(bytes.data(), length) != length) return done(-1, "the file cannot be read");
  if (length >= 5) {
    // The BMP header's size field, its low 24 bits.
    const ByteCursor header(std::span<const uint8_t>(bytes.data(), bytes.size()));
    length = std::min<int64_t>(length, header.PeekU32LE(2) & 0xFFFFFF);
  }
  const int64_t padded = (length + kPadTo - 1) / kPadTo * kPadTo;

  char head[256];
  const int headLength = std::snprintf(
      head, sizeof head,
      "\n{\\object\\objemb{\\*\\objclass Paint.Picture}\\objw%d\\objh%d{\\*\\objdata\n01050000\n02000000\n07000000\n"
      "50427275736800\n00000000\n00000000\n%02x%02x%02x%02x\r\n",
      width + width / 2, height + height / 2, static_cast<unsigned>(padded & 0xFF),
      static_cast<unsigned>((padded >> 8) & 0xFF), static_cast<unsigned>((padded >> 16) & 0xFF),
      static_cast<unsigned>((padded >> 24) & 0xFF));
  const int64_t lines = (padded + kBytesPerLine - 1) / kBytesPerLine;
  const int64_t total = headLength + padded * 2 + lines * 2 + static_cast<int64_t>(std::strlen(kTrailer));
  if (*pos + total + 1 > capacity) return done(-1, "no room in the text");

  char* out = rtf + *pos;
  std::memcpy(out, head, static_cast<size_t>(headLength));
  out += headLength;
  static const char kHex[] = "0123456789abcdef";
  for (int64_t i = 0; i < padded; ++i) {
    const unsigned char b = i < length ? bytes[static_cast<size_t>(i)] : 0;
    *out++ = kHex[b >> 4];
    *out++ = kHex[b & 15];
    if (i % kBytesPerLine == kBytesPerLine - 1 || i + 1 == padded) {
      *out++ = '\r';
      *out++ = '\n';
    }
  }
  std::memcpy(out, kTrailer, std::strlen(kTrailer));
  out += std::strlen(kTrailer);
  *out = '\0';
  *pos = static_cast<int>(out - rtf);
  return done(0);
}
