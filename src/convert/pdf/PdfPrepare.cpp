// The preparation of a PDF conversion: the buffers, the empty canvas, object
// streams unpacked into the raw bytes (pass 1) and the object index with the font
// and image classification of every object (pass 2).
#include <algorithm>
#include <cstring>

#include "app/QelDoc.h"
#include "convert/dump/DumpCall.h"
#include "convert/pdf/PdfContent.h"
#include "convert/pdf/PdfReader.h"
#include "convert/pdf/PdfStreamDecode.h"

namespace {

constexpr int64_t kSpare = 10005;

// The first place of `word` in b[from..to), or -1.
int64_t Find(const PdfBytes& b, int64_t from, int64_t to, std::string_view word) {
  to = std::min(to, b.size);
  if (from < 0 || to - from < static_cast<int64_t>(word.size())) return -1;
  const void* hit = memmem(b.data + from, static_cast<size_t>(to - from), word.data(), word.size());
  return hit ? static_cast<const uint8_t*>(hit) - b.data : -1;
}

// The integer after a key found in b[from..to), or -1.
int64_t KeyValue(const PdfBytes& b, int64_t from, int64_t to, std::string_view key) {
  for (int64_t at = Find(b, from, to, key); at >= 0; at = Find(b, at + 1, to, key)) {
    int64_t p = at + static_cast<int64_t>(key.size());
    if (PdfIsDigit(b[p]) || PdfIsDigit(b[p - 1]) || (b[p] >= 'A' && b[p] <= 'z')) continue;
    while (p < to && PdfIsBlank(b[p])) ++p;
    int64_t v = 0;
    int n = 0;
    while (PdfIsDigit(b[p]) && n < 10) {
      v = v * 10 + (b[p++] - '0');
      ++n;
    }
    if (n > 0) return v;
  }
  return -1;
}

}  // namespace

PdfReader::PdfReader(CQelDoc& d, DumpCall& c)
    : doc(d), call(c), raw{d.m_pRawData, d.m_nRawLen}, pos(d.m_nRawPos), tok(raw, d.m_nRawPos) {}

PdfReader::~PdfReader() = default;

bool PdfReader::AllocateBuffers() {
  const int64_t inputLimit = std::max<int64_t>(doc.m_nRawLen, 0);
  capacity = std::max<int64_t>(std::min<int64_t>(doc.m_nBmpDataLimit, 64 * inputLimit), 2000000);
  // The buffers grow to the capacity only when a stream needs it.
  const int64_t start = std::min<int64_t>(capacity, 256 << 10) + kSpare;
  return plat::TryResize(collect, static_cast<size_t>(start), &doc.m_allocHook) &&
         plat::TryResize(stream, static_cast<size_t>(start), &doc.m_allocHook);
}

bool PdfReader::GrowStreamBuffers(int64_t need) {
  const int64_t want = std::min(std::max(need, static_cast<int64_t>(stream.size()) * 2), capacity) + kSpare;
  if (static_cast<int64_t>(stream.size()) >= want) return true;
  return plat::TryResize(collect, static_cast<size_t>(want), &doc.m_allocHook) &&
         plat::TryResize(stream, static_cast<size_t>(want), &doc.m_allocHook);
}

int64_t PdfReader::StreamRoom() const { return std::min<int64_t>(static_cast<int64_t>(stream.size()) - kSpare, capacity); }

void PdfReader::FillCanvas() {
  // The frame allocates the canvas zeroed: every cell is empty already.
  rows = std::max(doc.m_nTableRows, 10);
  lineEnd.assign(static_cast<size_t>(call.cellRows), 0);
  PrepareSeparator(301, 2);
}

void PdfReader::UnpackObjectStreams() {
  // Objects are appended behind the file's bytes, inside the buffer that holds them.
  if (doc.m_pRawData != doc.m_rawStore.data()) return;
  const int64_t room = static_cast<int64_t>(doc.m_rawStore.size()) - 1000;
  int64_t at = 0;
  const int64_t originalEnd = raw.size;
  while ((at = Find(raw, at, originalEnd, "/ObjSt")) >= 0) {
    AppendObjectStream(at);
    at += 6;
    if (raw.size >= room) break;
  }
}

