#include "archive/codec/LzhHeader.h"

#include "archive/codec/CodecError.h"
#include "archive/codec/Crc16.h"
#include "archive/codec/ZipRecords.h"

namespace codec {
namespace {

std::string SeparatorsFromFF(const uint8_t* p, size_t n) {
  std::string s(reinterpret_cast<const char*>(p), n);
  for (char& c : s)
    if (static_cast<uint8_t>(c) == 0xFF) c = '\\';
  return s;
}

}  // namespace

std::string CLzhHeader::Path() const {
  if (folderName.empty()) return fileName;
  std::string path = folderName;
  if (path.back() != '\\' && !fileName.empty()) path += '\\';
  return path + fileName;
}

int CLzhHeader::Read(std::span<const uint8_t> archive, uint64_t& pos) {
  const uint64_t size = archive.size();
  if (pos >= size || archive[pos] == 0) return -1;
  CODEC_CHECK(size - pos >= 22, err::kLzhHeader);
  const uint8_t* h = &archive[pos];
  level = h[20];
  CODEC_CHECK(level <= 2, err::kLzhLevel);

  uint64_t baseSize = level == 2 ? ReadLE16(h) : uint64_t{h[0]} + 2;
  CODEC_CHECK(baseSize >= (level == 2 ? 26u : 24u) && baseSize <= size - pos, err::kLzhHeader);
  headerSize = static_cast<uint32_t>(baseSize);
  headerChecksum = level == 2 ? 0 : h[1];
  method.assign(reinterpret_cast<const char*>(h + 2), 5);
  packedSize = ReadLE32(h + 7);
  originalSize = ReadLE32(h + 11);
  uint32_t stamp = ReadLE32(h + 15);
  attribute = h[19];
  if (level == 2) {
    unixTime = stamp;
  } else {
    second = 2 * (stamp & 31);
    minute = (stamp >> 5) & 63;
    hour = (stamp >> 11) & 31;
    day = (stamp >> 16) & 31;
    month = (stamp >> 21) & 15;
    year = 1980 + static_cast<int>(stamp >> 25);
    unsigned sum = 0;
    for (uint64_t i = 2; i < baseSize; ++i) sum += h[i];
    checksumOk = static_cast<uint8_t>(sum) == headerChecksum;
  }

  uint64_t nextExt = 0;  // size of the first extended header
  if (level == 2) {
    fileCrc = ReadLE16(h + 21);
    hasFileCrc = true;
    osId = h[23];
    nextExt = ReadLE16(h + 24);
    // LHa of OS-9/68k leaves two bytes out of its level-2 header size.
    if (osId == 'K') {
      CODEC_CHECK(baseSize + 2 <= size - pos, err::kLzhHeader);
      baseSize += 2;
      headerSize = static_cast<uint32_t>(baseSize);
    }
  } else {
    uint64_t nameLen = h[21];
    CODEC_CHECK(22 + nameLen <= baseSize, err::kLzhHeader);
    fileName = SeparatorsFromFF(h + 22, nameLen);
    if (22 + nameLen + 2 <= baseSize) {
      fileCrc = ReadLE16(h + 22 + nameLen);
      hasFileCrc = true;
    }
    if (level == 1) {
      CODEC_CHECK(22 + nameLen + 5 <= baseSize, err::kLzhHeader);
      osId = h[22 + nameLen + 2];
      nextExt = ReadLE16(h + baseSize - 2);
    }
  }

  // Extended headers: type byte, data, size of the next one. Level 1 counts them in
  // the packed size; level 2 counts them in the header size.
  uint64_t p = pos + baseSize;
  uint64_t extBytes = 0;
  const uint64_t limit = level == 2 ? pos + baseSize : size;
  uint64_t end = level == 2 ? pos + baseSize : 0;
  if (level == 2) p = pos + 26;
  int headerCrcAt = -1;
  while (nextExt != 0) {
    CODEC_CHECK(nextExt >= 3 && nextExt <= limit - p, err::kLzhExtHeader);
    const uint8_t* e = &archive[p];
    std::vector<uint8_t> ext(e, e + nextExt - 2);
    switch (e[0]) {
      case 0x00:
        if (nextExt >= 5) headerCrcAt = static_cast<int>(p + 1 - pos);
        break;
      case 0x01:
        fileName = SeparatorsFromFF(e + 1, nextExt - 3);
        break;
      case 0x02:
        folderName = SeparatorsFromFF(e + 1, nextExt - 3);
        break;
      default:
        break;
    }
    extendedHeaders.push_back(std::move(ext));
    extBytes += nextExt;
    p += nextExt;
    nextExt = ReadLE16(e + nextExt - 2);
  }
  if (level != 2) end = p;
  if (level == 1) {
    CODEC_CHECK(extBytes <= packedSize, err::kLzhExtHeader);
    packedSize -= extBytes;
  }
  raw.assign(archive.begin() + static_cast<std::ptrdiff_t>(pos), archive.begin() + static_cast<std::ptrdiff_t>(end));
  if (headerCrcAt >= 0 && static_cast<size_t>(headerCrcAt) + 2 <= raw.size()) {
    uint16_t stored = ReadLE16(&raw[headerCrcAt]);
    std::vector<uint8_t> copy = raw;
    copy[headerCrcAt] = copy[headerCrcAt + 1] = 0;
    CCrc16 crc;
    crc.Update(copy.data(), copy.size());
    headerCrcOk = crc.Value() == stored;
  }
  dataOffset = end;
  CODEC_CHECK(packedSize <= size - dataOffset, err::kLzhHeader);
  pos = dataOffset + packedSize;
  return 0;
}

}  // namespace codec
