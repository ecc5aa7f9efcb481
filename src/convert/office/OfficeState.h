// The Office fields of the document: the compound-file chain table and
// cursor, what the compound stage of the dump leaves for the roads after it (stream
// slots, directory and mini-stream places, flags), and the text-record result of
// the workbook records; the Office Open XML package being converted. Everything here
// but the package is reset by the next dump call.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/ZeroedVector.h"

class CPackageParts;  // convert/ooxml/PackageParts.h

struct OfficeState {
  // Chain table: entry s is the sector that follows sector s (the FAT, 32-bit).
  static constexpr int kCfbChainEntries = 81920;  // 640 FAT sectors of 128 entries
  ZeroedVector<uint32_t> m_anCfbChain = ZeroedVector<uint32_t>(kCfbChainEntries);

  // CompoundFileCursor.
  int m_nCfbOffset = 0;       // offset of the position inside its sector, 0 to 511
  int m_nCfbSector = 0;       // the sector that holds the position
  int m_nCfbPrevSector = 0;   // the sector left at the last sector step
  int m_nCfbSectorCount = 0;  // m_nRawLen / 512: chain values at or above it lie outside the file
  int m_nCfbEnd = 0;          // 1: a step met a value outside the file; 2: an end or special mark

  // StreamSlotTable: offset in the stream image of 0 main stream, 1 Data, 2 0Table,
  // 3 1Table, 4 Pictures, 5 DocumentSummaryInformation, 6 workbook property window;
  // 0 for a stream that is absent.
  std::array<int, 7> m_anCfbSlots{};
  std::array<int, 7> m_anCfbSlotLength{};  // bytes gathered for each slot
  int m_nCfbDirectoryPos = 0;   // file position of the first directory sector
  int m_nCfbMiniStart = 0;      // the root entry's start sector: the mini-stream's first sector
  int m_nCfbWordMark = 0;       // 60 for a Word file whose sector 0 is a directory sector
  int m_nCfbChainOrigin = 0;    // 0 not built, 1 from the FAT, 2 linear (early workbook)
  int m_bCfbOverflow = 0;       // gathering reached the input volume

  // The workbook records' text-record result (ReadOfficeRecordText).
  std::array<unsigned char, 500> m_abRecordText{};
  int m_nRecordTextCode = 0;
  int m_nRecordTextState = 0;

  // The package being converted (its bytes and member index).
  std::shared_ptr<CPackageParts> m_package;
};
