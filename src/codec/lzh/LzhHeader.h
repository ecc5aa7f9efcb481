// LZH member headers of levels 0, 1 and 2: the fixed part, the name (levels 0 and
// 1) and the chain of extended headers (name, folder, header CRC). Level 3 and
// headers, extended headers or member data that pass the end of the archive throw
// their codec codes; a bad header checksum or CRC is recorded, not thrown. The fixed
// part of a header of any level and the chain of extended headers are each read by
// one reader, which every reader of LZH headers uses with its own limits.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace codec {

// Where each field of a header's fixed part lies, from the header's first byte.
struct LzhField {
  static constexpr size_t kHeaderSize = 0;  // levels 0 and 1: a byte, the size less 2; level 2: 16 bits
  static constexpr size_t kChecksum = 1;    // levels 0 and 1
  static constexpr size_t kMethod = 2, kMethodLength = 5;
  static constexpr size_t kPacked = 7, kOriginal = 11, kStamp = 15, kAttribute = 19, kLevel = 20;
  static constexpr size_t kNameLength = 21, kName = 22;             // levels 0 and 1
  // Level 1: behind the name its CRC-16, the OS byte and the first extended header's size.
  static constexpr size_t kOsBehindName1 = 2, kFirstExtSizeBehindName1 = 3;
  static constexpr size_t kCrc2 = 21, kOs2 = 23, kFirstExtSize2 = 24;  // level 2
  static constexpr size_t kHeaderSize3 = 24, kFirstExtSize3 = 28;   // level 3: 32-bit sizes
  static constexpr size_t kFixedSize = 22;  // the bytes every level has
};

// The fixed part of a header, its fields as stored.
struct LzhFixedPart {
  int level = 0;
  uint64_t headerSize = 0;  // as the level gives it (0 when level 3's field is cut off)
  uint8_t checksum = 0;     // levels 0 and 1
  uint32_t packedSize = 0;
  uint32_t originalSize = 0;
  uint32_t stamp = 0;       // DOS date and time, or level 2's Unix time
  uint8_t attribute = 0;
  uint8_t nameLength = 0;   // levels 0 and 1
};

enum class LzhFixedResult { kRead, kShort, kLevel };

// Reads the fixed part at the start of bytes: kShort when fewer than 22 bytes,
// kLevel when the level is above highestLevel (the caller's own limit).
LzhFixedResult ReadLzhFixed(std::span<const uint8_t> bytes, int highestLevel, LzhFixedPart& out);

// Every method id begins "-l" ("-lh5-", "-lhd-", "-lz4-"): a walk that lost its
// place finds the next header by it.
bool LzhMethodLeadAt(std::span<const uint8_t> bytes);

// Extended headers: a size field (16 bits; 32 in level 3), a type byte and data, the
// size counting the type byte, the data and the next header's size field; a size of
// 0 ends the chain.
inline constexpr uint8_t kLzhExtCommon = 0x00;  // holds the CRC-16 of the whole header
inline constexpr uint8_t kLzhExtFileName = 0x01;
inline constexpr uint8_t kLzhExtFolder = 0x02;  // 0xFF separates its folders

struct LzhExtendedHeader {
  uint8_t type = 0;
  size_t at = 0;                  // its type byte's place in the bytes walked
  uint64_t dataLength = 0;        // as its size gives it
  std::span<const uint8_t> data;  // as much of it as the bytes hold
};

enum class LzhExtendedFault { kNone, kSizeTooSmall, kPastEnd };

struct LzhExtendedChain {
  std::vector<LzhExtendedHeader> headers;
  uint64_t bytes = 0;  // the sum of their sizes, a cut last one's included
  LzhExtendedFault fault = LzhExtendedFault::kNone;
};

// Walks the chain whose first size field lies at `first` in bytes (the caller's
// bounds: the header, the archive or a window), with size fields of sizeWidth bytes.
// A size too small to hold its type byte and size field ends the walk (kSizeTooSmall),
// as does a header or size field that passes the end of bytes (kPastEnd): such a
// header is listed with the data the bytes hold.
LzhExtendedChain ReadLzhExtended(std::span<const uint8_t> bytes, size_t first, int sizeWidth);

struct CLzhHeader {
  std::vector<uint8_t> raw;  // the header bytes, extended headers included
  uint32_t headerSize = 0;
  uint8_t headerChecksum = 0;
  std::string method;        // "-lh5-", "-lh0-", "-lhd-", ...
  uint64_t packedSize = 0;   // bytes of member data (extended headers not counted)
  uint64_t originalSize = 0;
  int year = 1980, month = 1, day = 1, hour = 0, minute = 0, second = 0;
  int64_t unixTime = -1;     // level 2: the stored time; else -1 (the DOS fields hold it)
  uint8_t attribute = 0;
  int level = 0;
  std::string fileName;      // CP932 bytes; '\' separates folders
  std::string folderName;    // from extended header 2, 0xFF separators turned into '\'
  uint16_t fileCrc = 0;
  bool hasFileCrc = false;
  uint8_t osId = 0;
  std::vector<std::vector<uint8_t>> extendedHeaders;
  bool checksumOk = true;    // levels 0 and 1: the header checksum matched
  bool headerCrcOk = true;   // extended header 0: the header CRC matched
  uint64_t dataOffset = 0;   // first byte of the member data in the archive

  // Reads the header at pos; 0 with the fields filled and pos moved behind the member
  // data, -1 at the end of the archive. Format errors throw their codes.
  int Read(std::span<const uint8_t> archive, uint64_t& pos);
  // Folder and name joined: the member's path with '\' separators.
  std::string Path() const;
};

}  // namespace codec
