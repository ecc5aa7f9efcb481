// The state of one call of the file-to-text dump: what the frame learnt about the
// file (its working kind, how much of it the roads may use, whether it was cut) and
// the work tables that the table-producing roads share. Nothing here outlives the call.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/Alloc.h"
#include "platform/os/Files.h"

struct DumpCall {
  std::string path;       // the path as passed
  std::string ext3;       // its last three characters, as written
  int bTableRules = 0;
  int kind = 0;           // working kind: chooses the roads
  int inputVolume = 0;    // the input volume of this call (bytes of the file it may read)
  int tableRows = 0;      // the table rows of this call (the work tables' and a canvas's rows)
  int charLimit = 0;      // bytes of text per cell or grid row (n_char, 1 to 510)
  int settingRows = 0;    // n_tbl as set (at least 300): the rows the Office and markup readers keep
  int tableRowsR = 0;     // bytes of the second cell table (r_tbl, at least 100)
  bool lengthless = false;  // the file tells no length: it is read to its end as a text
  int64_t fileLength = 0; // the file's whole length
  int64_t readSize = 0;   // bytes of the file the roads may use
  int64_t bufferSize = 0; // size of m_pRawData
  int64_t bytesRead = 0;  // bytes of the file actually in m_pRawData, from offset 0
  bool binary = false;    // five or more NULs in the first 1,000 bytes: 2,000 bytes only
  bool inputCut = false;  // a road stopped before the end of the file: truncation note
  bool roadAbsent = false;  // the file's road is not in this build
  bool declined = false;    // the road did not take the file: the next table's roads run
  plat::File file;

  // Name table: 256 names of 32 characters (the workbook's sheet names).
  std::array<std::array<char, 32>, 256> names{};
  // Picture table, numbered from 1: type code, address, volume.
  std::array<int, 401> pictureType{};
  std::array<int, 401> pictureAddress{};
  std::array<int, 401> pictureVolume{};

  // DumpCellTable: character-major, cellChars buffers of cellRows bytes each.
  ZeroedVector<char> cells;
  int cellChars = 0;
  int cellRows = 0;
  // The second string matrix: cell2Chars buffers of cell2Bytes bytes.
  ZeroedVector<char> cells2;
  int cell2Chars = 0;
  int cell2Bytes = 0;
  // The six work arrays of tableRows entries.
  ZeroedVector<uint8_t> workBytes;
  std::array<ZeroedVector<int>, 5> workInts;

  // Character position charPos of row `row` of DumpCellTable.
  char* Cell(int charPos, int row) { return &cells[static_cast<size_t>(charPos) * cellRows + row]; }
  bool Ends(const char* word) const;  // ext3 equals word exactly
};
