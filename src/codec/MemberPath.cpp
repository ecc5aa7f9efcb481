#include "codec/MemberPath.h"

#include <algorithm>

#include "base/SjisLeadByte.h"

std::vector<uint8_t> MakeSjisLeadMask(std::string_view text, size_t length) {
  length = std::min(length, text.size());
  std::vector<uint8_t> mask(length, 0);
  for (size_t i = 0; i < length; ++i) {
    if (IsSjisLeadByte(static_cast<uint8_t>(text[i])) && i + 1 < length) {
      mask[i] = mask[i + 1] = 1;
      ++i;
    }
  }
  return mask;
}

namespace {

bool IsSeparatorAt(std::string_view s, const std::vector<uint8_t>& mask, size_t i) {
  return !mask[i] && (s[i] == '/' || s[i] == '\\');
}

}  // namespace

std::optional<std::string> SafeMemberPath(std::string_view name, bool* isFolder) {
  name = name.substr(0, name.find('\0'));
  std::vector<uint8_t> mask = MakeSjisLeadMask(name, name.size());
  *isFolder = !name.empty() && IsSeparatorAt(name, mask, name.size() - 1);
  std::string out;
  std::string_view last;
  size_t start = 0;
  if (name.size() >= 2 && name[1] == ':' && !mask[0]) start = 2;  // a drive letter
  for (size_t i = start; i <= name.size(); ++i) {
    if (i < name.size() && !IsSeparatorAt(name, mask, i)) continue;
    std::string_view part = name.substr(start, i - start);
    start = i + 1;
    if (!part.empty()) last = part;
    if (part.empty() || part == "." || part == "..") continue;
    if (!out.empty()) out += '\\';
    out += part;
  }
  // "a/.." names the folder that holds a, never a file a.
  if (out.empty() || last == "." || last == "..") return std::nullopt;
  return out;
}
