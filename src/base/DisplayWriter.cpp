#include "base/DisplayWriter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/SjisLeadByte.h"

int DisplayWriter::Room() const {
  if (!buf_ || cap_ < 1 || pos_ < 0 || pos_ >= cap_) return 0;
  return cap_ - 1 - pos_;
}

void DisplayWriter::MarkCut() {
  cut_ = true;
  if (partial_) *partial_ = 1;
}

void DisplayWriter::Terminate() {
  if (!buf_ || cap_ < 1) return;
  pos_ = std::clamp(pos_, 0, cap_ - 1);
  buf_[pos_] = '\0';
}

void DisplayWriter::TerminateTable() {
  Terminate();
  if (buf_ && pos_ + 1 < cap_) buf_[pos_ + 1] = '\0';
}

void DisplayWriter::SetPos(int pos) {
  if (!buf_ || cap_ < 1) return;
  pos_ = std::clamp(pos, 0, cap_ - 1);
}

int DisplayWriter::Append(std::string_view text) {
  const int room = Room();
  size_t n = text.size();
  if (n > static_cast<size_t>(room)) {
    // Cut before the character that would straddle the end.
    size_t i = 0;
    while (i < static_cast<size_t>(room)) {
      const size_t step = IsSjisLeadByte(static_cast<uint8_t>(text[i])) && i + 1 < text.size() ? 2 : 1;
      if (i + step > static_cast<size_t>(room)) break;
      i += step;
    }
    n = i;
    MarkCut();
  }
  if (n == 0) {
    if (buf_ && room >= 0 && pos_ >= 0 && pos_ < cap_) buf_[pos_] = '\0';
    return 0;
  }
  std::memcpy(buf_ + pos_, text.data(), n);
  pos_ += static_cast<int>(n);
  buf_[pos_] = '\0';
  return static_cast<int>(n);
}

int DisplayWriter::Fill(char c, int n) {
  if (n <= 0) return 0;
  const int room = Room();
  const int k = std::min(n, room);
  if (k < n) MarkCut();
  if (k <= 0) return 0;
  std::memset(buf_ + pos_, c, static_cast<size_t>(k));
  pos_ += k;
  buf_[pos_] = '\0';
  return k;
}

int DisplayWriter::VPrintf(const char* format, va_list args) {
  char small[512];
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (n < 0) return 0;
  if (n < static_cast<int>(sizeof small)) return Append(std::string_view(small, static_cast<size_t>(n)));
  std::string big(static_cast<size_t>(n) + 1, '\0');
  std::vsnprintf(big.data(), big.size(), format, args);
  return Append(std::string_view(big.data(), static_cast<size_t>(n)));
}

int DisplayWriter::Printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int n = VPrintf(format, args);
  va_end(args);
  return n;
}
