// Numeric character references of Office Open XML text ("&#21335;", "&#x5357;"), as
// writers such as python's put characters of inline strings: decoded into Shift-JIS.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The reference at text[at] ("&#" digits ";" or "&#x" hex digits ";"): its length
// in text, 0 when there is none there. The character is appended to sjis: one byte
// below 0x80, else its CP932 bytes, or '?' where CP932 has no character.
size_t DecodeXmlCharRef(std::string_view text, size_t at, std::string& sjis);
