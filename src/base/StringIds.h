// The string-table ids, one name for each string; the table itself
// (app/StringTable.cpp) gives their texts. Code hands the string-table and
// message-box calls these names only: no bare number and no private constant
// (tests/base/DriftCheckTest.cpp refuses both).
#pragma once

enum : int {
  IDS_EFFECT_BOLD = 117,  // the character effects shown after the face name; 117 + n - 1 for effect n (1 to 6)
  IDS_EFFECT_UNDERLINE = 118,
  IDS_EFFECT_ITALIC = 119,
  IDS_EFFECT_STRIKEOUT = 120,
  IDS_EFFECT_BOLD_UNDERLINE = 121,
  IDS_EFFECT_BOLD_ITALIC = 122,
  IDS_EFFECT_PLAIN = 123,
  IDS_SEARCH_ADDRESS = 126,
  IDS_ENCRYPTED_DATA = 147,
  IDS_DISPLAY_VOLUME_OVER = 150,
  IDS_OUT_OF_MEMORY = 152,
  IDS_NOT_ON_FTP_SITE = 159,
  IDS_ZIP_ERROR = 161,
  IDS_CANNOT_MAKE = 162,
  IDS_REWRITE_QUESTION = 177,
  IDS_CANNOT_USE = 179,  // "%s": a folder or file refused for its owner, a link or who may write it
  IDS_NEEDS_UNLHA = 208,
  IDS_UNSUPPORTED_FORMAT = 210,
  IDS_FTP_FETCHING = 217,
  IDS_OVERWRITE_QUESTION = 218,
  IDS_NET_INITIALIZING = 224,
  IDS_NET_CONNECTING = 225,
  IDS_NET_CANNOT_CONNECT = 226,
  IDS_NET_WAITING = 227,
  IDS_NET_NO_ANSWER = 228,
  IDS_NET_NO_PAGE = 229,
  IDS_NET_READING_FROM = 230,
  IDS_NET_READING_KB = 231,
  IDS_NET_READ_INCOMPLETE = 232,
  IDS_NET_TIME_OVER = 233,
  IDS_NET_NO_DATA = 234,
  IDS_SHOWN_IN_PART = 235,  // a page or a file shown in part
  IDS_NET_SAVE_FILTER = 236,
  IDS_CANNOT_OPEN = 237,
  IDS_FILE_SIZE_OVER = 238,
  IDS_DATA_OMITTED = 239,
  IDS_OFFICE_FORMAT_UNSUPPORTED = 240,
  IDS_OPEN_WITH_APPLICATION = 241,  // follows a workbook that cannot be shown
  IDS_SHEET_WITHOUT_CELLS = 242,
  IDS_TABLE_ITEMS_OVER = 243,  // "%d": the table item count to set, in hundreds
  IDS_COMPOUND_DAMAGED = 244,  // "%s": the part of the compound file that loops
  IDS_NOT_OF_KIND = 245,       // "%s": the kind the file's name gives (Word, PowerPoint, Excel)
  IDS_FILE_DAMAGED = 246,      // "%s": what is damaged (a part, a stream's chain, an archive's header)
  IDS_PDF_BEYOND_LIMITS = 267,
  IDS_WRITE_PROTECTED_QUESTION = 329,
  IDS_ABORT_QUESTION = 330,
  IDS_IMAGE_CANNOT_SHOW = 332,
  IDS_IMAGE_PLUGIN_MISSING = 333,
  IDS_OBJECT_KIND_DIFFERS = 334,
  IDS_CANNOT_SAVE_PACKED = 338,
  IDS_IMAGE_BROKEN = 349,
  IDS_SET_SAVE_REGION = 351,
  IDS_NEEDS_UNLHA_TO_PACK = 355,
  IDS_EDITED_SAVE_FORMAT = 387,  // "%s" twice: the format asked, the format to save in
  IDS_DISK_FULL = 389,  // a file not written for want of room on its disk
  IDS_CHARACTER_CODES_HELP = 33031,
  IDS_IMAGE_VOLUME_OVER = 33218,
  IDS_WRONG_KEY = 33901,
};
