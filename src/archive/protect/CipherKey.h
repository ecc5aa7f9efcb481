// The user's key code and the keyed step that both the file-name cipher and the
// protected documents use. The key code is the PWRD system string from its ninth
// character on; a value shorter than 12 characters, or ending in four blanks, means
// that no key is set.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

struct CipherKey {
  uint8_t a = 0, b = 0, c = 0, d = 0;
  uint8_t e = 255, f = 255, g = 255, h = 255;
};

// The key values of a PWRD value, or nothing when no key is set.
std::optional<CipherKey> CipherKeyFromPwrd(std::string_view pwrd);

class CQelDoc;
struct ArchiveStatus;
// The key of a command: asked for with the key-code dialog when the PWRD value ends
// in four blanks (the program's own key when programKey). No key when none is set
// afterwards; done otherwise, keyAsked when it was asked now.
ArchiveStatus ObtainCipherKey(CQelDoc& doc, bool programKey, std::optional<CipherKey>& key);

// The keyed value k for byte position i: a product chain of the key values with i
// added, taken as a signed remainder after a divisor that cycles with i.
int32_t CipherStep(const CipherKey& key, uint32_t i);
