// The source display of a PDF: the file copied to the display text byte by byte,
// each stream body replaced by its decoded bytes, shown as a hexadecimal dump (the
// first 256 bytes unless the compact form is on) or, with a table form chosen, as
// text. Every write is bounded by the output limit.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "convert/pdf/PdfReader.h"
#include "convert/pdf/PdfStreamDecode.h"
#include "convert/pdf/PdfValueReaders.h"

namespace {

constexpr const char* kDots = "\r\n ................ \r\n";

}  // namespace

void PdfReader::SourceView() {
  const int64_t limit = outLimit;
  SourceFlags flags;
  flags.compact = doc.m_bRepeat != 0;
  DisplayWriter out = doc.ConvWriter();
  out.SetPos(0);
  out.Append("%P");
  int64_t p = std::max<int64_t>(pos, 0);
  while (p < raw.Size() && out.Pos() < limit) {
    const uint8_t c = raw.PeekU8(p++);
    if ((c == '/' || c == 'e') && SourceName(out, c, p, flags)) continue;
    if (c != 'd' && c != 'n' && raw.PeekU8(p) == 't' && PdfMatch(raw, p - 1, "stream") && !PdfMatch(raw, p - 4, "endstream")) {
      const int64_t next = SourceStream(out, p, flags);
      if (next >= 0) {
        p = next;
        continue;
      }
      out.Put(static_cast<char>(c));  // not Flate data after all: copied as it stands
      continue;
    }
    // Outside streams: control bytes shown as 0x7F, a lone CR as CR LF.
    if (c == '\r' && raw.PeekU8(p) != '\n') out.Append("\r\n");
    else if (c < 0x20 && c != 0 && c != '\r' && c != '\n') out.Put(0x7F);
    else if (c == 0) out.Put(' ');
    else out.Put(static_cast<char>(c));
  }
  if (out.Pos() >= limit) {
    out.SetPos(static_cast<int>(std::max<int64_t>(limit - 90, 0)));
    out.Append("\r\n\r\n");
    out.Append(LoadString(IDS_DISPLAY_VOLUME_OVER));
    doc.m_volumeCut = VolumeCut::kOutput;
  }
}

bool PdfReader::SourceName(DisplayWriter& out, uint8_t c, int64_t& p, SourceFlags& flags) {
  if (PdfMatch(raw, p, "Flat")) {
    flags.flate = true;
  } else if (PdfMatch(raw, p, "Image") && (raw.PeekU8(p + 5) < 0x21 || raw.PeekU8(p + 5) == '/')) {
    flags.image = true;
  } else if (PdfMatch(raw, p, "ASCII")) {
    flags.pre = 1;
  } else if (PdfMatch(raw, p, "LZWDe")) {
    flags.pre = 2;
  } else if (c == 'e' && PdfMatch(raw, p, "ndobj")) {
    flags.flate = flags.image = false;
    flags.pre = 0;
    if (flags.compact) {
      out.Append("endobj");
      p += 5;
      char text[64];
      std::snprintf(text, sizeof text, "\n$$               %lld", static_cast<long long>(p));
      out.Append(text);
      return true;
    }
  }
  return false;
}

