// The forms a whole text is read in (UTF-8, EUC-JP, ISO-2022-JP) before it is turned
// into Shift-JIS one character at a time (CQelDoc::DecodeTextToSjis).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class CQelDoc;

enum TextForm { kTextSjis = 0, kTextUtf8 = 1, kTextEuc = 2, kTextJis = 3 };

// CQelDoc::DecodeTextToSjis that also counts the characters it turned into '?'.
std::string DecodeTextCounting(CQelDoc& doc, std::string_view bytes, int form, size_t& replaced);
