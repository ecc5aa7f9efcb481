// The preparation of a PDF conversion: the buffers, the empty canvas, object
// streams unpacked into the raw bytes (pass 1) and the object index with the font
// and image classification of every object (pass 2).
#include <algorithm>
#include <cstring>

#include "app/QelDoc.h"
#include "base/CheckedSize.h"
#include "convert/ConvertState.h"
#include "convert/dump/DumpCall.h"
#include "convert/pdf/PdfContent.h"
#include "convert/pdf/PdfReader.h"
#include "convert/pdf/PdfStreamDecode.h"

namespace {

constexpr int64_t kSpare = 10005;

// The integer after a key found from `from` up to `to`, or -1.
int64_t KeyValue(const ByteCursor& b, int64_t from, int64_t to, std::string_view key) {
  for (int64_t at = PdfFind(b, from, to, key); at >= 0; at = PdfFind(b, at + 1, to, key)) {
    int64_t p = at + static_cast<int64_t>(key.size());
    if (PdfIsDigit(b.PeekU8(p)) || PdfIsDigit(b.PeekU8(p - 1)) || (b.PeekU8(p) >= 'A' && b.PeekU8(p) <= 'z')) continue;
    while (p < to && PdfIsBlank(b.PeekU8(p))) ++p;
    int64_t v = 0;
    int n = 0;
    while (PdfIsDigit(b.PeekU8(p)) && n < 10) {
      v = v * 10 + (b.PeekU8(p++) - '0');
      ++n;
    }
    if (n > 0) return v;
  }
  return -1;
}

}  // namespace

PdfReader::PdfReader(CQelDoc& d, DumpCall& c)
    : doc(d), call(c), raw{d.Convert().m_pRawData, d.Convert().m_nRawLen}, pos(d.Convert().m_nRawPos), tok(raw, pos) {}

PdfReader::~PdfReader() = default;

bool PdfReader::AllocateBuffers() {
  const int64_t inputLimit = std::max<int64_t>(doc.Convert().m_nRawLen, 0);
  capacity = std::max<int64_t>(std::min<int64_t>(doc.m_nBmpDataLimit, 64 * inputLimit), 2000000);
  // The buffers grow to the capacity only when a stream needs it.
  const int64_t start = std::min<int64_t>(capacity, 256 << 10) + kSpare;
  return TryAllocate(collect, start, 1, 0, &doc.m_allocHook) && TryAllocate(stream, start, 1, 0, &doc.m_allocHook);
}

bool PdfReader::GrowStreamBuffers(int64_t need) {
  const int64_t want = std::min(std::max(need, static_cast<int64_t>(stream.size()) * 2), capacity) + kSpare;
  if (static_cast<int64_t>(stream.size()) >= want) return true;
  return TryAllocate(collect, want, 1, 0, &doc.m_allocHook) && TryAllocate(stream, want, 1, 0, &doc.m_allocHook);
}

int64_t PdfReader::StreamRoom() const { return std::min<int64_t>(static_cast<int64_t>(stream.size()) - kSpare, capacity); }

void PdfReader::FillCanvas() {
  // The frame allocates the canvas zeroed: every cell is empty already.
  rows = std::max(call.tableRows, 10);
  lineEnd.assign(static_cast<size_t>(call.cellRows), 0);
  PrepareSeparator(301, 2);
}

void PdfReader::UnpackObjectStreams() {
  // Objects are appended behind the file's bytes, inside the buffer that holds them.
  if (doc.Convert().m_pRawData != doc.Convert().m_rawStore.data()) return;
  const int64_t room = static_cast<int64_t>(doc.Convert().m_rawStore.size()) - 1000;
  int64_t at = 0;
  const int64_t originalEnd = raw.Size();
  while ((at = PdfFind(raw, at, originalEnd, "/ObjSt")) >= 0) {
    AppendObjectStream(at);
    at += 6;
    if (raw.Size() >= room) break;
  }
}

