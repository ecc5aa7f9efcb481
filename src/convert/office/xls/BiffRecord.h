// BiffRecord: the record types of the binary workbook stream (BIFF2 to BIFF8) that the
// roads read, by their published names. A record is a 16-bit type, a 16-bit length and
// its data; code compares a type against these names, never a bare number.
#pragma once

#include <cstdint>

enum BiffRecord : uint16_t {
  kBiffFormula = 0x0006,
  kBiffBof2 = 0x0009,  // BOF of a BIFF2 worksheet
  kBiffEof = 0x000A,
  kBiffFormat2 = 0x001E,  // FORMAT before BIFF8: numbered in stream order
  kBiffDate1904 = 0x0022,
  kBiffFilePass = 0x002F,  // the workbook is encrypted
  kBiffContinue = 0x003C,
  kBiffCodePage = 0x0042,
  kBiffDefColWidth = 0x0055,
  kBiffColInfo = 0x007D,
  kBiffBoundSheet = 0x0085,  // a sheet's name
  kBiffMulRk = 0x00BD,
  kBiffRString = 0x00D6,
  kBiffXf = 0x00E0,
  kBiffMsoDrawingGroup = 0x00EB,
  kBiffMsoDrawing = 0x00EC,
  kBiffSst = 0x00FC,  // the shared strings; a text cell in the older form
  kBiffLabelSst = 0x00FD,
  kBiffTxo = 0x01B6,  // a text object
  kBiffDimensions = 0x0200,
  kBiffNumber = 0x0203,
  kBiffLabel = 0x0204,
  kBiffFormula3 = 0x0206,  // FORMULA of the BIFF3 worksheets
  kBiffString = 0x0207,    // a formula's string result
  kBiffBof3 = 0x0209,
  kBiffXf3 = 0x0243,
  kBiffRk = 0x027E,
  kBiffFormula4 = 0x0406,
  kBiffBof4 = 0x0409,
  kBiffFormat = 0x041E,
  kBiffXf4 = 0x0443,
  kBiffBof = 0x0809,
};

// The substream a BOF record opens (its second field).
enum BiffSubstream : uint16_t {
  kBiffGlobals = 0x0005,
  kBiffWorksheet = 0x0010,
  kBiffChart = 0x0020,
};

// The first two bytes of an embedded compound file (D0 CF) read as a record type: the
// walk stops there.
inline constexpr uint16_t kBiffCompoundMagic = 0xCFD0;

// A full-length continuation record's header as the walk rewrites it (type 0x003C,
// length bytes two blanks: 3C 00 20 20), read little-endian; a drawing group's own
// continuations (type 0x00EB) get the same blanks.
inline constexpr uint32_t kBiffContinuedMark = 0x2020003C;
inline constexpr uint32_t kBiffDrawingContinuedMark = 0x202000EB;
// The length bytes the walk writes into a continuation header.
inline constexpr uint8_t kBiffBlankLength = 0x20;