void PdfReader::AppendObjectStream(int64_t at) {
  const int64_t roomEnd = static_cast<int64_t>(doc.m_rawStore.size()) - 1000;
  // The dictionary begins after the last "obj" before the name.
  int64_t dictStart = std::max<int64_t>(at - 600, 0);
  for (int64_t p = at - 3; p > dictStart; --p) {
    if (raw[p] == 'o' && raw.Match(p, "obj")) {
      dictStart = p;
      break;
    }
  }
  const int64_t streamAt = Find(raw, at, at + 4000, "stream");
  if (streamAt < 0) return;
  const int64_t count = KeyValue(raw, dictStart, streamAt, "/N");
  const int64_t first = KeyValue(raw, dictStart, streamAt, "/First");
  int64_t data = streamAt + 6;
  if (raw[data] == '\r') ++data;
  if (raw[data] == '\n') ++data;
  if (!PdfIsZlibHeader(raw[data], raw[data + 1])) return;  // only Flate object streams are read
  int64_t end = Find(raw, data, raw.size, "endstream");
  if (end < 0) end = raw.size;
  const int64_t length = std::min(end - (data + 2), capacity);
  if (length <= 0) return;
  int64_t n = PdfInflate(inflater, raw.data + data + 2, length, stream.data(), StreamRoom());
  if (n == -3 && GrowStreamBuffers(capacity)) n = PdfInflate(inflater, raw.data + data + 2, length, stream.data(), StreamRoom());
  if (n <= 0) return;
  const PdfBytes body{stream.data(), n};

  // The header: pairs of object number and offset, /N of them; the objects begin
  // at /First (else at the first byte that starts a value).
  struct Entry {
    int number;
    int64_t offset;
  };
  std::vector<Entry> entries;
  int64_t p = 0;
  const int64_t wanted = count >= 0 ? std::min<int64_t>(count, 100000) : 290;
  while (static_cast<int64_t>(entries.size()) < wanted && p < n) {
    while (p < n && PdfIsBlank(body[p])) ++p;
    if (!PdfIsDigit(body[p])) break;
    int64_t num = 0, off = 0;
    while (PdfIsDigit(body[p]) && num < 1000000) num = num * 10 + (body[p++] - '0');
    while (p < n && PdfIsBlank(body[p])) ++p;
    if (!PdfIsDigit(body[p])) break;
    while (PdfIsDigit(body[p]) && off < (int64_t{1} << 40)) off = off * 10 + (body[p++] - '0');
    entries.push_back({static_cast<int>(std::min<int64_t>(num, 999999)), off});
  }
  int64_t base = first;
  if (base < 0 || base > n) {
    base = p;
    while (base < n && PdfIsBlank(body[base])) ++base;
  }
  std::vector<int64_t> starts;
  for (const Entry& e : entries) starts.push_back(std::min(base + e.offset, n));
  std::vector<int64_t> sorted = starts;
  std::sort(sorted.begin(), sorted.end());

  uint8_t* out = doc.m_pRawData;
  int64_t size = raw.size;
  for (size_t i = 0; i < entries.size(); ++i) {
    const int64_t from = starts[i];
    const auto next = std::upper_bound(sorted.begin(), sorted.end(), from);
    const int64_t to = next == sorted.end() ? n : *next;
    char head[40];
    const int h = std::snprintf(head, sizeof head, "\r\n%d 0 obj ", entries[i].number);
    const char tail[] = "\r\nendobj\r\n";
    const int64_t need = h + (to - from) + static_cast<int64_t>(sizeof tail) - 1;
    if (size + need > roomEnd) break;
    std::memcpy(out + size, head, static_cast<size_t>(h));
    std::memcpy(out + size + h, stream.data() + from, static_cast<size_t>(to - from));
    std::memcpy(out + size + h + (to - from), tail, sizeof tail - 1);
    size += need;
  }
  raw.size = size;
  doc.m_nRawLen = size;
}

