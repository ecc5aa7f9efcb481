// The sheet names of a binary workbook, for the sheet headers: first from the
// document summary's property set (the vector of part titles, 1E 10 00 00), else from
// the workbook's sheet records (0x0085). Every name is read within the gathered data
// and its own stored length, in the character width it was stored with (8-bit, or
// 16-bit converted to Shift-JIS), and cut to the table's 32 bytes on a character
// boundary.
#include <algorithm>
#include <cstring>

#include "app/QelDoc.h"
#include "base/ByteCursor.h"
#include "convert/ConvertState.h"
#include "convert/dump/DumpCall.h"
#include "convert/office/OfficeState.h"
#include "convert/office/xls/BiffRecord.h"
#include "platform/text/CodePage.h"

namespace {

constexpr int kNameBytes = 32;

// Stores Shift-JIS text as a 32-byte entry: NUL-terminated when shorter, never
// ending in half a double-byte character.
void StoreName(std::array<char, kNameBytes>& entry, const char* text, size_t n) {
  size_t take = 0;
  while (take < n && take < kNameBytes) {
    const size_t w = IsSjisLeadByte(static_cast<uint8_t>(text[take])) ? 2 : 1;
    if (take + w > kNameBytes || take + w > n) break;
    take += w;
  }
  entry.fill(0);
  std::memcpy(entry.data(), text, take);
}

void StoreWide(std::array<char, kNameBytes>& entry, ByteCursor& c, int64_t chars) {
  std::u16string wide;
  for (int64_t i = 0; i < chars && c.Has(2); ++i) {
    const char16_t ch = c.U16LE();
    if (ch == 0) break;
    wide.push_back(ch);
  }
  char out[128];
  const int n = plat::WideToCp932(wide.data(), static_cast<int>(std::min<size_t>(wide.size(), 60)), out, sizeof out);
  StoreName(entry, out, static_cast<size_t>(std::max(n, 0)));
}

// The property-set vector at q: a count, then per name a 4-byte length and its bytes.
void ReadPropertyNames(DumpCall& call, ByteCursor data, int64_t q) {
  data.Seek(q + 4);
  const int count = data.PeekU8(q + 4);
  data.Seek(q + 8);
  for (int i = 0; i < count && i < 255 && data.Ok(); ++i) {
    const uint32_t length = data.U32LE();
    if (length > 4096 || !data.Has(length)) break;
    ByteCursor name = data.Sub(length);
    // 16-bit text ends in two NULs and has an even length; 8-bit has no NUL before its end.
    const bool wide = length >= 2 && length % 2 == 0 && name.PeekU8(length - 1) == 0 && name.PeekU8(length - 2) == 0;
    if (wide) {
      StoreWide(call.names[i], name, length / 2);
    } else {
      const auto bytes = name.Bytes(length);
      const char* text = reinterpret_cast<const char*>(bytes.data());
      StoreName(call.names[i], text, strnlen(text, bytes.size()));
    }
  }
}

int64_t Find(const ByteCursor& data, int64_t from, int64_t count, const char* pattern, int len) {
  for (int64_t p = from; p < from + count && p + len <= data.Size(); ++p) {
    if (std::memcmp(data.Data() + p, pattern, static_cast<size_t>(len)) == 0) return p;
  }
  return -1;
}

// The sheet records (0x0085) after the workbook's first BOF on a sector boundary.
void ReadRecordNames(DumpCall& call, ByteCursor data, int64_t volume) {
  int64_t b = 512;
  while (b + 512 < volume && data.PeekU16LE(b) != kBiffBof) b += 512;
  if (b + 512 >= volume) return;
  const bool flags = data.PeekU16LE(b + 2) == 16;  // the form whose strings carry a flags byte
  data.Seek(b);
  int sheet = 0;
  while (data.Has(4) && data.Pos() < volume && sheet < 256) {
    const uint16_t type = data.U16LE();
    const uint16_t length = data.U16LE();
    ByteCursor rec = data.Sub(length);
    if (type == kBiffEof) break;  // of the workbook globals
    if (type != kBiffBoundSheet) {
      if (sheet > 0) break;
      continue;
    }
    rec.Skip(6);
    const int chars = rec.U8();
    const bool wide = flags && (rec.U8() & 1);
    if (wide) {
      StoreWide(call.names[sheet], rec, chars);
    } else {
      const auto bytes = rec.Bytes(std::min<int64_t>(chars, rec.Remaining()));
      StoreName(call.names[sheet], reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    ++sheet;
  }
}

}  // namespace

void CQelDoc::ReadSheetNames(DumpCall& call) {
  const int64_t end = std::min<int64_t>(call.bytesRead, call.bufferSize);
  const ByteCursor data(Convert().m_pRawData, end);
  const int64_t volume = std::min<int64_t>(call.readSize, end);
  const int64_t slot5 = Office().m_anCfbSlots[5], slot6 = Office().m_anCfbSlots[6];
  int64_t q = -1;
  if (slot5 > 0 && slot5 < end && slot6 == 0) {
    const uint8_t first = data.PeekU8(slot5);
    if (first == 0xFE || first == 0x0F) q = Find(data, slot5 + 1, 511, "\x1E\x10", 2);
  } else if (slot6 > 0 && slot6 < volume) {
    q = Find(data, slot6 + 1, 4095, "\x1E\x10\x00\x00", 4);
  }
  if (q >= 0) {
    ReadPropertyNames(call, data, q);
    if (call.names[0][0] != 0) return;
  }
  ReadRecordNames(call, data, volume);
}
