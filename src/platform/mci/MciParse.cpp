#include "platform/mci/MciParse.h"

#include <charconv>

#include "base/AsciiCase.h"

namespace plat {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

MCIERROR ParseMciString(std::string_view text, MciStringCommand& out) {
  out = MciStringCommand{};
  std::vector<std::string> words;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i >= text.size()) break;
    std::string word;
    if (text[i] == '"') {
      const size_t close = text.find('"', i + 1);
      if (close == std::string_view::npos) return MCIERR_NO_CLOSING_QUOTE;
      word.assign(text.substr(i + 1, close - i - 1));
      i = close + 1;
    } else {
      const size_t start = i;
      while (i < text.size() && !IsBlank(text[i])) ++i;
      word.assign(text.substr(start, i - start));
    }
    words.push_back(std::move(word));
  }
  if (words.empty() || words[0].empty()) return MCIERR_MISSING_COMMAND_STRING;
  if (words.size() < 2 || words[1].empty()) return MCIERR_MISSING_DEVICE_NAME;
  out.verb = AsciiLowerCopy(words[0]);
  out.device = words[1];
  for (size_t w = 2; w < words.size(); ++w) out.args.push_back(AsciiLowerCopy(words[w]));
  return 0;
}

std::optional<int64_t> ParseMciInteger(std::string_view word) {
  if (!word.empty() && word[0] == '+') word.remove_prefix(1);
  int32_t value = 0;
  const auto result = std::from_chars(word.data(), word.data() + word.size(), value);
  if (word.empty() || result.ec != std::errc() || result.ptr != word.data() + word.size()) return std::nullopt;
  return value;
}

}  // namespace plat
