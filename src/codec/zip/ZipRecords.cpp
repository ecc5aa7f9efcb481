#include "codec/zip/ZipRecords.h"

#include "base/ByteCursor.h"
#include "codec/CodecError.h"

namespace codec {

void CZipHeader::SetDosDateTime(uint16_t dosTime, uint16_t dosDate) {
  hour = dosTime >> 11;
  minute = (dosTime >> 5) & 63;
  second = 2 * (dosTime & 31);
  year = 1980 + (dosDate >> 9);
  month = (dosDate >> 5) & 15;
  day = dosDate & 31;
}

uint16_t CZipHeader::DosTime() const {
  if (year < 1980) return 0;
  if (year > 2107) return static_cast<uint16_t>(23 << 11 | 59 << 5 | 29);
  return static_cast<uint16_t>(hour << 11 | minute << 5 | second / 2);
}

uint16_t CZipHeader::DosDate() const {
  if (year < 1980) return static_cast<uint16_t>(1 << 5 | 1);
  if (year > 2107) return static_cast<uint16_t>(127 << 9 | 12 << 5 | 31);
  return static_cast<uint16_t>((year - 1980) << 9 | month << 5 | day);
}

bool ReadLocalFixed(std::span<const uint8_t> bytes, ZipFixedPart& out) {
  if (bytes.size() < LocalField::kSize) return false;
  const ByteCursor in(bytes);
  CZipHeader& h = out.header;
  h.signature = in.PeekU32LE(0);
  h.versionNeeded = in.PeekU16LE(LocalField::kVersionNeeded);
  h.flags = in.PeekU16LE(LocalField::kFlags);
  h.method = in.PeekU16LE(LocalField::kMethod);
  out.dosTime = in.PeekU16LE(LocalField::kTime);
  out.dosDate = in.PeekU16LE(LocalField::kDate);
  h.SetDosDateTime(out.dosTime, out.dosDate);
  h.crc32 = in.PeekU32LE(LocalField::kCrc);
  h.compressedSize = in.PeekU32LE(LocalField::kCompressed);
  h.uncompressedSize = in.PeekU32LE(LocalField::kUncompressed);
  out.nameLength = in.PeekU16LE(LocalField::kNameLength);
  out.extraLength = in.PeekU16LE(LocalField::kExtraLength);
  out.commentLength = 0;
  return true;
}

bool ReadCentralFixed(std::span<const uint8_t> bytes, ZipFixedPart& out) {
  if (bytes.size() < CentralField::kSize) return false;
  const ByteCursor in(bytes);
  CZipHeader& h = out.header;
  h.signature = in.PeekU32LE(0);
  h.versionMadeBy = in.PeekU16LE(CentralField::kVersionMadeBy);
  h.versionNeeded = in.PeekU16LE(CentralField::kVersionNeeded);
  h.flags = in.PeekU16LE(CentralField::kFlags);
  h.method = in.PeekU16LE(CentralField::kMethod);
  out.dosTime = in.PeekU16LE(CentralField::kTime);
  out.dosDate = in.PeekU16LE(CentralField::kDate);
  h.SetDosDateTime(out.dosTime, out.dosDate);
  h.crc32 = in.PeekU32LE(CentralField::kCrc);
  h.compressedSize = in.PeekU32LE(CentralField::kCompressed);
  h.uncompressedSize = in.PeekU32LE(CentralField::kUncompressed);
  out.nameLength = in.PeekU16LE(CentralField::kNameLength);
  out.extraLength = in.PeekU16LE(CentralField::kExtraLength);
  out.commentLength = in.PeekU16LE(CentralField::kCommentLength);
  h.externalAttributes = in.PeekU32LE(CentralField::kExternalAttributes);
  h.localOffset = in.PeekU32LE(CentralField::kLocalOffset);
  return true;
}

namespace {

uint32_t Narrow(uint64_t v) {
  CODEC_CHECK(v < 0xFFFFFFFFull, err::kTooLarge);
  return static_cast<uint32_t>(v);
}

}  // namespace

namespace {

// The fields the local and the central header share, from "version needed" to the
// extra field's length.
void AppendSharedFields(std::vector<uint8_t>& out, const CZipHeader& h) {
  AppendLE16(out, h.versionNeeded);
  AppendLE16(out, h.flags);
  AppendLE16(out, h.method);
  AppendLE16(out, h.DosTime());
  AppendLE16(out, h.DosDate());
  AppendLE32(out, h.crc32);
  AppendLE32(out, Narrow(h.compressedSize));
  AppendLE32(out, Narrow(h.uncompressedSize));
  AppendLE16(out, static_cast<uint32_t>(h.name.size()));
  AppendLE16(out, static_cast<uint32_t>(h.extra.size()));
}

}  // namespace

void AppendLocalHeader(std::vector<uint8_t>& out, const CZipHeader& h) {
  CODEC_CHECK(h.signature == kLocalSignature, err::kLocalSignature);
  AppendLE32(out, kLocalSignature);
  AppendSharedFields(out, h);
  out.insert(out.end(), h.name.begin(), h.name.end());
  out.insert(out.end(), h.extra.begin(), h.extra.end());
}

void AppendCentralHeader(std::vector<uint8_t>& out, const CZipHeader& h) {
  CODEC_CHECK(h.signature == kCentralSignature, err::kCentralSignature);
  AppendLE32(out, kCentralSignature);
  AppendLE16(out, h.versionMadeBy);
  AppendSharedFields(out, h);
  AppendLE16(out, 0);  // comment length
  AppendLE16(out, 0);  // disk number start
  AppendLE16(out, 0);  // internal attributes
  AppendLE32(out, h.externalAttributes);
  AppendLE32(out, Narrow(h.localOffset));
  out.insert(out.end(), h.name.begin(), h.name.end());
  out.insert(out.end(), h.extra.begin(), h.extra.end());
}

void AppendEndRecord(std::vector<uint8_t>& out, uint32_t entries, uint32_t directorySize, uint32_t directoryOffset) {
  CODEC_CHECK(entries <= 0xFFFF, err::kTooLarge);
  AppendLE32(out, kEndSignature);
  AppendLE16(out, 0);
  AppendLE16(out, 0);
  AppendLE16(out, entries);
  AppendLE16(out, entries);
  AppendLE32(out, directorySize);
  AppendLE32(out, directoryOffset);
  AppendLE16(out, 0);
}

}  // namespace codec
