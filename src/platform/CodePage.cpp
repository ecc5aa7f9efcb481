#include "platform/CodePage.h"

#include <iconv.h>

#include <array>
#include <memory>

namespace plat {
namespace {

constexpr char16_t kUnassigned = 0xFFFF;

// Both directions of the CP932 table, read from iconv once. decode is indexed by the
// code (single bytes below 0x100, double-byte codes lead*256+trail); encode by the
// UTF-16 unit, 0 meaning unmappable (U+0000 itself maps to 0 too).
struct Cp932Tables {
  std::array<char16_t, 65536> decode{};
  std::array<uint16_t, 65536> encode{};
};

class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  // Converts in to out; returns the bytes written, or -1 when iconv refuses.
  int Convert(const char* in, size_t inLen, char* out, size_t outCap) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) return -1;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in);
    char* dst = out;
    size_t dstLeft = outCap;
    if (iconv(cd_, &src, &inLen, &dst, &dstLeft) == static_cast<size_t>(-1) || inLen != 0) return -1;
    return static_cast<int>(outCap - dstLeft);
  }

 private:
  iconv_t cd_;
};

std::unique_ptr<Cp932Tables> BuildTables() {
  auto t = std::make_unique<Cp932Tables>();
  t->decode.fill(kUnassigned);
  Iconv toWide("UTF-16LE", "CP932");
  Iconv toSjis("CP932", "UTF-16LE");

  auto decodeOne = [&](const char* bytes, size_t n) -> char16_t {
    char out[8];
    int len = toWide.Convert(bytes, n, out, sizeof out);
    if (len != 2) return kUnassigned;  // unassigned, or outside the BMP
    return static_cast<char16_t>(static_cast<uint8_t>(out[0]) | static_cast<uint8_t>(out[1]) << 8);
  };
  for (int b = 0; b < 0x100; ++b) {
    if (IsSjisLeadByte(static_cast<uint8_t>(b))) continue;
    char c = static_cast<char>(b);
    t->decode[b] = decodeOne(&c, 1);
  }
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (!IsSjisLeadByte(static_cast<uint8_t>(lead))) continue;
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      t->decode[lead << 8 | trail] = decodeOne(pair, 2);
    }
  }
  // Encoding asks iconv for every BMP character, so that its own choice among
  // duplicate codes (NEC and IBM rows) and its one-way mappings are kept.
  for (int ch = 1; ch < 0x10000; ++ch) {
    if (ch >= 0xD800 && ch <= 0xDFFF) continue;
    char in[2] = {static_cast<char>(ch & 0xFF), static_cast<char>(ch >> 8)};
    char out[4];
    int len = toSjis.Convert(in, 2, out, sizeof out);
    if (len == 1) {
      t->encode[ch] = static_cast<uint8_t>(out[0]);
    } else if (len == 2) {
      t->encode[ch] = static_cast<uint16_t>(static_cast<uint8_t>(out[0]) << 8 | static_cast<uint8_t>(out[1]));
    }
  }
  return t;
}

const Cp932Tables& Tables() {
  static const std::unique_ptr<Cp932Tables> tables = BuildTables();
  return *tables;
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | cp >> 6);
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | cp >> 12);
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | cp >> 18);
    out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes one UTF-8 sequence at text[i]; returns the code point and advances i, or
// returns -1 (and advances past the bad byte) for a malformed or overlong sequence.
int32_t NextUtf8(std::string_view text, size_t& i) {
  const auto b0 = static_cast<uint8_t>(text[i]);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  int len = b0 >= 0xF0 && b0 <= 0xF4 ? 4 : b0 >= 0xE0 && b0 < 0xF0 ? 3 : b0 >= 0xC2 && b0 < 0xE0 ? 2 : 0;
  if (len == 0 || i + len > text.size()) {
    ++i;
    return -1;
  }
  uint32_t cp = b0 & (0x7F >> len);
  for (int k = 1; k < len; ++k) {
    const auto b = static_cast<uint8_t>(text[i + k]);
    if ((b & 0xC0) != 0x80) {
      ++i;
      return -1;
    }
    cp = cp << 6 | (b & 0x3F);
  }
  static constexpr uint32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return -1;
  }
  i += len;
  return static_cast<int32_t>(cp);
}

}  // namespace

char16_t Cp932CodeToUnicode(uint16_t code) { return Tables().decode[code]; }

