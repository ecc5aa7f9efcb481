#include "codec/lzh/LzhHeader.h"

#include "codec/CodecError.h"
#include "codec/checksums/Crc16.h"
#include "codec/zip/ZipRecords.h"
#include "base/ByteCursor.h"

namespace codec {
namespace {

// The bytes of a name, with FF (the LZH path separator) as '\\'.
std::string SeparatorsFromFF(std::span<const uint8_t> bytes) {
  std::string s(bytes.begin(), bytes.end());
  for (char& c : s)
    if (static_cast<uint8_t>(c) == 0xFF) c = '\\';
  return s;
}

}  // namespace

LzhFixedResult ReadLzhFixed(std::span<const uint8_t> bytes, int highestLevel, LzhFixedPart& out) {
  if (bytes.size() < LzhField::kFixedSize) return LzhFixedResult::kShort;
  const ByteCursor h(bytes);
  out.level = h.PeekU8(LzhField::kLevel);
  if (out.level > highestLevel) return LzhFixedResult::kLevel;
  switch (out.level) {
    case 2:
      out.headerSize = h.PeekU16LE(LzhField::kHeaderSize);
      break;
    case 3:
      out.headerSize = h.PeekU32LE(LzhField::kHeaderSize3);
      break;
    default:
      out.headerSize = uint64_t{h.PeekU8(LzhField::kHeaderSize)} + 2;
      break;
  }
  out.checksum = out.level <= 1 ? h.PeekU8(LzhField::kChecksum) : 0;
  out.packedSize = h.PeekU32LE(LzhField::kPacked);
  out.originalSize = h.PeekU32LE(LzhField::kOriginal);
  out.stamp = h.PeekU32LE(LzhField::kStamp);
  out.attribute = h.PeekU8(LzhField::kAttribute);
  out.nameLength = out.level <= 1 ? h.PeekU8(LzhField::kNameLength) : 0;
  return LzhFixedResult::kRead;
}

std::string CLzhHeader::Path() const {
  if (folderName.empty()) return fileName;
  std::string path = folderName;
  if (path.back() != '\\' && !fileName.empty()) path += '\\';
  return path + fileName;
}

int CLzhHeader::Read(std::span<const uint8_t> archive, uint64_t& pos) {
  const uint64_t size = archive.size();
  if (pos >= size || archive[pos] == 0) return -1;
  const ByteCursor in(archive);
  const ByteCursor h = in.Window(static_cast<int64_t>(pos), static_cast<int64_t>(size - pos));
  LzhFixedPart fixed;
  const LzhFixedResult read = ReadLzhFixed(archive.subspan(static_cast<size_t>(pos)), 2, fixed);
  CODEC_CHECK(read != LzhFixedResult::kShort, err::kLzhHeader);
  CODEC_CHECK(read != LzhFixedResult::kLevel, err::kLzhLevel);
  level = fixed.level;

  uint64_t baseSize = fixed.headerSize;
  CODEC_CHECK(baseSize >= (level == 2 ? 26u : 24u) && baseSize <= size - pos, err::kLzhHeader);
  headerSize = static_cast<uint32_t>(baseSize);
  headerChecksum = fixed.checksum;
  const std::span<const uint8_t> methodBytes = h.PeekBytes(LzhField::kMethod, LzhField::kMethodLength);
  method.assign(methodBytes.begin(), methodBytes.end());
  packedSize = fixed.packedSize;
  originalSize = fixed.originalSize;
  uint32_t stamp = fixed.stamp;
  attribute = fixed.attribute;
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
    for (uint64_t i = 2; i < baseSize; ++i) sum += h.PeekU8(i);
    checksumOk = static_cast<uint8_t>(sum) == headerChecksum;
  }

  uint64_t nextExt = 0;  // size of the first extended header
  if (level == 2) {
    fileCrc = h.PeekU16LE(LzhField::kCrc2);
    hasFileCrc = true;
    osId = h.PeekU8(LzhField::kOs2);
    nextExt = h.PeekU16LE(LzhField::kFirstExtSize2);
    // LHa of OS-9/68k leaves two bytes out of its level-2 header size.
    if (osId == 'K') {
      CODEC_CHECK(baseSize + 2 <= size - pos, err::kLzhHeader);
      baseSize += 2;
      headerSize = static_cast<uint32_t>(baseSize);
    }
  } else {
    const uint64_t nameEnd = LzhField::kName + fixed.nameLength;
    CODEC_CHECK(nameEnd <= baseSize, err::kLzhHeader);
    fileName = SeparatorsFromFF(h.PeekBytes(LzhField::kName, fixed.nameLength));
    if (nameEnd + 2 <= baseSize) {
      fileCrc = h.PeekU16LE(static_cast<int64_t>(nameEnd));
      hasFileCrc = true;
    }
    if (level == 1) {
      CODEC_CHECK(nameEnd + 5 <= baseSize, err::kLzhHeader);
      osId = h.PeekU8(static_cast<int64_t>(nameEnd + 2));
      nextExt = h.PeekU16LE(baseSize - 2);
    }
  }

  // Extended headers: type byte, data, size of the next one. Level 1 counts them in
  // the packed size; level 2 counts them in the header size.
  uint64_t p = pos + baseSize;
  uint64_t extBytes = 0;
  const uint64_t limit = level == 2 ? pos + baseSize : size;
  uint64_t end = level == 2 ? pos + baseSize : 0;
  if (level == 2) p = pos + LzhField::kFirstExtSize2 + 2;
  int headerCrcAt = -1;
  while (nextExt != 0) {
    CODEC_CHECK(nextExt >= 3 && nextExt <= limit - p, err::kLzhExtHeader);
    const std::span<const uint8_t> e = archive.subspan(static_cast<size_t>(p), static_cast<size_t>(nextExt - 2));
    std::vector<uint8_t> ext(e.begin(), e.end());
    switch (e[0]) {
      case 0x00:
        if (nextExt >= 5) headerCrcAt = static_cast<int>(p + 1 - pos);
        break;
      case 0x01:
        fileName = SeparatorsFromFF(e.subspan(1));
        break;
      case 0x02:
        folderName = SeparatorsFromFF(e.subspan(1));
        break;
      default:
        break;
    }
    extendedHeaders.push_back(std::move(ext));
    extBytes += nextExt;
    p += nextExt;
    nextExt = in.PeekU16LE(static_cast<int64_t>(p - 2));
  }
  if (level != 2) end = p;
  if (level == 1) {
    CODEC_CHECK(extBytes <= packedSize, err::kLzhExtHeader);
    packedSize -= extBytes;
  }
  raw.assign(archive.begin() + static_cast<std::ptrdiff_t>(pos), archive.begin() + static_cast<std::ptrdiff_t>(end));
  if (headerCrcAt >= 0 && static_cast<size_t>(headerCrcAt) + 2 <= raw.size()) {
    uint16_t stored = ByteCursor(raw).PeekU16LE(headerCrcAt);
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
