// WMA (ASF) attributes: the texts of the content description, the extended content
// description and the codec list objects of the header, read as UTF-16 text, with
// the 32-bit and 64-bit attribute values written as a number and a date. Only the
// first 8,000 bytes are looked at; an object whose size runs past them (or past the
// header's own size) is read up to there, a size below an object head ends the walk,
// and the text stops at 2,000 bytes.
#include <algorithm>
#include <cstdio>

#include "convert/dump/MediaTags.h"
#include "platform/text/CodePage.h"

namespace {

constexpr int64_t kHeaderLimit = 8000;
constexpr int64_t kFirstObject = 30;
constexpr int64_t kObjectHead = 24;  // identifier and 64-bit size
constexpr size_t kTagLimit = 2000;

struct KnownObject {
  uint8_t id[4];
  int64_t textStart;
};

constexpr KnownObject kObjects[] = {
    {{0x33, 0x26, 0xB2, 0x75}, 34},  // content description
    {{0x40, 0xA4, 0xD0, 0xD2}, 16},  // extended content description
    {{0x40, 0x52, 0xD1, 0x86}, 44},  // codec list
};

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = static_cast<int64_t>(yoe) + era * 400 + (m <= 2);
}

}  // namespace

std::string FormatAsfTime(uint64_t ticks) {
  constexpr int64_t kDays1601To1970 = 134774;
  const auto seconds = static_cast<int64_t>(ticks / 10000000);
  const int64_t days = seconds / 86400 - kDays1601To1970;
  const int64_t clock = seconds % 86400;
  int64_t year;
  unsigned month, day;
  CivilFromDays(days, year, month, day);
  char text[80];
  std::snprintf(text, sizeof text, " %lld/%02u/%02u %lldh%02lldm%02llds (UTC)", static_cast<long long>(year), month, day,
                static_cast<long long>(clock / 3600), static_cast<long long>(clock / 60 % 60),
                static_cast<long long>(clock % 60));
  return text;
}

std::string ReadAsfAttributes(const ByteCursor& head) {
  std::string tags = " ";
  const int64_t headLen = head.Size();
  const int64_t headerSize =
      headLen >= 24 ? static_cast<int64_t>(std::min<uint64_t>(head.PeekU64LE(16), kHeaderLimit)) : 0;
  const int64_t headerEnd = std::min<int64_t>({headLen, kHeaderLimit, headerSize});
  auto at = [&](int64_t p, const char* bytes, int n) {
    for (int k = 0; k < n; ++k) {
      if (head.PeekU8(p + k) != static_cast<uint8_t>(bytes[k])) return false;
    }
    return true;
  };
  for (int64_t object = kFirstObject; object + kObjectHead <= headerEnd && tags.size() < kTagLimit;) {
    const uint64_t size = head.PeekU64LE(object + 16);
    if (size < static_cast<uint64_t>(kObjectHead)) break;
    const int64_t next = size > static_cast<uint64_t>(headerEnd - object) ? headerEnd : object + static_cast<int64_t>(size);
    const KnownObject* known = nullptr;
    for (const KnownObject& k : kObjects) {
      if (at(object, reinterpret_cast<const char*>(k.id), 4)) known = &k;
    }
    if (known) {
      for (int64_t p = object + known->textStart; p + 2 <= next;) {
        if (p + 8 <= next && at(p, "\x03\x00\x04\x00", 4)) {
          tags += std::to_string(head.PeekU32LE(p + 4) & 0xFFFFFF) + ' ';
          p += 8;
          continue;
        }
        if (p + 12 <= next && at(p, "\x04\x00\x08\x00", 4)) {
          tags += FormatAsfTime(head.PeekU64LE(p + 4));
          p += 12;
          continue;
        }
        if (p + 4 <= next && at(p, "\0\0\0\0", 4)) {
          tags += "  ";
          p += 4;
          continue;
        }
        if (p + 6 <= next && at(p, "W\0M\0", 4) && (head.PeekU8(p + 4) == '/' || head.PeekU8(p + 4) == 'F') &&
            head.PeekU8(p + 5) == 0) {
          tags += "\r\n ";
          p += 6;
          continue;
        }
        char out[2];
        const int n = plat::WideCharToCp932(static_cast<char16_t>(head.PeekU16LE(p)), out);
        if (n == 1 && out[0] == '?') {
          tags += ' ';
        } else {
          for (int k = 0; k < n; ++k) {
            if (static_cast<uint8_t>(out[k]) >= 0x20) tags += out[k];
          }
        }
        p += 2;
      }
      tags += "\r\n ";
    }
    object = next;
  }
  return tags;
}