void PdfReader::AppendObjectStream(int64_t at) {
  const int64_t roomEnd = static_cast<int64_t>(doc.Convert().m_rawStore.size()) - 1000;
  // The dictionary begins after the last "obj" before the name.
  int64_t dictStart = std::max<int64_t>(at - 600, 0);
  for (int64_t p = at - 3; p > dictStart; --p) {
    if (raw.PeekU8(p) == 'o' && PdfMatch(raw, p, "obj")) {
      dictStart = p;
      break;
    }
  }
  const int64_t streamAt = PdfFind(raw, at, at + 4000, "stream");
  if (streamAt < 0) return;
  const int64_t count = KeyValue(raw, dictStart, streamAt, "/N");
  const int64_t first = KeyValue(raw, dictStart, streamAt, "/First");
  int64_t data = streamAt + 6;
  if (raw.PeekU8(data) == '\r') ++data;
  if (raw.PeekU8(data) == '\n') ++data;
  if (!PdfIsZlibHeader(raw.PeekU8(data), raw.PeekU8(data + 1))) return;  // only Flate object streams are read
  int64_t end = endstream_.Next(raw, data);
  if (end < 0) end = raw.Size();
  const int64_t length = std::min(end - (data + 2), capacity);
  if (length <= 0) return;
  const auto packed = raw.PeekBytes(data + 2, length);
  const auto inflate = [&] { return PdfInflate(inflater, packed.data(), static_cast<int64_t>(packed.size()), stream.data(), StreamRoom()); };
  int64_t n = inflate();
  if (n == -3 && GrowStreamBuffers(capacity)) n = inflate();
  if (n <= 0) return;
  const ByteCursor body(stream.data(), n);

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
    while (p < n && PdfIsBlank(body.PeekU8(p))) ++p;
    if (!PdfIsDigit(body.PeekU8(p))) break;
    int64_t num = 0, off = 0;
    while (PdfIsDigit(body.PeekU8(p)) && num < 1000000) num = num * 10 + (body.PeekU8(p++) - '0');
    while (p < n && PdfIsBlank(body.PeekU8(p))) ++p;
    if (!PdfIsDigit(body.PeekU8(p))) break;
    while (PdfIsDigit(body.PeekU8(p)) && off < (int64_t{1} << 40)) off = off * 10 + (body.PeekU8(p++) - '0');
    entries.push_back({static_cast<int>(std::min<int64_t>(num, 999999)), off});
  }
  int64_t base = first;
  if (base < 0 || base > n) {
    base = p;
    while (base < n && PdfIsBlank(body.PeekU8(base))) ++base;
  }
  std::vector<int64_t> starts;
  for (const Entry& e : entries) starts.push_back(std::min(base + e.offset, n));
  std::vector<int64_t> sorted = starts;
  std::sort(sorted.begin(), sorted.end());

  uint8_t* out = doc.Convert().m_pRawData;
  int64_t size = raw.Size();
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
  raw = ByteCursor(doc.Convert().m_pRawData, size);
  doc.Convert().m_nRawLen = size;
}

void PdfReader::IndexObjects() {
  int current = 0;
  const int64_t end = raw.Size() - 6;
  for (int64_t i = 0; i < end; ++i) {
    const uint8_t t = raw.PeekU8(i);
    if (t != ' ' && t != '/' && t != '<' && t != '\r' && t != '\n' && t != 's') continue;
    if (t == 's') {
      // A stream body holds no names of its own: passed over whole.
      if (current > 0 && PdfMatch(raw, i, "stream") && !PdfIsDigit(raw.PeekU8(i - 1)) && raw.PeekU8(i - 1) != 'd') {
        const int64_t stop = endstream_.Next(raw, i + 6);
        if (stop > 0) i = stop + 8;
      }
      continue;
    }
    if (PdfIsBlank(t) && PdfMatch(raw, i + 1, "obj") && raw.PeekU8(i + 4) != 'e') {
      const int n = tok.PdfNextToken(i, kPdfStrictObject);
      current = n >= 1 && n < kPdfMaxObjects ? n : 0;
      if (current) objectOffsets[current] = i;
      continue;
    }
    if ((t == '/' || t == '<' || t == ' ') && IndexFilterOrBox(i + 1, current)) continue;
    if (t == '/' && !IndexName(i, current)) return;
  }
}

bool PdfReader::IndexFilterOrBox(int64_t s, int current) {
  if (PdfMatch(raw, s, "DCTDe") || PdfMatch(raw, s, "JPXDe") || PdfMatch(raw, s, "LZWDe") || PdfMatch(raw, s, "CCITT") ||
      PdfMatch(raw, s, "JBIG2")) {
    const uint16_t code = raw.PeekU8(s) == 'D' ? 2 : raw.PeekU8(s) == 'J' ? (raw.PeekU8(s + 1) == 'P' ? 12 : 9) : raw.PeekU8(s) == 'L' ? 7 : 6;
    if (current) objectFlags[current] = static_cast<uint16_t>((objectFlags[current] & 0xFFF0) | code);
    return true;
  }
  if (PdfMatch(raw, s, "MediaBox")) {
    ReadMediaBox(s + 8);
    return true;
  }
  return false;
}

