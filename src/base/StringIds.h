// The string-table ids that the code names; the table itself (app/StringTable.h)
// gives their texts. The others are used by number where the text is cited.
#pragma once

enum : int {
  IDS_ENCRYPTED_DATA = 147,
  IDS_DISPLAY_VOLUME_OVER = 150,
  IDS_OUT_OF_MEMORY = 152,
  IDS_CANNOT_USE = 179,  // "%s": a folder or file refused for its owner, a link or who may write it
  IDS_UNSUPPORTED_FORMAT = 210,
  IDS_OVERWRITE_QUESTION = 218,
  IDS_CANNOT_OPEN = 237,
  IDS_FILE_SIZE_OVER = 238,
  IDS_DATA_OMITTED = 239,
  IDS_OFFICE_FORMAT_UNSUPPORTED = 240,
  IDS_OPEN_WITH_APPLICATION = 241,  // follows a workbook that cannot be shown
  IDS_SHEET_WITHOUT_CELLS = 242,
  IDS_COMPOUND_DAMAGED = 244,  // "%s": the part of the compound file that loops
  IDS_NOT_OF_KIND = 245,       // "%s": the kind the file's name gives (Word, PowerPoint, Excel)
  IDS_WRITE_PROTECTED_QUESTION = 329,
  IDS_ABORT_QUESTION = 330,
  IDS_DISK_FULL = 389,  // a file not written for want of room on its disk
};
