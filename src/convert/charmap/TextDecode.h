// Whole texts read in another encoding (UTF-8, EUC-JP, ISO-2022-JP) turned into
// Shift-JIS, one character at a time through the document's character conversion.
#pragma once

#include <string>
#include <string_view>

class CQelDoc;

enum TextForm { kTextSjis = 0, kTextUtf8 = 1, kTextEuc = 2, kTextJis = 3 };

// Converts bytes of the given form; a character that cannot be converted becomes '?'.
std::string DecodeTextToSjis(CQelDoc& doc, std::string_view bytes, int form);

// A name stored as UTF-8 (an archive member's) in Shift-JIS. A byte that starts no
// UTF-8 character becomes '?', so no stray byte passes on as part of a name; with
// keepSjisPairs, a valid Shift-JIS pair there (a name only guessed to be UTF-8)
// stays as it is.
std::string Utf8NameToSjis(CQelDoc& doc, std::string_view name, bool keepSjisPairs);
