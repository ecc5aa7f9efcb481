// The image file directory of a TIFF file, read through the byte cursor.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "base/ByteCursor.h"

namespace tiff {

constexpr int kMaxEntries = 4096;

struct Entry {
  int type = 0;
  uint32_t count = 0;
  int64_t valueAt = 0;  // where the value (or the inline value field) stands
};

// The entries of one IFD, each value found by its field type and count in the
// file's byte order; entries whose values lie outside the file are left out.
class Ifd {
 public:
  Ifd(const uint8_t* file, int64_t length, bool big) : in_(file, length), big_(big) {}
  uint32_t U16(int64_t at) const { return big_ ? in_.PeekU16BE(at) : in_.PeekU16LE(at); }
  uint32_t U32(int64_t at) const { return big_ ? in_.PeekU32BE(at) : in_.PeekU32LE(at); }

  // Reads the IFD at offset; false when it is not inside the file or has no entries.
  bool Read(int64_t offset) {
    if (offset < 8 || offset + 2 > in_.Size()) return false;
    const int count = static_cast<int>(U16(offset));
    if (count == 0 || count > kMaxEntries || offset + 2 + 12 * int64_t{count} > in_.Size()) return false;
    for (int i = 0; i < count; ++i) {
      const int64_t at = offset + 2 + 12 * int64_t{i};
      Entry e;
      const int tag = static_cast<int>(U16(at));
      e.type = static_cast<int>(U16(at + 2));
      e.count = U32(at + 4);
      const int64_t bytes = int64_t{e.count} * TypeSize(e.type);
      e.valueAt = bytes <= 4 ? at + 8 : U32(at + 8);
      if (TypeSize(e.type) == 0 || e.count == 0 || e.valueAt + bytes > in_.Size()) continue;
      entries_.emplace_back(tag, e);
    }
    return true;
  }

  const Entry* Find(int tag) const {
    for (const auto& [t, e] : entries_) {
      if (t == tag) return &e;
    }
    return nullptr;
  }
  // Value i of a tag (BYTE, SHORT or LONG), or the default.
  int64_t Value(int tag, uint32_t i = 0, int64_t fallback = 0) const {
    const Entry* e = Find(tag);
    if (!e || i >= e->count) return fallback;
    switch (e->type) {
      case 1: return in_.PeekU8(e->valueAt + i);
      case 3: return U16(e->valueAt + 2 * int64_t{i});
      case 4: return U32(e->valueAt + 4 * int64_t{i});
      default: return fallback;
    }
  }
  uint32_t Count(int tag) const {
    const Entry* e = Find(tag);
    return e ? e->count : 0;
  }

 private:
  static int TypeSize(int type) {
    switch (type) {
      case 1: case 2: case 6: case 7: return 1;
      case 3: case 8: return 2;
      case 4: case 9: case 11: return 4;
      case 5: case 10: case 12: return 8;
      default: return 0;
    }
  }
  ByteCursor in_;
  bool big_;
  std::vector<std::pair<int, Entry>> entries_;
};

}  // namespace tiff
