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

// What a header's extended headers gave besides its fields: the place of the header
// CRC (-1: none) and the bytes they take.
struct ExtendedRead {
  int headerCrcAt = -1;
  uint64_t bytes = 0;
};

// Reads the chain whose first size field is at `first` in walked (from the header's
// start to the chain's bound) into the header's name, folder and extended headers.
ExtendedRead ApplyExtendedHeaders(CLzhHeader& header, std::span<const uint8_t> walked, size_t first) {
  const LzhExtendedChain chain = ReadLzhExtended(walked, first, 2);
  CODEC_CHECK(chain.fault == LzhExtendedFault::kNone, err::kLzhExtHeader);
  ExtendedRead read;
  for (const LzhExtendedHeader& e : chain.headers) {
    if (e.type == kLzhExtCommon && e.dataLength >= 2) read.headerCrcAt = static_cast<int>(e.at + 1);
    if (e.type == kLzhExtFileName) header.fileName = SeparatorsFromFF(e.data);
    if (e.type == kLzhExtFolder) header.folderName = SeparatorsFromFF(e.data);
    const std::span<const uint8_t> typeAndData = walked.subspan(e.at, static_cast<size_t>(1 + e.dataLength));
    header.extendedHeaders.emplace_back(typeAndData.begin(), typeAndData.end());
  }
  read.bytes = chain.bytes;
  return read;
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

bool LzhMethodLeadAt(std::span<const uint8_t> bytes) { return bytes.size() >= 2 && bytes[0] == '-' && bytes[1] == 'l'; }

LzhExtendedChain ReadLzhExtended(std::span<const uint8_t> bytes, size_t first, int sizeWidth) {
  const ByteCursor in(bytes);
  const uint64_t width = static_cast<uint64_t>(sizeWidth), end = bytes.size();
  LzhExtendedChain chain;
  const auto fail = [&](LzhExtendedFault fault) {
    chain.fault = fault;
    return chain;
  };
  for (uint64_t at = first;;) {
    if (at + width > end) return fail(LzhExtendedFault::kPastEnd);
    const uint64_t size = width == 2 ? in.PeekU16LE(static_cast<int64_t>(at)) : in.PeekU32LE(static_cast<int64_t>(at));
    if (size == 0) return chain;
    if (at + width >= end) return fail(LzhExtendedFault::kPastEnd);
    if (size < width + 1) return fail(LzhExtendedFault::kSizeTooSmall);
    LzhExtendedHeader& h = chain.headers.emplace_back();
    h.at = static_cast<size_t>(at + width);
    h.type = bytes[h.at];
    h.dataLength = size - width - 1;
    h.data = in.PeekBytes(static_cast<int64_t>(h.at + 1), static_cast<int64_t>(h.dataLength));
    chain.bytes += size;
    if (at + width + size > end) return fail(LzhExtendedFault::kPastEnd);  // the next size field lies past the end
    at += size;
  }
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

  // The extended headers: level 1 counts them in the packed size, level 2 in the
  // header size.
  std::span<const uint8_t> walked;  // from the header's start to the chain's bound
  size_t first = 0;                 // the first size field's place in it
  if (level == 2) {
    fileCrc = h.PeekU16LE(LzhField::kCrc2);
    hasFileCrc = true;
    osId = h.PeekU8(LzhField::kOs2);
    // LHa of OS-9/68k leaves two bytes out of its level-2 header size.
    if (osId == 'K') {
      CODEC_CHECK(baseSize + 2 <= size - pos, err::kLzhHeader);
      baseSize += 2;
      headerSize = static_cast<uint32_t>(baseSize);
    }
    walked = archive.subspan(static_cast<size_t>(pos), static_cast<size_t>(baseSize));
    first = LzhField::kFirstExtSize2;
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
      osId = h.PeekU8(static_cast<int64_t>(nameEnd + LzhField::kOsBehindName1));
      walked = archive.subspan(static_cast<size_t>(pos));
      first = static_cast<size_t>(baseSize - 2);
    }
  }
  uint64_t end = pos + baseSize;
  ExtendedRead extended;  // level 0 has none
  if (!walked.empty()) extended = ApplyExtendedHeaders(*this, walked, first);
  const int headerCrcAt = extended.headerCrcAt;
  if (level == 1) {
    end += extended.bytes;
    CODEC_CHECK(extended.bytes <= packedSize, err::kLzhExtHeader);
    packedSize -= extended.bytes;
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
