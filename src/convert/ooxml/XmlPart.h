// The text helpers of the Office Open XML converters: a part's bytes turned into
// Shift-JIS text, and the searches that read attribute values from that text
// without parsing it into a tree. The XML markup is ASCII and survives the
// conversion byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Converts a part's bytes to Shift-JIS into out (room for n bytes: the text never
// grows, and out may be in itself: no byte is written before it is read) and
// returns the bytes written. UTF-8 unless an XML declaration in the first
// 79 bytes names Shift_JIS, then the bytes pass through. Bad UTF-8 (a stray
// continuation byte, an overlong form, a surrogate, a cut sequence) becomes one '?'
// per bad sequence and never takes a following ASCII byte with it; a character
// beyond 16 bits becomes one '?'; byte-order marks are dropped; NUL becomes '?'.
size_t XmlBytesToSjis(const uint8_t* in, size_t n, char* out);

// The modes of XmlFindInElement: what it reads behind the pattern. kXmlAfterElement
// added to a mode first skips to the end of the current element, kXmlPastTag added
// lets the search run past the current tag. XlsxParseToken reads the first three.
enum XmlFindMode : int {
  kXmlNumber = 0,          // a signed number (a length in inches becomes points)
  kXmlColumn = 1,          // column letters
  kXmlFormatClass = 2,     // the number-format class of a format code
  kXmlMoveTo = 7,          // moves *pos to the value (result 1)
  kXmlPresent = 8,         // only tells it is there (result 1)
  kXmlSkipElement = 9,     // only skips to the end of the current element
  kXmlAfterElement = 10,
  kXmlPastTag = 20,
};

// Searches text from *pos for pattern and, by mode (XmlFindMode), reads the value
// behind it. The search covers at most 1,500 characters and never passes the end
// of text; 0 when nothing is found.
int XmlFindInElement(std::string_view pattern, std::string_view text, int* pos, int mode);

// Reads one token at *pos and moves past it: kXmlNumber a number, kXmlColumn column
// letters, kXmlFormatClass the grouping and decimals of a number-format code. Any
// other mode: 0.
int XlsxParseToken(std::string_view text, int* pos, int mode);
