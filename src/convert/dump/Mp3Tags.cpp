// MP3 tags: the text behind "TAG" in the file's last 2,000 bytes, then the text of
// the ID3v2 frames that follow the 10-byte tag header at the start of the file.
#include <algorithm>
#include <cstring>

#include "convert/dump/MediaTags.h"
#include "platform/CodePage.h"

namespace {

constexpr int64_t kFramesStart = 10;
constexpr int64_t kFramesEnd = 1000;

bool IsUpper(uint8_t c) { return c >= 'A' && c <= 'Z'; }

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

std::string ReadMp3Tags(const uint8_t* head, int64_t headLen, const uint8_t* tail, int64_t tailLen) {
  std::string tags = " ";
  for (int64_t i = 0; i + 3 <= tailLen; ++i) {
    if (std::memcmp(tail + i, "TAG", 3) != 0) continue;
    for (int64_t j = i + 3; j < tailLen; ++j) {
      if (tail[j] > 0x1F) tags.push_back(static_cast<char>(tail[j]));
    }
    break;
  }
  tags += "\r\n";

  const int64_t end = std::min(headLen, kFramesEnd);
  for (int64_t frame = kFramesStart; frame + 10 <= end && IsUpper(head[frame]) && IsUpper(head[frame + 1]);) {
    const int64_t next = frame + 10 + (head[frame + 6] << 8 | head[frame + 7]);
    const int64_t stop = std::min(next, headLen);
    tags += ' ';
    const uint8_t* mark = static_cast<const uint8_t*>(std::memchr(head + frame, 0xFF, static_cast<size_t>(stop - frame)));
    if (mark) {
      tags += '\n';
      for (int64_t p = (mark - head) + 2; p + 2 <= stop; p += 2) {
        const auto ch = static_cast<char16_t>(head[p] | head[p + 1] << 8);
        char out[2];
        const int n = plat::WideCharToCp932(ch, out);
        if (n == 1 && out[0] == '?' && head[p + 1] == 0 && ch != '?') out[0] = ' ';
        for (int k = 0; k < n; ++k) PutTagByte(tags, static_cast<uint8_t>(out[k]));
      }
    } else {
      for (int64_t p = frame + 4; p < stop; ++p) PutTagByte(tags, head[p]);
    }
    frame = next;
  }
  return tags;
}
