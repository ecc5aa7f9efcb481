#include "archive/protect/CipherKey.h"

std::optional<CipherKey> CipherKeyFromPwrd(std::string_view pwrd) {
  if (pwrd.size() < 12 || pwrd.substr(pwrd.size() - 4) == "    ") return std::nullopt;
  auto at = [&](size_t n) { return static_cast<uint8_t>(pwrd[n]); };
  CipherKey key;
  key.a = static_cast<uint8_t>(at(8) - '-');
  key.b = static_cast<uint8_t>(at(9) - '+');
  key.c = static_cast<uint8_t>(at(10) - ')');
  key.d = static_cast<uint8_t>(at(11) - '%');
  if (pwrd.size() > 13) {
    key.e = static_cast<uint8_t>(at(12) - '0');
    key.f = static_cast<uint8_t>(at(13) - '0');
  }
  if (pwrd.size() > 15) {
    key.g = static_cast<uint8_t>(at(14) - '0');
    key.h = static_cast<uint8_t>(at(15) - '0');
  }
  return key;
}

int32_t CipherStep(const CipherKey& key, uint32_t i) {
  const uint32_t m = i % 39;
  const int32_t divisor = static_cast<int32_t>(m * (m + 1) + 41);
  uint32_t t = key.d + i;
  if (key.e < 255) {
    const uint32_t first = key.g == 255 ? key.f + i : (key.h + i) * (key.g + i) * (key.f + i);
    t = first * (key.e + i) * (key.d + i);
  }
  t = t * (key.c + i) * (key.b + i) * (key.a + i);
  return static_cast<int32_t>(t) % divisor;
}
