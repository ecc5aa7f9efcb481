// Writes the CP932 tables of src/platform/text as a C++ source file: both directions of
// glibc iconv's "CP932", read at build time so that the program starts without
// asking iconv some 75,000 questions. decode is indexed by the code (single bytes
// below 0x100, double-byte codes lead*256+trail; 0xFFFF unassigned), encode by the
// UTF-16 unit (0 unmappable).
//
// usage: MakeCp932Tables OUT.cpp
#include <iconv.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

#include "platform/text/CodePage.h"

namespace {

constexpr char16_t kUnassigned = 0xFFFF;

class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (ok()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts in to out; returns the bytes written, or -1 when iconv refuses.
  int Convert(const char* in, size_t inLen, char* out, size_t outCap) {
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

template <class T>
void WriteArray(std::ofstream& out, const char* type, const char* name, const std::vector<T>& values) {
  out << "extern const " << type << ' ' << name << "[65536] = {";
  for (size_t i = 0; i < values.size(); ++i) {
    out << (i % 16 == 0 ? "\n" : "") << static_cast<unsigned>(values[i]) << ',';
  }
  out << "\n};\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: MakeCp932Tables OUT.cpp\n");
    return 2;
  }
  Iconv toWide("UTF-16LE", "CP932");
  Iconv toSjis("CP932", "UTF-16LE");
  if (!toWide.ok() || !toSjis.ok()) {
    std::fprintf(stderr, "MakeCp932Tables: iconv has no CP932 conversion\n");
    return 1;
  }
  std::vector<char16_t> decode(65536, kUnassigned);
  std::vector<uint16_t> encode(65536, 0);

  auto decodeOne = [&](const char* bytes, size_t n) -> char16_t {
    char out[8];
    const int len = toWide.Convert(bytes, n, out, sizeof out);
    if (len != 2) return kUnassigned;  // unassigned, or outside the BMP
    return static_cast<char16_t>(static_cast<uint8_t>(out[0]) | static_cast<uint8_t>(out[1]) << 8);
  };
  for (int b = 0; b < 0x100; ++b) {
    if (IsSjisLeadByte(static_cast<uint8_t>(b))) continue;
    const char c = static_cast<char>(b);
    decode[b] = decodeOne(&c, 1);
  }
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (!IsSjisLeadByte(static_cast<uint8_t>(lead))) continue;
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      decode[lead << 8 | trail] = decodeOne(pair, 2);
    }
  }
  // Encoding asks iconv for every BMP character, so that its own choice among
  // duplicate codes (NEC and IBM rows) and its one-way mappings are kept.
  for (int ch = 1; ch < 0x10000; ++ch) {
    if (ch >= 0xD800 && ch <= 0xDFFF) continue;
    const char in[2] = {static_cast<char>(ch & 0xFF), static_cast<char>(ch >> 8)};
    char out[4];
    const int len = toSjis.Convert(in, 2, out, sizeof out);
    if (len == 1) {
      encode[ch] = static_cast<uint8_t>(out[0]);
    } else if (len == 2) {
      encode[ch] = static_cast<uint16_t>(static_cast<uint8_t>(out[0]) << 8 | static_cast<uint8_t>(out[1]));
    }
  }

  std::ofstream out(argv[1], std::ios::binary);
  out << "// Made by tools/MakeCp932Tables from glibc iconv's CP932; not edited by hand.\n"
         "#include \"platform/text/Cp932Tables.h\"\n\nnamespace plat::cp932 {\n\n";
  WriteArray(out, "char16_t", "kDecode", decode);
  WriteArray(out, "uint16_t", "kEncode", encode);
  bool asciiKept = true;
  for (int ch = 1; ch < 0x80; ++ch) asciiKept = asciiKept && encode[ch] == ch;
  out << "extern const bool kAsciiKept = " << (asciiKept ? "true" : "false") << ";\n";
  out << "\n}  // namespace plat::cp932\n";
  out.close();
  if (!out) {
    std::fprintf(stderr, "MakeCp932Tables: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
