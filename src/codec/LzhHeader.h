// LZH member headers of levels 0, 1 and 2: the fixed part, the name (levels 0 and
// 1) and the chain of extended headers (name, folder, header CRC). Level 3 and
// headers, extended headers or member data that pass the end of the archive throw
// their codec codes; a bad header checksum or CRC is recorded, not thrown.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace codec {

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