bool PdfReader::IndexName(int64_t i, int current) {
  auto ref = [&](int64_t from) {
    const int64_t keep = pos;
    const int r = tok.PdfNextToken(from, kPdfNextRef);
    pos = keep;
    return r;
  };
  auto value = [&](int64_t from) { return tok.PdfNextToken(from, kPdfKeyValue); };
  const int64_t s = i + 1;
  uint16_t* flags = current ? &objectFlags[current] : nullptr;
  if (PdfMatch(raw, s, "Iden")) {
    if (flags && raw.PeekU8(i + 9) == '-') objectKind[current] |= 8;
    if (flags && raw.PeekU8(i + 9) == '-' && raw.PeekU8(i + 10) == 'V') *flags |= kPdfVertical;
    if (flags && raw.PeekU8(i + 9) == '-' && raw.PeekU8(i + 10) == 'H') *flags &= ~kPdfVertical;
  } else if (PdfMatch(raw, s, "ToUn")) {
    const int r = ref(s + 9);
    int64_t q = s + 9;
    while (q < s + 14 && PdfIsBlank(raw.PeekU8(q))) ++q;
    // "/ToUnicode /Identity-H": the codes are UCS-2 themselves.
    if (flags && PdfMatch(raw, q, "/Identity")) objectKind[current] |= 16;
    if (flags && r > 0 && r < kPdfMaxObjects) {
      objectRefs[current] = static_cast<uint16_t>(r);
      // A ToUnicode map after an encoding replaces its differences; a simple
      // (one-byte) font stays one.
      if ((*flags & 0x8F) == 0x8F) *flags = static_cast<uint16_t>(0x0050 | (*flags & 0x80));
      else if (*flags & kPdfType1) *flags |= kPdfType1Unicode;
    }
  } else if (PdfMatch(raw, s, "Encod")) {
    const int r = ref(s + 8);
    if (flags && r > 0 && r < kPdfMaxObjects) {
      if (objectRefs[current] == 0) {
        objectRefs[current] = static_cast<uint16_t>(r);
        *flags |= kPdfDifferences;
      }
    } else if (flags) {
      for (int64_t q = s + 8; q < s + 38; ++q) {
        if (PdfMatch(raw, q, "J-V")) *flags |= kPdfVertical;
        if (PdfMatch(raw, q, "J-H")) *flags &= ~kPdfVertical;
        if (PdfMatch(raw, q, "RKSJ")) objectKind[current] |= 4;
        if (raw.PeekU8(q) == '/' && q > s + 9) break;
      }
    }
  } else if (PdfMatch(raw, s, "WinAn")) {
    if (flags) *flags |= kPdfDifferences;
  } else if (PdfMatch(raw, s, "LastC")) {
    const int v = value(i);
    if (flags && v >= 1 && v <= 255) *flags |= kPdfSimpleFont;
  } else if (PdfMatch(raw, s, "UniJ")) {
    if (flags) *flags |= kPdfUniJis;
  } else if (PdfMatch(raw, s, "Type1")) {
    if (flags) *flags |= kPdfType1;
  } else if ((PdfMatch(raw, s, "Width") && raw.PeekU8(s + 5) != 's') || (PdfMatch(raw, s, "Height") && raw.PeekU8(s + 6) != 's')) {
    const bool width = raw.PeekU8(s) == 'W';
    int64_t v = value(i);
    if (v > 9) {
      v = std::min<int64_t>(v, 2000);
      if (flags) {
        const uint16_t bits = static_cast<uint16_t>(((v >> 7) | 1) & 0x0F);
        *flags = width ? static_cast<uint16_t>((*flags & 0xF0FF) | bits << 8) : static_cast<uint16_t>((*flags & 0x0FFF) | bits << 12);
      }
    }
  } else if (PdfMatch(raw, s, "Subtype")) {
    int64_t q = s + 7;
    while (q < s + 12 && (PdfIsBlank(raw.PeekU8(q)) || raw.PeekU8(q) == '/')) ++q;
    if (current && PdfMatch(raw, q, "Image")) objectKind[current] |= 1;
    if (current && PdfMatch(raw, q, "Form")) objectKind[current] |= 2;
  } else if (PdfMatch(raw, s, "Root")) {
    const int r = ref(s + 4);
    if (r > 0) root = r;
  } else if (PdfMatch(raw, s, "Encry")) {
    encrypted = true;
    return false;
  }
  return true;
}
