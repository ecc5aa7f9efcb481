// The converters' fields of the document: the raw bytes of the file being
// converted with their cursor, the one-character conversion scratch, the CID
// tables, the PDF placement settings, the sheet column widths and the Word table
// column layouts.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "base/ZeroedVector.h"

struct ConvertState {
  // The bytes of the file being converted, the shared read cursor and the count.
  uint8_t* m_pRawData = nullptr;
  int64_t m_nRawPos = 0;
  int64_t m_nRawLen = 0;
  ZeroedVector<uint8_t> m_rawStore;  // storage behind m_pRawData

  // ConversionScratch: the Shift-JIS bytes of one converted character or line.
  std::array<char, 5000> m_szSjisScratch{};

  // CidToSjisTables.
  std::array<int, 256> m_anCidRangeStart{};
  std::array<int, 256> m_anCidRangeSjis{};
  std::array<unsigned char, 1024> m_abyCidSymbolTrail{};

  // PDF text placement.
  int m_nPdfWordGap = 5;
  int m_nPdfWordGapLimit = 85;

  // OfficePositionTable of the Word roads: the image position after each paragraph
  // run's mark (0: no entry) and the run's type code.
  ZeroedVector<int> m_anParaEnd = ZeroedVector<int>(16000);
  std::vector<uint8_t> m_abParaType = std::vector<uint8_t>(16000, 9);

  // Column widths of the workbook roads: one 256-byte row per sheet (rows 0 to 256),
  // byte c the width in characters of column c.
  ZeroedVector<std::array<unsigned char, 256>> m_abSheetColumns =
      ZeroedVector<std::array<unsigned char, 256>>(257);

  // Table column layouts of the Word roads: 2,000 rows of 100 columns.
  // (Zero pages: most documents touch a few rows of it.)
  ZeroedVector<int> m_anTableCols = ZeroedVector<int>(2000 * 100);
};