uint16_t UnicodeToCp932Code(char16_t ch) { return Tables().encode[ch]; }

int WideCharToCp932(char16_t ch, char out[2]) {
  uint16_t code = ch == 0 ? 0 : Tables().encode[ch];
  if (code == 0 && ch != 0) {
    out[0] = '?';
    return 1;
  }
  if (code < 0x100) {
    out[0] = static_cast<char>(code);
    return 1;
  }
  out[0] = static_cast<char>(code >> 8);
  out[1] = static_cast<char>(code & 0xFF);
  return 2;
}

int WideToCp932(const char16_t* src, int srcLen, char* dst, int dstCap) {
  const bool untilNul = srcLen < 0;
  int written = 0;
  for (int i = 0; untilNul || i < srcLen; ++i) {
    char16_t ch = src[i];
    char bytes[2];
    int n;
    if (IsHighSurrogate(ch) && (untilNul || i + 1 < srcLen) && IsLowSurrogate(src[i + 1])) {
      bytes[0] = '?';
      n = 1;
      ++i;
    } else if (IsHighSurrogate(ch) || IsLowSurrogate(ch)) {
      bytes[0] = '?';
      n = 1;
    } else {
      n = WideCharToCp932(ch, bytes);
    }
    if (dstCap > 0) {
      if (written + n > dstCap) return 0;
      for (int k = 0; k < n; ++k) dst[written + k] = bytes[k];
    }
    written += n;
    if (untilNul && ch == 0) break;
  }
  return written;
}

namespace {

// The character at text[i], moving i past it: a lead byte with a byte after it
// reads the pair, and takes the second byte only when the pair is assigned; 0xFFFD
// for an unassigned code.
char16_t DecodeAt(std::string_view text, size_t& i) {
  const auto& decode = Tables().decode;
  const auto b = static_cast<uint8_t>(text[i++]);
  char16_t ch = decode[b];
  if (IsSjisLeadByte(b) && i < text.size()) {
    ch = decode[b << 8 | static_cast<uint8_t>(text[i])];
    if (ch != kUnassigned) ++i;
  }
  return ch == kUnassigned ? u'\uFFFD' : ch;
}

}  // namespace

std::u16string Cp932ToWide(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) out += DecodeAt(text, i);
  return out;
}

std::string Cp932ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 2);
  for (size_t i = 0; i < text.size();) {
    const auto b = static_cast<uint8_t>(text[i]);
    if (b < 0x80) {
      out += static_cast<char>(b);
      ++i;
    } else {
      AppendUtf8(out, DecodeAt(text, i));
    }
  }
  return out;
}

std::optional<std::string> Utf8ToCp932(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const auto& encode = Tables().encode;
  for (size_t i = 0; i < text.size();) {
    int32_t cp = NextUtf8(text, i);
    if (cp < 0 || cp > 0xFFFF) return std::nullopt;
    uint16_t code = cp == 0 ? 0 : encode[cp];
    if (code == 0 && cp != 0) return std::nullopt;
    // A name must come back unchanged: refuse one-way (best-fit) mappings.
    if (Tables().decode[code] != cp) return std::nullopt;
    if (code >= 0x100) out += static_cast<char>(code >> 8);
    out += static_cast<char>(code & 0xFF);
  }
  return out;
}

std::string Utf8ToCp932Lossy(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const auto& encode = Tables().encode;
  for (size_t i = 0; i < text.size();) {
    int32_t cp = NextUtf8(text, i);
    uint16_t code = cp > 0 && cp <= 0xFFFF ? encode[cp] : 0;
    if (cp == 0) {
      out += '\0';
    } else if (code == 0) {
      out += '?';
    } else {
      if (code >= 0x100) out += static_cast<char>(code >> 8);
      out += static_cast<char>(code & 0xFF);
    }
  }
  return out;
}

unsigned JisToSjis(unsigned jis) {
  unsigned c1 = jis >> 8;
  unsigned c2 = jis & 0xFF;
  if (c1 < 0x21 || c1 > 0x7E || c2 < 0x21 || c2 > 0x7E) return 0;
  if (c1 & 1) {
    c2 += 0x1F;
    if (c2 >= 0x7F) ++c2;
  } else {
    c2 += 0x7E;
  }
  c1 = ((c1 - 0x21) >> 1) + 0x81;
  if (c1 > 0x9F) c1 += 0x40;
  return c1 << 8 | c2;
}

}  // namespace plat
