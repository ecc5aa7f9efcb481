// ASCII case for words the program reads (scheme names, script words, tags, extensions):
// only 'A'-'Z' and 'a'-'z' change or compare alike; every other byte is itself.
// Text inside is CP932, whose trail bytes 40-7E include the ASCII letters: the
// comparisons are safe where the other side is ASCII after a byte no trail byte can
// be ('.', ':', '/', '<'), but a whole CP932 string given to AsciiLowerCopy changes
// its double-byte characters, so a name the program writes is never folded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

constexpr bool IsAsciiUpper(unsigned char c) { return c >= 'A' && c <= 'Z'; }
constexpr bool IsAsciiLower(unsigned char c) { return c >= 'a' && c <= 'z'; }
constexpr bool IsAsciiLetter(unsigned char c) { return IsAsciiUpper(c) || IsAsciiLower(c); }

constexpr char AsciiLower(char c) { return IsAsciiUpper(static_cast<unsigned char>(c)) ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr uint8_t AsciiLower(uint8_t c) { return IsAsciiUpper(c) ? static_cast<uint8_t>(c - 'A' + 'a') : c; }
constexpr char AsciiUpper(char c) { return IsAsciiLower(static_cast<unsigned char>(c)) ? static_cast<char>(c - 'a' + 'A') : c; }

// Every byte of text with 'A'-'Z' made 'a'-'z'.
inline std::string AsciiLowerCopy(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

// Every byte of text with 'a'-'z' made 'A'-'Z'.
inline std::string AsciiUpperCopy(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiUpper(c);
  return out;
}

// The last n bytes of text (all of it when shorter), lowered: an extension's tail.
inline std::string AsciiLowerTail(std::string_view text, size_t n) {
  return AsciiLowerCopy(text.size() >= n ? text.substr(text.size() - n) : text);
}

inline bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

inline bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

inline bool EndsWithNoCase(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && EqualsNoCase(text.substr(text.size() - tail.size()), tail);
}

// The first place at or after from where text holds what in any case; npos when none.
inline size_t FindNoCase(std::string_view text, std::string_view what, size_t from = 0) {
  for (size_t i = from; i + what.size() <= text.size(); ++i) {
    if (EqualsNoCase(text.substr(i, what.size()), what)) return i;
  }
  return std::string_view::npos;
}
