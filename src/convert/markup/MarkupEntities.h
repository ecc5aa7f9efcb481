// Character entities of HTML and spreadsheet XML: the names the converters know,
// matched by case-insensitive prefix in a fixed order.
#pragma once

#include <string_view>

struct MarkupEntity {
  std::string_view name;   // lower case
  std::string_view ascii;  // the ASCII form
  std::string_view sjis;   // the Shift-JIS form, empty when there is none
};

// The first entity whose name begins `text` (up to 7 bytes after "&"); nullptr
// when none. `withEnsp` is false for spreadsheet XML, which has no "ensp".
const MarkupEntity* FindMarkupEntity(std::string_view text, bool withEnsp);
