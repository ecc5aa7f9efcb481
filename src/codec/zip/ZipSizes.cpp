#include "codec/zip/ZipSizes.h"

namespace codec {

Zip64Field ReadZip64Field(std::span<const uint8_t> bytes, size_t length, Zip64Escapes escapes) {
  const ByteCursor in(bytes);
  Zip64Field out;
  for (uint64_t p = 0; p + 4 <= length;) {
    const uint64_t end = p + 4 + in.PeekU16LE(static_cast<int64_t>(p + 2));
    if (in.PeekU16LE(static_cast<int64_t>(p)) == kZip64ExtraId) {
      out.found = true;
      out.passesEnd = end > length;
      uint64_t q = p + 4;
      const auto take = [&](bool escaped, std::optional<uint64_t>& value) {
        if (!escaped || q + 8 > end) return;
        value = in.PeekU64LE(static_cast<int64_t>(q));
        q += 8;
      };
      take(escapes.uncompressedSize, out.uncompressedSize);
      take(escapes.compressedSize, out.compressedSize);
      take(escapes.localOffset, out.localOffset);
      return out;
    }
    if (end > length) break;
    p = end;
  }
  return out;
}

ZipDescriptor ReadDescriptor(std::span<const uint8_t> bytes, bool wide, DescriptorMarks accepted) {
  ZipDescriptor d;
  d.mark = DescriptorMarkAt(bytes, accepted);
  const size_t at = d.mark == DescriptorMark::kNone ? 0 : 4;
  const size_t sizeWidth = wide ? 8 : 4;
  d.length = at + 4 + 2 * sizeWidth;
  d.complete = bytes.size() >= d.length;
  if (!d.complete) return d;
  const ByteCursor in(bytes);
  const auto field = [&](size_t n) { return static_cast<int64_t>(at + 4 + n * sizeWidth); };
  d.crc32 = in.PeekU32LE(static_cast<int64_t>(at));
  d.compressedSize = wide ? in.PeekU64LE(field(0)) : in.PeekU32LE(field(0));
  d.uncompressedSize = wide ? in.PeekU64LE(field(1)) : in.PeekU32LE(field(1));
  d.recordFollows = in.PeekU16LE(static_cast<int64_t>(d.length)) == kRecordLead;
  return d;
}

}  // namespace codec
