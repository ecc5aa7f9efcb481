// Source display: the page's bytes as they stand, or with vertical rules on, its
// text converted to Shift-JIS and each source line indented by one TAB per open
// table. No link list is written.
#include <algorithm>
#include <cstring>

#include "app/QelDoc.h"
#include "base/AsciiCase.h"
#include "convert/markup/MarkupConverter.h"
#include "platform/text/CodePage.h"

namespace {

bool IsSjisTrail(uint8_t c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

// The bytes after "<" at `at` spell `word` in any case.
bool Spells(const uint8_t* data, int64_t length, int64_t at, std::string_view word) {
  if (at + static_cast<int64_t>(word.size()) > length) return false;
  return EqualsNoCase(std::string_view(reinterpret_cast<const char*>(data) + at, word.size()), word);
}

}  // namespace

void MarkupConverter::CopySource() {
  if (len_ <= 0) return;  // an empty file may have no buffer at all
  if (doc_.m_bVerticalRules == 0) {
    const void* mark = std::memchr(data_, 0xFF, static_cast<size_t>(len_));
    const int64_t end = mark ? static_cast<const uint8_t*>(mark) - data_ : len_;
    const int64_t count = std::min<int64_t>(end, outLimit_);
    Out(std::string_view(reinterpret_cast<const char*>(data_), static_cast<size_t>(std::max<int64_t>(count, 0))));
    pos_ = count;
    return;
  }
  int depth = 0;
  bool pre = false;
  while (pos_ < len_ && doc_.m_nConvPos < outLimit_) {
    const uint8_t c = At(pos_);
    if (c == 0xFF) break;
    if (c >= 0x80) {
      if (convert_) {
        if (mode_ == kModeUnset) mode_ = GuessMode(pos_, true);
        const int taken = ConvertAt(pos_, scratch_);
        if (taken > 0) {
          Out(scratch_);
          pos_ = std::min(pos_ + taken, len_);
          continue;
        }
      }
      const int count = IsSjisLeadByte(c) && pos_ + 1 < len_ && IsSjisTrail(At(pos_ + 1)) ? 2 : 1;
      Out(std::string_view(reinterpret_cast<const char*>(data_ + pos_), static_cast<size_t>(count)));
      pos_ += count;
      continue;
    }
    if (c == '>' || c == '"') mode_ = kModeUnset;
    if (c == '<') {
      if (Spells(data_, len_, pos_ + 1, "tabl")) {
        ++depth;
      } else if (Spells(data_, len_, pos_ + 1, "/tab")) {
        depth = std::max(0, depth - 1);
      } else if (Spells(data_, len_, pos_ + 1, "pre")) {
        pre = true;
      } else if (Spells(data_, len_, pos_ + 1, "/pre")) {
        pre = false;
      }
    }
    Out(std::string_view(reinterpret_cast<const char*>(&c), 1));
    ++pos_;
    if (c == '\n' && !pre && (pos_ >= len_ || At(pos_) != '\t')) {
      for (int i = 0; i < depth && doc_.m_nConvPos < outLimit_; ++i) Out("\t");
    }
  }
}
