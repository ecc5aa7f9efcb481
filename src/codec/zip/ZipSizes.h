// The two records that hold a member's sizes where its header cannot: the Zip64
// extended information field (sizes and offset of 4 GiB and more) and the data
// descriptor (CRC-32 and sizes written behind the data). One reader each, for the
// extraction and the listing alike: each returns what it found and what was wrong,
// and the caller decides what a fault means to it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "base/ByteCursor.h"
#include "codec/zip/ZipRecords.h"

namespace codec {

inline constexpr uint16_t kZip64ExtraId = 1;
// A 32-bit size or offset that holds this has its value in the Zip64 field.
inline constexpr uint32_t kZip64Escape = 0xFFFFFFFF;

// The header values that hold their 32-bit escape: the Zip64 field holds those, in
// this order, and no others.
struct Zip64Escapes {
  bool uncompressedSize = false;
  bool compressedSize = false;
  bool localOffset = false;
};

struct Zip64Field {
  bool found = false;      // the extra field holds a Zip64 field
  bool passesEnd = false;  // what was wrong: it runs past the end of the extra field
  // The escaped values it holds; one that its length leaves out stays empty.
  std::optional<uint64_t> uncompressedSize, compressedSize, localOffset;
};

// Walks the extra fields (id, length, data) that start within the first `length`
// bytes of `bytes` up to the Zip64 field. A field that passes `length` ends the walk,
// unless it is the Zip64 field: that one is read within its own length as far as
// `bytes` go (0 past them) and marked passesEnd. `bytes` may hold less than `length`
// (a window cut short) or more (what follows the extra field).
Zip64Field ReadZip64Field(std::span<const uint8_t> bytes, size_t length, Zip64Escapes escapes);

// The data descriptor's mark: the signature, or the "SD" 07 08 some writers put
// there, which only a caller that asks for it accepts.
inline constexpr uint32_t kDescriptorSdSignature = 0x08074453;
// Every record's signature begins "PK".
inline constexpr uint16_t kRecordLead = 0x4b50;

enum class DescriptorMark { kNone, kSignature, kSd };
enum class DescriptorMarks { kSignature, kSignatureOrSd };

// The mark at the start of bytes, of those accepted.
inline DescriptorMark DescriptorMarkAt(std::span<const uint8_t> bytes, DescriptorMarks accepted) {
  const uint32_t v = ByteCursor(bytes).PeekU32LE(0);
  if (v == kDescriptorSignature) return DescriptorMark::kSignature;
  if (v == kDescriptorSdSignature && accepted == DescriptorMarks::kSignatureOrSd) return DescriptorMark::kSd;
  return DescriptorMark::kNone;
}

struct ZipDescriptor {
  DescriptorMark mark = DescriptorMark::kNone;
  uint32_t crc32 = 0;
  uint64_t compressedSize = 0;
  uint64_t uncompressedSize = 0;
  size_t length = 0;           // its bytes, the mark included
  bool complete = false;       // what was wrong: false when the bytes end inside it
  bool recordFollows = false;  // a record's "PK" stands right behind it
};

// Reads the descriptor at the start of bytes: its mark when one stands there, then
// the CRC-32 and both sizes, 64-bit when wide (the member has a Zip64 field).
ZipDescriptor ReadDescriptor(std::span<const uint8_t> bytes, bool wide, DescriptorMarks accepted);

}  // namespace codec