void PdfReader::IndexObjects() {
  int current = 0;
  const int64_t end = raw.size - 6;
  int64_t lastWidth = 0, lastHeight = 0;
  auto ref = [&](int64_t from) {
    const int64_t keep = pos;
    const int r = tok.PdfNextToken(from, 9);
    pos = keep;
    return r;
  };
  auto value = [&](int64_t from) { return tok.PdfNextToken(from, 1); };
  for (int64_t i = 0; i < end; ++i) {
    const uint8_t t = raw[i];
    if (t != ' ' && t != '/' && t != '<' && t != '\r' && t != '\n' && t != 's') continue;
    if (t == 's') {
      // A stream body holds no names of its own: passed over whole.
      if (current > 0 && raw.Match(i, "stream") && !PdfIsDigit(raw[i - 1]) && raw[i - 1] != 'd') {
        const int64_t stop = Find(raw, i + 6, raw.size, "endstream");
        if (stop > 0) i = stop + 8;
      }
      continue;
    }
    if (PdfIsBlank(t) && raw.Match(i + 1, "obj") && raw[i + 4] != 'e') {
      const int n = tok.PdfNextToken(i, 7);
      current = n >= 1 && n < kPdfMaxObjects ? n : 0;
      if (current) objectOffsets[current] = i;
      continue;
    }
    if (t == '/' || t == '<' || t == ' ') {
      const int64_t s = i + 1;
      if (raw.Match(s, "DCTDe") || raw.Match(s, "JPXDe") || raw.Match(s, "LZWDe") || raw.Match(s, "CCITT") ||
          raw.Match(s, "JBIG2")) {
        const uint16_t code = raw[s] == 'D' ? 2 : raw[s] == 'J' ? (raw[s + 1] == 'P' ? 12 : 9) : raw[s] == 'L' ? 7 : 6;
        if (current) objectFlags[current] = static_cast<uint16_t>((objectFlags[current] & 0xFFF0) | code);
        continue;
      }
      if (raw.Match(s, "MediaBox")) {
        int64_t p = s + 8;
        while (p < s + 20 && raw[p] != '[') ++p;
        int found = 0;
        for (int64_t q = p + 1; q < p + 50 && raw[q] != ']' && found < 4; ++q) {
          if (PdfIsDigit(raw[q]) || raw[q] == '-' || raw[q] == '.') {
            const int v = ParsePdfNumberShort(raw, q);
            ++found;
            if (found >= 3 && v > 10000 && v < 200000) (found == 3 ? pageX2 : pageY2) = v + 100;
            while (PdfIsDigit(raw[q]) || raw[q] == '-' || raw[q] == '.') ++q;
          }
        }
        continue;
      }
    }
    if (t != '/') continue;
    const int64_t s = i + 1;
    uint16_t* flags = current ? &objectFlags[current] : nullptr;
    if (raw.Match(s, "Iden")) {
      if (flags && raw[i + 9] == '-') objectKind[current] |= 8;
      if (flags && raw[i + 9] == '-' && raw[i + 10] == 'V') *flags |= kPdfVertical;
      if (flags && raw[i + 9] == '-' && raw[i + 10] == 'H') *flags &= ~kPdfVertical;
    } else if (raw.Match(s, "ToUn")) {
      const int r = ref(s + 9);
      int64_t q = s + 9;
      while (q < s + 14 && PdfIsBlank(raw[q])) ++q;
      // "/ToUnicode /Identity-H": the codes are UCS-2 themselves.
      if (flags && raw.Match(q, "/Identity")) objectKind[current] |= 16;
      if (flags && r > 0 && r < kPdfMaxObjects) {
        objectRefs[current] = static_cast<uint16_t>(r);
        // A ToUnicode map after an encoding replaces its differences; a simple
        // (one-byte) font stays one.
        if ((*flags & 0x8F) == 0x8F) *flags = static_cast<uint16_t>(0x0050 | (*flags & 0x80));
        else if (*flags & kPdfType1) *flags |= kPdfType1Unicode;
      }
    } else if (raw.Match(s, "Encod")) {
      const int r = ref(s + 8);
      if (flags && r > 0 && r < kPdfMaxObjects) {
        if (objectRefs[current] == 0) {
          objectRefs[current] = static_cast<uint16_t>(r);
          *flags |= kPdfDifferences;
        }
      } else if (flags) {
        for (int64_t q = s + 8; q < s + 38; ++q) {
          if (raw.Match(q, "J-V")) *flags |= kPdfVertical;
          if (raw.Match(q, "J-H")) *flags &= ~kPdfVertical;
          if (raw.Match(q, "RKSJ")) objectKind[current] |= 4;
          if (raw[q] == '/' && q > s + 9) break;
        }
      }
    } else if (raw.Match(s, "WinAn")) {
      if (flags) *flags |= kPdfDifferences;
    } else if (raw.Match(s, "LastC")) {
      const int v = value(i);
      if (flags && v >= 1 && v <= 255) *flags |= kPdfSimpleFont;
    } else if (raw.Match(s, "UniJ")) {
      if (flags) *flags |= kPdfUniJis;
    } else if (raw.Match(s, "Type1")) {
      if (flags) *flags |= kPdfType1;
    } else if ((raw.Match(s, "Width") && raw[s + 5] != 's') || (raw.Match(s, "Height") && raw[s + 6] != 's')) {
      const bool width = raw[s] == 'W';
      int64_t v = value(i);
      if (v > 9) {
        v = std::min<int64_t>(v, 2000);
        (width ? lastWidth : lastHeight) = v;
        if (flags) {
          const uint16_t bits = static_cast<uint16_t>(((v >> 7) | 1) & 0x0F);
          *flags = width ? static_cast<uint16_t>((*flags & 0xF0FF) | bits << 8) : static_cast<uint16_t>((*flags & 0x0FFF) | bits << 12);
        }
      }
    } else if (raw.Match(s, "Subtype")) {
      int64_t q = s + 7;
      while (q < s + 12 && (PdfIsBlank(raw[q]) || raw[q] == '/')) ++q;
      if (current && raw.Match(q, "Image")) objectKind[current] |= 1;
      if (current && raw.Match(q, "Form")) objectKind[current] |= 2;
    } else if (raw.Match(s, "Root")) {
      const int r = ref(s + 4);
      if (r > 0) root = r;
    } else if (raw.Match(s, "Encry")) {
      encrypted = true;
      return;
    }
  }
}
