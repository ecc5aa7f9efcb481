#include "platform/text/ForeignCodePage.h"

#include <iconv.h>

#include <string>

namespace plat {

namespace {

iconv_t OpenDecoder(int codePage) {
  const std::string name = codePage == 1361 ? "JOHAB" : "CP" + std::to_string(codePage);
  return iconv_open("WCHAR_T", name.c_str());
}

bool Opened(iconv_t cd) { return cd != reinterpret_cast<iconv_t>(-1); }

// One character of one or two bytes, or 0 when the code page has none for them. The
// decoders of pages with combining marks (1255, 1258) hold a base character back until
// the next one or a flush, so the state is flushed after the bytes.
char32_t DecodeOne(iconv_t cd, const char* bytes, size_t size) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char in[2] = {bytes[0], size > 1 ? bytes[1] : '\0'};
  wchar_t out[2] = {};
  char* src = in;
  char* dst = reinterpret_cast<char*>(out);
  size_t inLeft = size;
  size_t outLeft = sizeof out;
  const size_t done = iconv(cd, &src, &inLeft, &dst, &outLeft);
  if (done == static_cast<size_t>(-1) || inLeft != 0) return 0;
  if (iconv(cd, nullptr, nullptr, &dst, &outLeft) == static_cast<size_t>(-1)) return 0;
  if (sizeof out - outLeft != sizeof(wchar_t)) return 0;
  return static_cast<char32_t>(out[0]);
}

}  // namespace

int CodePageOfCharset(int charset) {
  switch (charset) {
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    default: return 0;
  }
}

ForeignCodePage::ForeignCodePage(int codePage)
    : codePage_(codePage), doubleByte_(codePage == 936 || codePage == 949 || codePage == 950 || codePage == 1361) {
  iconv_t cd = OpenDecoder(codePage);
  if (!Opened(cd)) return;
  for (int b = 0x80; b <= 0xFF; ++b) {
    const char byte = static_cast<char>(b);
    upper_[static_cast<size_t>(b - 0x80)] = IsLead(static_cast<uint8_t>(b)) ? 0 : DecodeOne(cd, &byte, 1);
  }
  iconv_close(cd);
}

char32_t ForeignCodePage::Pair(uint8_t lead, uint8_t trail) const {
  iconv_t cd = OpenDecoder(codePage_);
  if (!Opened(cd)) return 0;
  const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
  const char32_t u = DecodeOne(cd, bytes, 2);
  iconv_close(cd);
  return u;
}

}  // namespace plat
