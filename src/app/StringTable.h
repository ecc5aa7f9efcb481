// The string table: texts by id, in CP932 at run time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/ConvertStatus.h"
#include "base/StringIds.h"

// The text of an id in CP932, or "" for an id the table does not hold.
std::string LoadString(int id);
// A failure's text: the text of id, then the place code (" 001") when there is one.
// OutOfMemoryText is string 152 with the code of the place that ran out.
std::string FailureText(int id, const char* place = nullptr);
inline std::string OutOfMemoryText(const char* place) { return FailureText(IDS_OUT_OF_MEMORY, place); }
// The file-size-over message (string 238) with a volume in bytes (in KB below 1 MB).
std::string FileSizeOverText(int64_t volume);
// The text of id with its first "%s" replaced by value (as it stands without one).
std::string StringWith(int id, const std::string& value);
// The text as written in the source (UTF-8), or nullptr.
const char* StringUtf8(int id);
// Every id the table holds, in order.
std::vector<int> StringIds();
// A converter's failure as the dump frame writes it: its message, place code and
// detail; a message with a "%s" takes the detail there.
std::string StatusText(const ConvertStatus& status);
