// MP3 tags: the text behind "TAG" in the file's last 2,000 bytes (ID3v1), then the
// text of the ID3v2 frames that follow the 10-byte tag header at the start of the
// file. Frames are walked by their 16-bit sizes within the first 1,000 bytes while
// their identifiers start with two capitals; a frame cut by the end of the bytes
// read is read up to there. A frame with an FF byte (a UTF-16 byte-order mark) is
// read as UTF-16, any other as single bytes; control bytes are dropped.
#include <algorithm>

#include "base/AsciiCase.h"
#include "convert/dump/MediaTags.h"
#include "platform/text/CodePage.h"

namespace {

constexpr int64_t kFramesStart = 10;
constexpr int64_t kFramesEnd = 1000;

// Appends a text byte: control bytes are dropped, and "WM" becomes a line break.
void PutTagByte(std::string& out, uint8_t c) {
  if (c < 0x20) return;
  if (c == 'M' && !out.empty() && out.back() == 'W') {
    out.back() = '\r';
    out.push_back('\n');
    return;
  }
  out.push_back(static_cast<char>(c));
}

}  // namespace

std::string ReadMp3Tags(const ByteCursor& head, const ByteCursor& tail) {
  std::string tags = " ";
  for (int64_t i = 0; i + 3 <= tail.Size(); ++i) {
    if (tail.PeekU8(i) != 'T' || tail.PeekU8(i + 1) != 'A' || tail.PeekU8(i + 2) != 'G') continue;
    for (int64_t j = i + 3; j < tail.Size(); ++j) {
      if (tail.PeekU8(j) > 0x1F) tags.push_back(static_cast<char>(tail.PeekU8(j)));
    }
    break;
  }
  tags += "\r\n";

  const int64_t headLen = head.Size();
  const int64_t end = std::min(headLen, kFramesEnd);
  for (int64_t frame = kFramesStart;
       frame + 10 <= end && IsAsciiUpper(head.PeekU8(frame)) && IsAsciiUpper(head.PeekU8(frame + 1));) {
    const int64_t next = frame + 10 + head.PeekU16BE(frame + 6);
    const int64_t stop = std::min(next, headLen);
    tags += ' ';
    int64_t mark = frame;
    while (mark < stop && head.PeekU8(mark) != 0xFF) ++mark;
    if (mark < stop) {
      tags += '\n';
      for (int64_t p = mark + 2; p + 2 <= stop; p += 2) {
        const auto ch = static_cast<char16_t>(head.PeekU16LE(p));
        char out[2];
        const int n = plat::WideCharToCp932(ch, out);
        if (n == 1 && out[0] == '?' && head.PeekU8(p + 1) == 0 && ch != '?') out[0] = ' ';
        for (int k = 0; k < n; ++k) PutTagByte(tags, static_cast<uint8_t>(out[k]));
      }
    } else {
      for (int64_t p = frame + 4; p < stop; ++p) PutTagByte(tags, head.PeekU8(p));
    }
    frame = next;
  }
  return tags;
}
