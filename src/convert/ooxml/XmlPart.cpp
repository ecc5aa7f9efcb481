// Reading one part of an Office Open XML package (or an XML file) as Shift-JIS text.
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "app/QelDoc.h"
#include "base/CheckedSize.h"
#include "base/ConvertStatus.h"
#include "convert/office/OfficeState.h"
#include "convert/ooxml/PackageParts.h"
#include "convert/ooxml/XmlPart.h"
#include "platform/text/CodePage.h"
#include "platform/os/Files.h"

namespace {

constexpr size_t kMaxPartPath = 512;
constexpr size_t kDeclarationWindow = 79;  // an encoding name counts within the first 79 bytes
constexpr size_t kTextSlack = 10000;

bool IsContinuation(uint8_t b) { return (b & 0xC0) == 0x80; }

// Number of continuation bytes that follow at p (at most want, within end).
size_t Continuations(const uint8_t* p, const uint8_t* end, size_t want) {
  size_t k = 0;
  while (k < want && p + k < end && IsContinuation(p[k])) ++k;
  return k;
}

// True when one of the eight bytes has its high bit set or is zero.
bool HasHighOrZero(uint64_t w) {
  constexpr uint64_t kOnes = 0x0101010101010101, kHighs = 0x8080808080808080;
  return ((w | ((w - kOnes) & ~w)) & kHighs) != 0;
}

int FailPart(ConvertStatus* failure, const ConvertStatus& status) {
  if (failure) *failure = status;
  return 0;
}

}  // namespace

size_t XmlBytesToSjis(const uint8_t* in, size_t n, char* out) {
  const uint8_t* const end = in + n;
  char* o = out;
  bool utf8 = true;
  // The codes of recent characters: a text repeats its characters, and a hit spares
  // the code-page lookup.
  std::array<uint32_t, 256> cachedChar;
  std::array<uint16_t, 256> cachedCode{};
  cachedChar.fill(0xFFFFFFFF);
  for (const uint8_t* p = in; p < end;) {
    // Past the declaration's window, runs of ASCII bytes are copied as they are.
    if (p - in >= static_cast<ptrdiff_t>(kDeclarationWindow)) {
      for (uint64_t w; end - p >= 8 && (std::memcpy(&w, p, 8), !HasHighOrZero(w)); p += 8, o += 8) std::memcpy(o, &w, 8);
      while (p < end && *p < 0x80 && *p != 0) *o++ = static_cast<char>(*p++);
      if (p == end) break;
    }
    const uint8_t b0 = *p;
    if (b0 < 0x80 || !utf8) {
      if ((b0 == 'U' || b0 == 'J') && static_cast<size_t>(p - in) < kDeclarationWindow && end - p >= 3) {
        if (b0 == 'U' && p[1] == 'T' && p[2] == 'F') utf8 = true;
        if (b0 == 'J' && p[1] == 'I' && p[2] == 'S') utf8 = false;
      }
      *o++ = b0 == 0 ? '?' : static_cast<char>(b0);
      ++p;
      continue;
    }
    // The common case, well-formed three-byte sequences (kana and kanji), directly,
    // one after another while they follow each other.
    bool taken = false;
    while (end - p >= 3 && p[0] >= 0xE0 && p[0] < 0xF0 && (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80) {
      const uint32_t cp = (p[0] & 0x0Fu) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu);
      if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF) || cp == 0xFEFF) break;
      p += 3;
      taken = true;
      const uint16_t code = plat::UnicodeToCp932Code(static_cast<char16_t>(cp));
      if (code == 0) {
        *o++ = '?';
      } else if (code < 0x100) {
        *o++ = static_cast<char>(code);
      } else {
        *o++ = static_cast<char>(code >> 8);
        *o++ = static_cast<char>(code & 0xFF);
      }
    }
    if (taken) continue;
    // A sequence: its length from the lead byte, then its continuation bytes. A bad
    // sequence is one '?' and ends where its continuation bytes end.
    size_t want = b0 >= 0xF0 ? 3 : b0 >= 0xE0 ? 2 : b0 >= 0xC0 ? 1 : 0;
    const size_t got = Continuations(p + 1, end, want);
    uint32_t cp = 0xFFFFFFFF;
    if (want > 0 && got == want && b0 <= 0xF4) {
      if (want == 1) cp = (b0 & 0x1Fu) << 6 | (p[1] & 0x3Fu);
      if (want == 2) cp = (b0 & 0x0Fu) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu);
      if (want == 3) cp = (b0 & 0x07u) << 18 | (p[1] & 0x3Fu) << 12 | (p[2] & 0x3Fu) << 6 | (p[3] & 0x3Fu);
      const uint32_t least = want == 1 ? 0x80 : want == 2 ? 0x800 : 0x10000;
      if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFFFFFF;
    }
    p += 1 + got;
    if (cp == 0xFEFF) continue;  // byte-order mark
    if (cp > 0xFFFF) {
      *o++ = '?';
      continue;
    }
    const size_t slot = (cp ^ cp >> 8) & 0xFF;
    if (cachedChar[slot] != cp) {
      cachedChar[slot] = cp;
      cachedCode[slot] = plat::UnicodeToCp932Code(static_cast<char16_t>(cp));
    }
    const uint16_t code = cachedCode[slot];
    if (code == 0) {
      *o++ = '?';
    } else if (code < 0x100) {
      *o++ = static_cast<char>(code);
    } else {
      *o++ = static_cast<char>(code >> 8);
      *o++ = static_cast<char>(code & 0xFF);
    }
  }
  return static_cast<size_t>(o - out);
}

