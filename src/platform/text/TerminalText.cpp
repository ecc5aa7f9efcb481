#include "platform/text/TerminalText.h"

#include <cstdint>
#include <cstdio>

namespace plat {

std::string VisibleControls(std::string_view text, bool utf8) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<uint8_t>(text[i]);
    const bool lineEnd = b == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
    if (b == '\t' || b == '\n' || lineEnd) {
      out += static_cast<char>(b);
    } else if (b < 0x20 || b == 0x7F) {
      out += '^';
      out += static_cast<char>(b ^ 0x40);
    } else if (utf8 && b == 0xC2 && i + 1 < text.size() && static_cast<uint8_t>(text[i + 1]) <= 0x9F &&
               static_cast<uint8_t>(text[i + 1]) >= 0x80) {
      char code[16];
      std::snprintf(code, sizeof code, "<U+%04X>", static_cast<unsigned>(static_cast<uint8_t>(text[++i])));
      out += code;
    } else {
      out += static_cast<char>(b);
    }
  }
  return out;
}

}  // namespace plat
