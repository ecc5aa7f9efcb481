#include "archive/codec/ZipRecords.h"

#include "archive/codec/CodecError.h"

namespace codec {

uint16_t ReadLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t ReadLE32(const uint8_t* p) { return ReadLE16(p) | static_cast<uint32_t>(ReadLE16(p + 2)) << 16; }
uint64_t ReadLE64(const uint8_t* p) { return ReadLE32(p) | static_cast<uint64_t>(ReadLE32(p + 4)) << 32; }

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

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
uint32_t Narrow(uint64_t v) {
  CODEC_CHECK(v < 0xFFFFFFFFull, "055");
  return static_cast<uint32_t>(v);
}

}  // namespace

void AppendLocalHeader(std::vector<uint8_t>& out, const CZipHeader& h) {
  CODEC_CHECK(h.signature == kLocalSignature, "031");
  Put32(out, kLocalSignature);
  Put16(out, h.versionNeeded);
  Put16(out, h.flags);
  Put16(out, h.method);
  Put16(out, h.DosTime());
  Put16(out, h.DosDate());
  Put32(out, h.crc32);
  Put32(out, Narrow(h.compressedSize));
  Put32(out, Narrow(h.uncompressedSize));
  Put16(out, static_cast<uint32_t>(h.name.size()));
  Put16(out, static_cast<uint32_t>(h.extra.size()));
  out.insert(out.end(), h.name.begin(), h.name.end());
  out.insert(out.end(), h.extra.begin(), h.extra.end());
}

void AppendCentralHeader(std::vector<uint8_t>& out, const CZipHeader& h) {
  CODEC_CHECK(h.signature == kCentralSignature, "032");
  Put32(out, kCentralSignature);
  Put16(out, h.versionMadeBy);
  Put16(out, h.versionNeeded);
  Put16(out, h.flags);
  Put16(out, h.method);
  Put16(out, h.DosTime());
  Put16(out, h.DosDate());
  Put32(out, h.crc32);
  Put32(out, Narrow(h.compressedSize));
  Put32(out, Narrow(h.uncompressedSize));
  Put16(out, static_cast<uint32_t>(h.name.size()));
  Put16(out, static_cast<uint32_t>(h.extra.size()));
  Put16(out, 0);  // comment length
  Put16(out, 0);  // disk number start
  Put16(out, 0);  // internal attributes
  Put32(out, h.externalAttributes);
  Put32(out, Narrow(h.localOffset));
  out.insert(out.end(), h.name.begin(), h.name.end());
  out.insert(out.end(), h.extra.begin(), h.extra.end());
}

void AppendEndRecord(std::vector<uint8_t>& out, uint32_t entries, uint32_t directorySize, uint32_t directoryOffset) {
  CODEC_CHECK(entries <= 0xFFFF, "055");
  Put32(out, kEndSignature);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, entries);
  Put16(out, entries);
  Put32(out, directorySize);
  Put32(out, directoryOffset);
  Put16(out, 0);
}

}  // namespace codec