int CQelDoc::LoadXmlPartAsSjis(std::string path, ConvertStatus* failure) {
  if (path.size() > kMaxPartPath) return 0;
  plat::File file;
  if (!file.Open(path, plat::File::Mode::Read)) return FailPart(failure, ConvertStatus::Message(IDS_CANNOT_OPEN));
  const int64_t length = file.GetLength();
  if (!ReservePartText(length, failure)) return 0;
  const int64_t got = std::max<int64_t>(file.Read(m_pText, length), 0);
  return ConvertPartText(got);
}

int CQelDoc::LoadPackagePart(std::string_view rel, ConvertStatus* failure) {
  // The length limit of the part's path below the work folder, as the parts were
  // once named in it.
  if (OfficeWorkFolder().size() + rel.size() > kMaxPartPath) return 0;
  const std::optional<size_t> member = Office().m_package ? Office().m_package->Find(rel) : std::nullopt;
  if (!member) return FailPart(failure, ConvertStatus::Message(IDS_CANNOT_OPEN));
  const uint64_t declared = Office().m_package->SizeOf(*member);
  if (declared > INT32_MAX) return FailPart(failure, ConvertStatus::OutOfMemory(" 018"));
  const auto length = static_cast<int64_t>(declared);
  if (!ReservePartText(length, failure)) return 0;
  if (!Office().m_package->Unpack(*member, reinterpret_cast<uint8_t*>(m_pText)))
    return FailPart(failure, ConvertStatus::Message(IDS_CANNOT_OPEN));
  return ConvertPartText(length);
}

bool CQelDoc::ReservePartText(int64_t length, ConvertStatus* failure) {
  const std::optional<int64_t> size = CheckedSize(length, 1, static_cast<int64_t>(kTextSlack), INT32_MAX);
  if (!size) return FailPart(failure, ConvertStatus::OutOfMemory(" 018")), false;
  // The bytes are read into the text buffer and converted in place: the text never
  // grows, so every byte is read before its place is written.
  if (!TryAllocate(m_textStore, *size, 1, 0, &m_allocHook)) return FailPart(failure, ConvertStatus::OutOfMemory(" 019")), false;
  m_pText = m_textStore.data();
  m_nTextCap = static_cast<int>(m_textStore.size());
  return true;
}

int CQelDoc::ConvertPartText(int64_t got) {
  const size_t n = XmlBytesToSjis(reinterpret_cast<const uint8_t*>(m_pText), static_cast<size_t>(got), m_pText);
  m_pText[n] = '\0';
  return static_cast<int>(n);
}
