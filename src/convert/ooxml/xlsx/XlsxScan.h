// The searches of the workbook reader on a part's Shift-JIS text: tags with any
// namespace prefix, attribute values and element numbers, and text with its
// entities decoded. Every search is bounded by the part (or by the end given).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace xlsx {

using View = std::string_view;

// The value of attribute name (given as `name="`) inside the element that starts at
// `at` (up to its '>'); empty when absent.
View Attr(View part, size_t at, View name);

// The leading decimal number of v (an optional '-', capped at INT32_MAX);
// fallback when v holds no digit there.
int ToInt(View v, int fallback = 0);

// Tag test at `at`: '<', an optional namespace prefix ("x:"), then name (a leading
// '/' for a closing tag) followed by a blank, '>' or '/' (so "c" is not "col").
bool TagAt(View part, size_t at, View name);

// The first tag `name` at or after from and before end; npos when there is none.
size_t FindTag(View part, size_t from, View name, size_t end = View::npos);

// The number inside the first element `name` between from and end (`<xdr:col>3<`
// gives 3); fallback when there is none.
int ElementInt(View part, size_t from, size_t end, View name, int fallback = 0);

// Appends XML text with the five entities and numeric references decoded; line ends
// become `lineEnd`, other control bytes a blank. Stops at `limit` bytes, never inside
// a double-byte character.
void AppendText(View text, std::string& out, size_t limit, char lineEnd);

}  // namespace xlsx
