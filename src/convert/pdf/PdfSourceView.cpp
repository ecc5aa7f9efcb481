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
  const bool compact = doc.m_bRepeat != 0;
  DisplayWriter out = doc.ConvWriter();
  out.SetPos(0);
  out.Append("%P");
  const auto room = [&]() { return out.Pos() < limit; };
  bool flate = false, image = false;
  int pre = 0;
  int64_t p = std::max<int64_t>(pos, 0);
  char text[64];
  while (p < raw.size && room()) {
    const uint8_t c = raw[p++];
    if (c == '/' || c == 'e') {
      if (raw.Match(p, "Flat")) flate = true;
      else if (raw.Match(p, "Image") && (raw[p + 5] < 0x21 || raw[p + 5] == '/')) image = true;
      else if (raw.Match(p, "ASCII")) pre = 1;
      else if (raw.Match(p, "LZWDe")) pre = 2;
      else if (c == 'e' && raw.Match(p, "ndobj")) {
        flate = image = false;
        pre = 0;
        if (compact) {
          out.Append("endobj");
          p += 5;
          std::snprintf(text, sizeof text, "\n$$               %lld", static_cast<long long>(p));
          out.Append(text);
          continue;
        }
      }
    }
    if (c != 'd' && c != 'n' && raw[p] == 't' && raw.Match(p - 1, "stream") && !raw.Match(p - 4, "endstream")) {
      // A stream: its data after "stream" and one end of line.
      int64_t data = p + 5;
      if (raw[data] == '\r') ++data;
      if (raw[data] == '\n') ++data;
      const uint8_t b0 = raw[data], b1 = raw[data + 1];
      const bool zlib = PdfIsZlibHeader(b0, b1) || (b0 == 0xFF && b1 == 0xD8);
      const bool coded = !(b0 == 'B' && b1 == 'T') && (b0 == 'H' || b0 == 'x' || b1 < 0x20 || b1 >= 0x7F || flate);
      if (coded && flate && pre == 0 && !zlib) {
        out.Put(static_cast<char>(c));  // not Flate data after all: copied as it stands
        continue;
      }
      out.Put(static_cast<char>(c));
      if (compact) out.Append("tream");
      else if (doc.m_nCsvMode != 0) out.Append("tream\r\n");
      else {
        std::snprintf(text, sizeof text, "tream  adrs = %llx\r\n", static_cast<unsigned long long>(data));
        out.Append(text);
      }
      const void* hit = data < raw.size ? memmem(raw.data + data, static_cast<size_t>(raw.size - data), "endstream", 9) : nullptr;
      const int64_t end = hit ? static_cast<const uint8_t*>(hit) - raw.data : raw.size;
      int64_t length = std::clamp<int64_t>(end - data, 0, capacity);
      const uint8_t* shown = raw.data + data;
      if (coded) {
        if (pre != 0 && length > 0) {
          shown = PreDecode(shown, &length, pre == 2);
          if (!shown) {
            length = 0;
            shown = raw.data + data;
            if (pre == 1) out.Append(LoadString(147));
          }
        }
        if (!compact && flate && !image && length > 0) {
          const bool header = length > 2 && PdfIsZlibHeader(shown[0], shown[1]);
          int64_t n = PdfInflate(inflater, shown + (header ? 2 : 0), length - (header ? 2 : 0), stream.data(), StreamRoom());
          if (n == -3 && GrowStreamBuffers(capacity)) {
            if (pre != 0) shown = collect.data();
            n = PdfInflate(inflater, shown + (header ? 2 : 0), length - (header ? 2 : 0), stream.data(), StreamRoom());
          }
          if (n < 0) {
            out.Append(LoadString(n == -3 ? 150 : IDS_UNSUPPORTED_FORMAT));
            out.Append(" 010");
            length = 0;
          } else {
            length = n;
            shown = stream.data();
          }
        }
      }
      if (doc.m_nCsvMode == 0) {
        const int64_t count = compact ? length : std::min<int64_t>(length, 256);
        for (int64_t i = 0; i < count && room(); ++i) {
          if (i % 16 == 0) out.Append(compact ? "\r\n$~ " : "\r\n");
          std::snprintf(text, sizeof text, "%02x ", shown[i]);
          out.Append(text);
        }
        if (!compact && length > 256) out.Append(kDots);
      } else if (!image) {
        int bad = 0;
        for (int64_t i = 0; i < length; ++i) {
          const uint8_t b = shown[i];
          if (b < 0x07 || (b >= 0x0E && b <= 0x1F)) ++bad;
          if (b == '(' || b == ')') bad -= 10;
          if (bad >= 100 || out.Pos() >= limit - 10000) {
            out.Append(kDots);
            break;
          }
          if (b == '\r' && (i + 1 >= length || shown[i + 1] != '\n')) out.Append("\r\n");
          else if (b < 0x20 && b != '\r' && b != '\n') out.Put(static_cast<char>(b + 0xB1));
          else out.Put(static_cast<char>(b));
        }
      }
      out.Append(compact ? "\r\nendstream\r\n" : "\r\n\r\nendstream\r\n");
      flate = image = false;
      pre = 0;
      p = std::min(end + 9, raw.size);
      continue;
    }
    // Outside streams: control bytes shown as 0x7F, a lone CR as CR LF.
    if (c == '\r' && raw[p] != '\n') out.Append("\r\n");
    else if (c < 0x20 && c != 0 && c != '\r' && c != '\n') out.Put(0x7F);
    else if (c == 0) out.Put(' ');
    else out.Put(static_cast<char>(c));
  }
  if (out.Pos() >= limit) {
    out.SetPos(static_cast<int>(std::max<int64_t>(limit - 90, 0)));
    out.Append("\r\n\r\n");
    out.Append(LoadString(150));
  }
}