int64_t PdfReader::SourceStream(DisplayWriter& out, int64_t p, SourceFlags& flags) {
  // A stream: its data after "stream" and one end of line.
  int64_t data = p + 5;
  if (raw.PeekU8(data) == '\r') ++data;
  if (raw.PeekU8(data) == '\n') ++data;
  const uint8_t b0 = raw.PeekU8(data), b1 = raw.PeekU8(data + 1);
  const bool zlib = PdfIsZlibHeader(b0, b1) || (b0 == 0xFF && b1 == 0xD8);
  const bool coded = !(b0 == 'B' && b1 == 'T') && (b0 == 'H' || b0 == 'x' || b1 < 0x20 || b1 >= 0x7F || flags.flate);
  if (coded && flags.flate && flags.pre == 0 && !zlib) return -1;
  if (flags.compact) {
    out.Append("\r\nstream");
  } else if (doc.m_nCsvMode != 0) {
    out.Append("\r\nstream\r\n");
  } else {
    char text[64];
    std::snprintf(text, sizeof text, "\r\nstream  adrs = %llx\r\n", static_cast<unsigned long long>(data));
    out.Append(text);
  }
  int64_t end = endstream_.Next(raw, data);
  if (end < 0) end = raw.Size();
  const ByteCursor shown = SourceDecode(out, raw.Window(data, std::clamp<int64_t>(end - data, 0, capacity)), coded, flags);
  if (doc.m_nCsvMode == 0) SourceHex(out, shown, flags.compact);
  else if (!flags.image) SourceText(out, shown);
  out.Append(flags.compact ? "\r\nendstream\r\n" : "\r\n\r\nendstream\r\n");
  flags.flate = flags.image = false;
  flags.pre = 0;
  return std::min(end + 9, raw.Size());
}

ByteCursor PdfReader::SourceDecode(DisplayWriter& out, ByteCursor body, bool coded, const SourceFlags& flags) {
  if (!coded) return body;
  const uint8_t* shown = body.Data();
  int64_t length = body.Size();
  if (flags.pre != 0 && length > 0) {
    shown = PreDecode(shown, &length, flags.pre == 2);
    if (!shown) {
      if (flags.pre == 1) out.Append(LoadString(IDS_ENCRYPTED_DATA));
      return ByteCursor();
    }
  }
  if (flags.compact || !flags.flate || flags.image || length <= 0) return ByteCursor(shown, length);
  const ByteCursor decoded(shown, length);
  const bool header = length > 2 && PdfIsZlibHeader(decoded.PeekU8(0), decoded.PeekU8(1));
  const int64_t skip = header ? 2 : 0;
  int64_t n = PdfInflate(inflater, shown + skip, length - skip, stream.data(), StreamRoom());
  if (n == -3 && GrowStreamBuffers(capacity)) {
    if (flags.pre != 0) shown = collect.data();  // the input moved with its buffer
    n = PdfInflate(inflater, shown + skip, length - skip, stream.data(), StreamRoom());
  }
  if (n < 0) {
    // Every inflation failure of the listing, a stream too large included, is one
    // that cannot be read here.
    out.Append(LoadString(IDS_UNSUPPORTED_FORMAT));
    out.Append(" 010");
    return ByteCursor();
  }
  return ByteCursor(stream.data(), n);
}

void PdfReader::SourceHex(DisplayWriter& out, const ByteCursor& shown, bool compact) {
  const int64_t length = shown.Size();
  const int64_t count = compact ? length : std::min<int64_t>(length, 256);
  char text[8];
  for (int64_t i = 0; i < count && out.Pos() < outLimit; ++i) {
    if (i % 16 == 0) out.Append(compact ? "\r\n$~ " : "\r\n");
    std::snprintf(text, sizeof text, "%02x ", shown.PeekU8(i));
    out.Append(text);
  }
  if (!compact && length >= 256) out.Append(kDots);  // the dump was cut at 256 bytes
}

void PdfReader::SourceText(DisplayWriter& out, const ByteCursor& shown) {
  int bad = 0;
  for (int64_t i = 0; i < shown.Size(); ++i) {
    const uint8_t b = shown.PeekU8(i);
    if (b < 0x07 || (b >= 0x0E && b <= 0x1F)) ++bad;
    if (b == '(' || b == ')') bad -= 10;
    if (bad >= 100 || out.Pos() >= outLimit - 10000) {
      out.Append(kDots);
      break;
    }
    if (b == '\r' && shown.PeekU8(i + 1) != '\n') out.Append("\r\n");
    else if (b < 0x20 && b != '\r' && b != '\n') out.Put(static_cast<char>(b + 0xB1));
    else out.Put(static_cast<char>(b));
  }
}
