// The string table: texts by id, in CP932 at run time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Ids the code names; the others are used by number where the text is cited.
enum : int {
  IDS_ENCRYPTED_DATA = 147,
  IDS_OUT_OF_MEMORY = 152,
  IDS_UNSUPPORTED_FORMAT = 210,
  IDS_OVERWRITE_QUESTION = 218,
  IDS_CANNOT_OPEN = 237,
  IDS_FILE_SIZE_OVER = 238,
  IDS_DATA_OMITTED = 239,
  IDS_OFFICE_FORMAT_UNSUPPORTED = 240,
  IDS_OPEN_WITH_APPLICATION = 241,  // follows a workbook that cannot be shown
  IDS_SHEET_WITHOUT_CELLS = 242,
  IDS_WRITE_PROTECTED_QUESTION = 329,
  IDS_ABORT_QUESTION = 330,
};

// The text of an id in CP932, or "" for an id the table does not hold.
std::string LoadString(int id);
// A failure's text: the text of id, then the place code (" 001") when there is one.
// OutOfMemoryText is string 152 with the code of the place that ran out.
std::string FailureText(int id, const char* place = nullptr);
inline std::string OutOfMemoryText(const char* place) { return FailureText(IDS_OUT_OF_MEMORY, place); }
// The file-size-over message (string 238) with a volume in bytes (in KB below 1 MB).
std::string FileSizeOverText(int64_t volume);
// The text as written in the source (UTF-8), or nullptr.
const char* StringUtf8(int id);
// Every id the table holds, in order.
std::vector<int> StringIds();
