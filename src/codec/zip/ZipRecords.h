// ZIP records (PKWARE APPNOTE): the member record shared by reader and writer, the
// DOS date and time, the one parser of the fixed part of the local and the central
// header (every reader of a header goes through it), and the little-endian
// serialisation of the local header, the central directory header and the end record.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/ByteOrder.h"

namespace codec {

inline constexpr uint32_t kLocalSignature = 0x04034b50;
inline constexpr uint32_t kCentralSignature = 0x02014b50;
inline constexpr uint32_t kEndSignature = 0x06054b50;
inline constexpr uint32_t kZip64EndSignature = 0x06064b50;
inline constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
inline constexpr uint32_t kDescriptorSignature = 0x08074b50;
// "PK00": the marker in front of the first local header of a one-part spanned archive.
inline constexpr uint32_t kSpannedMarker = 0x30304b50;
// The first bytes of an archive that starts with a local header, as a file's kind is
// told by them.
inline constexpr std::string_view kLocalMagic{"PK\x03\x04", 4};

inline constexpr uint16_t kFlagEncrypted = 1 << 0;
inline constexpr uint16_t kFlagDescriptor = 1 << 3;
inline constexpr uint16_t kFlagUtf8 = 1 << 11;

struct CZipHeader {
  uint32_t signature = kLocalSignature;
  uint16_t versionMadeBy = 20;
  uint16_t versionNeeded = 20;
  uint16_t flags = 0;
  uint16_t method = 8;
  uint64_t compressedSize = 0;
  uint64_t uncompressedSize = 0;
  int year = 1980, month = 1, day = 1, hour = 0, minute = 0, second = 0;
  uint32_t crc32 = 0;
  std::string name;
  std::vector<uint8_t> extra;
  uint32_t externalAttributes = 0;  // central header: DOS attribute byte in the low byte
  uint64_t localOffset = 0;         // central header: where the local header starts

  // Decodes the DOS time and date fields.
  void SetDosDateTime(uint16_t dosTime, uint16_t dosDate);
  // The DOS time and date of the record's fields; years before 1980 give 1980-01-01
  // 00:00:00, years after 2107 give 2107-12-31 23:59:58.
  uint16_t DosTime() const;
  uint16_t DosDate() const;
};

// Where each field of the fixed part of a header lies, from the signature on.
struct LocalField {
  static constexpr size_t kVersionNeeded = 4, kFlags = 6, kMethod = 8, kTime = 10, kDate = 12, kCrc = 14,
                          kCompressed = 18, kUncompressed = 22, kNameLength = 26, kExtraLength = 28;
  static constexpr size_t kSize = 30;  // the name follows, then the extra field
};
struct CentralField {
  static constexpr size_t kVersionMadeBy = 4, kVersionNeeded = 6, kFlags = 8, kMethod = 10, kTime = 12, kDate = 14,
                          kCrc = 16, kCompressed = 20, kUncompressed = 24, kNameLength = 28, kExtraLength = 30,
                          kCommentLength = 32, kExternalAttributes = 38, kLocalOffset = 42;
  static constexpr size_t kSize = 46;  // the name follows, then the extra field and the comment
};

// The fixed part of a header: the record with its sizes as stored (0xFFFFFFFF where
// a Zip64 field holds them; name and extra field left empty), the raw DOS time and
// date beside their decoded fields, and the lengths of what follows.
struct ZipFixedPart {
  CZipHeader header;
  uint16_t dosTime = 0, dosDate = 0;
  uint16_t nameLength = 0, extraLength = 0, commentLength = 0;
};

// Reads the fixed part at the start of bytes. The signature is recorded, not checked
// (the caller decides what a wrong one means); false when bytes are too few.
bool ReadLocalFixed(std::span<const uint8_t> bytes, ZipFixedPart& out);
bool ReadCentralFixed(std::span<const uint8_t> bytes, ZipFixedPart& out);

// Record serialisation. Sizes and offsets must be below 4 GiB (the writer refuses
// larger members before it gets here).
void AppendLocalHeader(std::vector<uint8_t>& out, const CZipHeader& h);
void AppendCentralHeader(std::vector<uint8_t>& out, const CZipHeader& h);
void AppendEndRecord(std::vector<uint8_t>& out, uint32_t entries, uint32_t directorySize, uint32_t directoryOffset);

}  // namespace codec
