// The walk over the PDF outside streams, from the document root down the page
// tree: the dictionary keys that matter are recognised, references followed depth
// first with the reference stack, pages started on their canvas lines, content
// streams decoded and interpreted; at the end the canvas is written line by line.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/FrameHost.h"
#include "app/Globals.h"
#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "convert/ConvertState.h"
#include "convert/dump/DumpCall.h"
#include "convert/pdf/PdfContent.h"
#include "convert/pdf/PdfReader.h"
#include "convert/pdf/PdfStreamDecode.h"
#include "convert/pdf/PdfValueReaders.h"
#include "codec/LzwDecode.h"
#include "frame/MainFrame.h"
#include "frame/StatusBar.h"
#include "platform/text/CodePage.h"

namespace {

constexpr int kFormChainLimit = 64;
constexpr int kSeparatorDashes = 129;

}  // namespace

char* PdfReader::Cell(int column, int line) { return call.Cell(column, line); }

uint8_t PdfReader::GetCell(int column, int line) {
  if (column < 0 || column > 511 || line < 0 || line >= call.cellRows) return 0;
  return static_cast<uint8_t>(*Cell(column, line));
}

void PdfReader::SetCell(int column, int line, uint8_t byte) {
  if (column < 0 || column > 511 || line < 0 || line >= call.cellRows) return;
  *Cell(column, line) = static_cast<char>(byte);
  if (column > 0 && byte > kEmptyCell) {
    placed = true;
    lineEnd[static_cast<size_t>(line)] = static_cast<int16_t>(std::max<int>(lineEnd[static_cast<size_t>(line)], column));
  }
}

void PdfReader::PrepareSeparator(int at, int page) {
  if (at < 0 || at >= call.cellRows) return;
  for (int col = 1; col <= kSeparatorDashes; ++col) *Cell(col, at) = '-';
  char number[16];
  const int n = std::snprintf(number, sizeof number, "P%02d", page);
  for (int i = 0; i < n; ++i) *Cell(3 + i, at) = number[i];
  lineEnd[static_cast<size_t>(at)] = kSeparatorDashes;
  separator[static_cast<size_t>(at)] = 1;
}

ConvertStatus PdfReader::Run() {
  doc.m_nConvPos = 0;
  outLimit = static_cast<int64_t>(doc.m_nOutDataLimit) - 2000;
  if (!AllocateBuffers()) {
    if (doc.m_nDisplayForm == 2) return ConvertStatus::OutOfMemory(" 009");
    return ConvertStatus::OutOfMemory(" 011").With(" cfmax = " + std::to_string(capacity));
  }
  if (doc.m_nDisplayForm == 2) {
    SourceView();
    return ConvertStatus::Ok();
  }
  if (doc.m_nDisplayForm != 0) return ConvertStatus::Ok();

  objectOffsets.assign(kPdfMaxObjects, 0);
  objectFlags.assign(kPdfMaxObjects, 0);
  objectRefs.assign(kPdfMaxObjects, 0);
  objectKind.assign(kPdfMaxObjects, 0);
  formParent.assign(kPdfMaxObjects, 0);
  resourceObjects.assign(kPdfResourceCodes + 1, 0);
  separator.assign(static_cast<size_t>(call.cellRows), 0);
  prefixes.fill(0);
  FillCanvas();
  UnpackObjectStreams();
  IndexObjects();
  content = std::make_unique<PdfContent>(*this);

  if (!encrypted) {
    // The root's catalog, or the file's start when the root is unknown or names no
    // object with a page tree.
    int64_t start = root > 0 && root < kPdfMaxObjects ? objectOffsets[static_cast<size_t>(root)] : 0;
    if (start > 0) {
      bool pages = false;
      for (int64_t p = start; p < std::min(start + 4000, raw.Size()) && !pages && !PdfMatch(raw, p, "endobj"); ++p) pages = PdfMatch(raw, p, "/Pages");
      if (!pages) start = 0;
    }
    pageRotation = 0;
    const int selected = doc.m_nSelectedItem;
    if (selected > 0 && selected < kPdfMaxObjects && doc.m_nSelectedItemView > 0 &&
        objectOffsets[static_cast<size_t>(selected)] > 0) {
      start = objectOffsets[static_cast<size_t>(selected)];
      imageDepth = 1;
      refs.top = 1;
      const int v = doc.m_nSelectedItemView - 97;
      doc.m_nSelectedItemView = v;
      doc.SetImageTurn(v >> 2, v & 3);
    }
    Walk(start);
  }
  if (doc.m_nSelectedItem >= 100000) return ConvertStatus::Ok();  // a picture is shown
  return Close();
}

void PdfReader::Walk(int64_t start) {
  pos = start;
  stepBudget = 64 * raw.Size() + 1000000;
  while (doc.m_nSelectedItem < 100000 && pos >= 0 && pos < raw.Size() && highestLine < rows - 4 && walkState >= 0 &&
         doc.m_nConvPos < outLimit && steps < stepBudget) {
    ++steps;
    WalkByte(raw.PeekU8(pos++));
    if ((steps & 0xFF) == 0 && g_pMainFrame && g_pMainFrame->CheckUserAbort()) walkState = -1;
  }
}

void PdfReader::WalkByte(uint8_t c) {
  switch (c) {
    case '/':
      WalkName();
      break;
    case ' ':
    case '\r':
    case '\n':
      if (raw.PeekU8(pos) == 'o' && PdfMatch(raw, pos, "obj") && raw.PeekU8(pos + 3) != 'e') ObjectStart();
      break;
    case 'e':
      if (raw.PeekU8(pos) == 'n' && PdfMatch(raw, pos, "ndobj")) {
        pos += 5;
        EndObject();
      }
      break;
    case 's':
      if (raw.PeekU8(pos) == 't' && PdfMatch(raw, pos, "tream") && raw.PeekU8(pos - 2) != 'd') StartStream();
      break;
    default:
      break;
  }
}

bool PdfReader::OnPath(int object) const {
  for (int i = 1; i <= refs.top && i < kPdfStackSize; ++i) {
    if (refs.keys[static_cast<size_t>(i)] == object && refs.positions[static_cast<size_t>(i)] != objectOffsets[static_cast<size_t>(object)]) return true;
  }
  return false;
}

void PdfReader::Pop() {
  if (refs.top <= 0) {
    walkState = -1;
    return;
  }
  pos = refs.positions[static_cast<size_t>(refs.top)];
  const int k = refs.keys[static_cast<size_t>(refs.top)];
  refs.positions[static_cast<size_t>(refs.top)] = 0;
  refs.keys[static_cast<size_t>(refs.top)] = 0;
  --refs.top;
  if (k > 0 && k < kPdfMaxObjects) key = k;
}

void PdfReader::ObjectStart() {
  const int n = tok.PdfNextToken(pos - 1, kPdfObjectNumber);
  streamKind = kNone;
  preFilter = 0;
  if (n <= 0 || n >= kPdfMaxObjects) {
    key = 0;
    return;
  }
  // An object already on the walk's path (a cycle of the page tree) is left at once.
  if (OnPath(n)) {
    Pop();
    return;
  }
  key = n;
  pos += 3;
  const int64_t keep = pos;
  if (tok.PdfPushRefs(refs, objectOffsets, key, 2, kPdfMaxObjects) <= 0 && pos == keep) pos = keep;
}

bool PdfReader::EnterObject(int object) {
  if (object <= 0 || object >= kPdfMaxObjects || objectOffsets[static_cast<size_t>(object)] <= 0 || OnPath(object) ||
      object == key || refs.top + 1 >= kPdfStackSize) {
    return false;
  }
  ++refs.top;
  refs.positions[static_cast<size_t>(refs.top)] = pos;
  refs.keys[static_cast<size_t>(refs.top)] = key;
  pos = objectOffsets[static_cast<size_t>(object)];
  return true;
}

void PdfReader::EnterForm(int object) {
  // A form drawn by itself, directly or through other forms, is not walked again.
  int parent = key;
  for (int i = 0; i < kFormChainLimit && parent > 0; ++i) {
    if (parent == object) return;
    parent = formParent[static_cast<size_t>(parent)];
  }
  if (objectOffsets[static_cast<size_t>(object)] <= 0 || refs.top + 1 >= kPdfStackSize) return;
  formParent[static_cast<size_t>(object)] = key;
  ++refs.top;
  refs.positions[static_cast<size_t>(refs.top)] = objectOffsets[static_cast<size_t>(object)];
  refs.keys[static_cast<size_t>(refs.top)] = object;
}

void PdfReader::WalkName() {
  const uint8_t first = raw.PeekU8(pos) >= 'a' && raw.PeekU8(pos) <= 'z' ? raw.PeekU8(pos) - 32 : raw.PeekU8(pos);
  const auto is = [&](std::string_view rest) { return PdfMatch(raw, pos + 1, rest); };
  const auto value = [&]() { return tok.PdfNextToken(pos, kPdfKeyValue); };
  switch (first) {
    case 'P':
      if (is("ages") && !PdfIsDigit(raw.PeekU8(pos + 5)) && raw.PeekU8(pos + 5) < 0x40) {
        const int64_t keep = pos;
        const int r = tok.PdfNextToken(pos + 5, kPdfNextRef);
        if (r <= 0 || !EnterObject(r)) pos = keep + 5;
      } else if (is("age") && raw.PeekU8(pos + 4) < 0x40) {
        pos += 4;
        StartPage();
      } else if (is("attern") || is("roperties")) {
        SkipInlineDictionary();
      }
      break;
    case 'K':
      if (is("ids")) {
        pos += 4;
        const int64_t keep = pos;
        if (tok.PdfPushRefs(refs, objectOffsets, key, 1, kPdfMaxObjects) <= 0 && refs.top == 0 && pos == 0) pos = keep;
      }
      break;
    case 'R':
      if (is("esources")) {
        pos += 9;
        const int64_t keep = pos;
        const int r = tok.PdfNextToken(pos, kPdfNextRef);
        if (r == -99) break;  // an inline dictionary: walked in place
        if (r <= 0 || !EnterObject(r)) pos = keep;
      } else if (is("otate")) {
        pageRotation = NormalRotation(value());
      }
      break;
    case 'M':
      if (is("ediaBox")) ReadMediaBox(pos + 8);
      break;
    case 'F':
      if (is("ont") && !(raw.PeekU8(pos + 4) >= 'A' && raw.PeekU8(pos + 4) <= 'z')) {
        pos += 4;
        ReadResourceDict(true);
      } else if (is("lateDecode") || (is("l") && raw.PeekU8(pos + 2) <= ' ')) {
        if (streamKind == kNone) streamKind = kFlate;
      }
      break;
    case 'X':
      if (is("Object")) {
        pos += 7;
        ReadResourceDict(false);
      }
      break;
    case 'C':
      if (is("ontents")) {
        pos += 8;
        if (tok.PdfReadRefList(contentList) > 0) contentDepth = refs.top;
        else contentList.clear();
      } else if (is("CITT")) {
        streamKind = kCcitt;
      }
      break;
    case 'W':
      if (is("idth") && raw.PeekU8(pos + 5) != 's') imageWidth = value();
      break;
    case 'H':
      if (is("eight") && raw.PeekU8(pos + 6) != 's') imageHeight = value();
      break;
    case 'B':
      if (is("itsP")) imageBits = value();
      break;
    case 'A':
      if (is("SCII85") || is("85")) {
        preFilter = 1;
        if (doc.m_nCsvMode == 2) content->TableNote("[ASCII85 data] ");
      }
      break;
    case 'L':
      if (is("ZWDe") || (is("ZW") && raw.PeekU8(pos + 3) <= ' ')) preFilter = 2;  // decoded before any other filter
      break;
    case 'D':
      if (is("CTDe") || (is("CT") && raw.PeekU8(pos + 3) <= ' ')) streamKind = streamKind == kFlate ? kFlateDct : kDct;
      break;
    case 'J':
      if (is("PXDe")) streamKind = kJpx;
      else if (is("BIG2")) streamKind = kJbig2;
      break;
    case 'E':
      if (is("xtGState")) SkipInlineDictionary();
      break;
    case 'S':
      if (is("hading")) SkipInlineDictionary();
      break;
    default:
      break;
  }
}

int PdfReader::NormalRotation(int value) {
  const int r = ((value % 360) + 360) % 360;
  return r == 90 || r == 180 || r == 270 ? r : 0;
}

void PdfReader::SkipInlineDictionary() {
  int64_t p = pos;
  const int64_t end = pos + 20;
  while (p < end && raw.PeekU8(p) != '<' && raw.PeekU8(p) != '[' && raw.PeekU8(p) != '/') ++p;
  if (raw.PeekU8(p) != '<' || raw.PeekU8(p + 1) != '<') return;
  const int64_t stop = std::min(p + 900, raw.Size());
  for (p += 2; p + 1 < stop; ++p) {
    if (raw.PeekU8(p) == '>' && raw.PeekU8(p + 1) == '>') {
      pos = p + 2;
      return;
    }
  }
}

void PdfReader::ReadMediaBox(int64_t after) {
  // "[x1 y1 x2 y2]" within 12 bytes: x2 and y2 of a plausible page, in hundredths plus 100.
  int64_t p = after;
  while (p < after + 12 && raw.PeekU8(p) != '[') ++p;
  if (raw.PeekU8(p) != '[') return;
  int found = 0;
  for (int64_t q = p + 1; q < p + 50 && raw.PeekU8(q) != ']' && found < 4; ++q) {
    if (PdfIsDigit(raw.PeekU8(q)) || raw.PeekU8(q) == '-' || raw.PeekU8(q) == '.') {
      const int v = ParsePdfNumberShort(raw, q);
      ++found;
      if (found >= 3 && v > 10000 && v < 200000) (found == 3 ? pageX2 : pageY2) = v + 100;
      while (PdfIsDigit(raw.PeekU8(q)) || raw.PeekU8(q) == '-' || raw.PeekU8(q) == '.') ++q;
    }
  }
}

void PdfReader::ReadResourceDict(bool fonts) {
  const int64_t keyEnd = pos;
  int64_t entries = 0;
  const int r = tok.PdfNextToken(pos, kPdfNextRef);
  if (r == -99) {
    entries = pos;
  } else if (r > 0 && r < kPdfMaxObjects && objectOffsets[static_cast<size_t>(r)] > 0) {
    int64_t p = objectOffsets[static_cast<size_t>(r)] + 4;
    while (p < raw.Size() && PdfIsBlank(raw.PeekU8(p))) ++p;
    if (!(raw.PeekU8(p) == '<' && raw.PeekU8(p + 1) == '<')) {
      // Not a dictionary here: walked as an object of its own.
      pos = keyEnd;
      tok.PdfNextToken(pos, kPdfNextRef);
      if (!EnterObject(r)) pos = keyEnd + 4;
      return;
    }
    entries = p + 2;
  } else {
    pos = keyEnd + 4;
    return;
  }
  const int64_t resume = pos;
  pos = entries;
  for (int i = 0; i < kPdfResourceCodes; ++i) {
    const int64_t at = pos;
    const int code = tok.PdfReadResourceName(at, fonts ? 3 : 1, prefixes);
    // The name itself, so that names the codes cannot tell apart (f-0-0, f-0-1) stay
    // apart and names the codes cannot hold (ARRS) are found by their letters.
    int64_t nameEnd = at;
    const std::string name = ResourceNameAt(at, &nameEnd);
    if (name.empty()) break;
    if (code <= 0 || pos == at) pos = nameEnd;
    const int object = tok.PdfNextToken(pos, kPdfNextRef);
    if (object <= 0 || object >= kPdfMaxObjects) break;
    if (code > 0) resourceObjects[static_cast<size_t>(code)] = object;
    if (resourceNames[fonts ? 0 : 1].size() < 100000) resourceNames[fonts ? 0 : 1][name] = object;
  }
  if (r != -99) pos = resume;
}

std::string PdfReader::ResourceNameAt(int64_t at, int64_t* end) const {
  int64_t slash = at;
  while (slash < at + 10 && raw.PeekU8(slash) != '/' && raw.PeekU8(slash) != '>') ++slash;
  std::string name;
  if (raw.PeekU8(slash) != '/') return name;
  int64_t q = slash + 1;
  for (uint8_t c = raw.PeekU8(q); c > ' ' && c != '/' && c != '[' && c != '<' && c != '>' && c != '(' && name.size() < 127; c = raw.PeekU8(++q)) {
    name += static_cast<char>(c);
  }
  *end = q;
  return name;
}

void PdfReader::StartPage() {
  ++pageCount;
  pageBase = (pageCount - 1) * 300;
  if (pageBase >= rows - 4) {
    highestLine = rows - 4;  // the canvas is full: the walk ends here
    return;
  }
  content->PageStart();
  const int64_t objectStart = key > 0 ? objectOffsets[static_cast<size_t>(key)] : 0;
  pageRotation = InheritedRotation(objectStart > 0 && objectStart < pos ? objectStart : pos + 1);
  if (pageBase + 302 < rows - 2) {
    const int e = std::min(pageBase + 601, rows - 1);
    PrepareSeparator(e, pageCount + 2);
  }
  if (pageCount >= 2 && g_pStatusBar) {
    char text[64];
    std::snprintf(text, sizeof text, "  %3d page    (Push ESC to stop)", pageCount);
    g_pStatusBar->SetPaneText(0, text);
  }
}

int PdfReader::InheritedRotation(int64_t start) {
  // The page's own /Rotate, before or after its /Type, else the nearest one of the
  // /Pages nodes above it; upright without any.
  for (int depth = 0; depth < kFormChainLimit && start > 0; ++depth) {
    int parent = 0;
    for (int64_t p = start; p < raw.Size(); ++p) {
      if (raw.PeekU8(p) == '/' && PdfMatch(raw, p + 1, "Rotat")) return NormalRotation(tok.PdfNextToken(p, kPdfKeyValue));
      if (raw.PeekU8(p) == '/' && PdfMatch(raw, p + 1, "Parent")) {
        const int64_t keep = pos;
        parent = tok.PdfNextToken(p + 7, kPdfNextRef);
        pos = keep;
      }
      if (raw.PeekU8(p) == 'e' && PdfMatch(raw, p + 1, "ndob")) break;
      if (PdfMatch(raw, p, "stream")) break;
    }
    if (parent <= 0 || parent >= kPdfMaxObjects || objectOffsets[static_cast<size_t>(parent)] == start) break;
    start = objectOffsets[static_cast<size_t>(parent)];
  }
  return 0;
}

void PdfReader::EndObject() {
  const bool contents = !contentList.empty() && contentList[0] > 0 && contentDepth == refs.top;
  walkState = 0;
  if (imageDepth > 0 && imageDepth == refs.top) imageDepth = 0;
  if (contents) {
    std::vector<int> taken;
    for (int i = 1; i <= contentList[0] && i < static_cast<int>(contentList.size()); ++i) {
      const int object = contentList[static_cast<size_t>(i)];
      if (object <= 0 || object >= kPdfMaxObjects || objectOffsets[static_cast<size_t>(object)] <= 0) continue;
      // An array object of streams, or the stream itself.
      int64_t p = objectOffsets[static_cast<size_t>(object)] + 4;
      while (p < raw.Size() && p < objectOffsets[static_cast<size_t>(object)] + 24 && PdfIsBlank(raw.PeekU8(p))) ++p;
      if (raw.PeekU8(p) == '[') {
        const int64_t keep = pos;
        pos = p;
        std::vector<int> inner;
        tok.PdfReadRefList(inner);
        pos = keep;
        for (int k = 1; k <= inner[0]; ++k) {
          if (inner[static_cast<size_t>(k)] > 0 && inner[static_cast<size_t>(k)] < kPdfMaxObjects &&
              objectOffsets[static_cast<size_t>(inner[static_cast<size_t>(k)])] > 0)
            taken.push_back(inner[static_cast<size_t>(k)]);
        }
      } else {
        taken.push_back(object);
      }
      if (taken.size() >= kPdfStackSize) break;
    }
    contentList.clear();
    const int room = kPdfStackSize - 2 - refs.top;
    if (!taken.empty() && room > 0) {
      ++refs.top;
      refs.positions[static_cast<size_t>(refs.top)] = pos - 6;
      refs.keys[static_cast<size_t>(refs.top)] = key;
      const int count = std::min(room, static_cast<int>(taken.size()));
      for (int i = count - 1; i >= 0; --i) {
        ++refs.top;
        refs.positions[static_cast<size_t>(refs.top)] = objectOffsets[static_cast<size_t>(taken[static_cast<size_t>(i)])];
        refs.keys[static_cast<size_t>(refs.top)] = taken[static_cast<size_t>(i)];
      }
      Pop();
      return;
    }
  }
  // A content list read deeper than the object that ends here is stale.
  if (contentDepth > refs.top) contentList.clear();
  Pop();
}

void PdfReader::StartStream() {
  int64_t data = pos + 5;
  if (raw.PeekU8(data) == '\r') ++data;
  if (raw.PeekU8(data) == '\n') ++data;
  int64_t end = endstream_.Next(raw, data);
  if (end < 0) end = raw.Size();
  pos = std::min(end + 9, raw.Size());
  int64_t length = end - data;
  if (length > 0 && raw.PeekU8(data + length - 1) == '\n') --length;
  if (length > 0 && raw.PeekU8(data + length - 1) == '\r') --length;
  length = std::clamp<int64_t>(length, 0, capacity);
  const int object = key;
  const bool image = object > 0 && (objectKind[static_cast<size_t>(object)] & 1);
  if (image) {
    if (imageDepth > 0 && imageDepth == refs.top) ShowSelectedImage(data, length);
  } else if (length > 0 && (streamKind == kNone || streamKind == kFlate || streamKind == kLzw)) {
    int64_t n = 0;
    const auto body = raw.PeekBytes(data, length);
    const uint8_t* decoded = DecodeStream(body.data(), static_cast<int64_t>(body.size()), &n);
    if (decoded && n > 0) {
      if (objectKind[static_cast<size_t>(object)] & 2) content->InterpretForm(object, ByteCursor(decoded, n), FormMatrix(object));
      else content->Interpret(ByteCursor(decoded, n));
      highestLine = std::max(highestLine, 0);
    }
  }
  streamKind = kNone;
  preFilter = 0;
}

PdfContent::Matrix PdfReader::FormMatrix(int object) {
  // "/Matrix [a b c d e f]" in the form's dictionary; the identity without one.
  PdfContent::Matrix m;
  const int64_t start = objectOffsets[static_cast<size_t>(object)];
  for (int64_t p = start; p > 0 && p < std::min(start + 2000, raw.Size()) && !PdfMatch(raw, p, "stream"); ++p) {
    if (raw.PeekU8(p) != '/' || !PdfMatch(raw, p, "/Matrix")) continue;
    double v[6];
    int n = 0;
    int64_t q = p + 7;
    while (q < raw.Size() && raw.PeekU8(q) != '[' && q < p + 12) ++q;
    for (++q; n < 6 && q < raw.Size() && raw.PeekU8(q) != ']';) {
      if (PdfIsDigit(raw.PeekU8(q)) || raw.PeekU8(q) == '-' || raw.PeekU8(q) == '.') {
        const int64_t at = q;
        v[n++] = static_cast<double>(ParsePdfNumber(raw, &q, kPdfTenThousandths)) / 10000.0;
        if (q == at) ++q;
      } else {
        ++q;
      }
    }
    if (n == 6) m = PdfContent::Matrix{v[0], v[1], v[2], v[3], v[4], v[5]};
    break;
  }
  return m;
}

const uint8_t* PdfReader::DecodeStream(const uint8_t* data, int64_t length, int64_t* size) {
  *size = 0;
  if (preFilter != 0 || streamKind == kLzw) {
    data = PreDecode(data, &length, preFilter == 2 || streamKind == kLzw);
    if (!data) {
      StreamNote(-1, 0);
      return nullptr;
    }
  }
  if (streamKind != kFlate) {
    *size = length;
    return data;
  }
  const ByteCursor packed(data, length);
  const bool header = length > 2 && PdfIsZlibHeader(packed.PeekU8(0), packed.PeekU8(1));
  const uint8_t* in = header ? data + 2 : data;
  const int64_t inLength = header ? length - 2 : length;
  int64_t n = PdfInflate(inflater, in, inLength, stream.data(), StreamRoom());
  if (n == -3 && GrowStreamBuffers(capacity)) {
    if (preFilter != 0) in = collect.data() + (header ? 2 : 0);  // the input moved with its buffer
    n = PdfInflate(inflater, in, inLength, stream.data(), StreamRoom());
  }
  if (n < 0) {
    if (!header && n == -1) {
      *size = length;  // declared Flate but stored plain
      return data;
    }
    StreamNote(n, static_cast<int64_t>(inLength) * 4);
    return nullptr;
  }
  *size = n;
  return stream.data();
}

const uint8_t* PdfReader::PreDecode(const uint8_t* data, int64_t* length, bool lzw) {
  // ASCII85 gives fewer bytes than it reads; LZW is given room for eight times its input.
  const int64_t n = std::min(*length, capacity);
  if (!GrowStreamBuffers(lzw ? std::min(n * 8, capacity) : n)) return nullptr;
  if (lzw) {
    std::memmove(collect.data(), data, static_cast<size_t>(n));
    *length = LzwDecode(collect.data(), static_cast<int>(n), static_cast<int>(StreamRoom()), kLzwPdf, 8, &doc.m_allocHook);
    if (*length == kLzwOutOfMemory) {
      AfxMessageBox(OutOfMemoryText(" 610"));
      *length = 0;
    }
  } else {
    *length = DecodeAscii85(data, n, collect.data(), StreamRoom());
  }
  return *length > 0 ? collect.data() : nullptr;
}

void PdfReader::StreamNote(int64_t result, int64_t size) {
  std::string note;
  if (result == -3) {
    char text[32];
    std::snprintf(text, sizeof text, " [%lldMB]", static_cast<long long>((std::max<int64_t>(size, capacity) >> 20) + 1));
    note = text + LoadString(IDS_DISPLAY_VOLUME_OVER);
  } else if (result == -9) {
    note = LoadString(IDS_OUT_OF_MEMORY) + LoadString(IDS_IMAGE_VOLUME_OVER);
  } else {
    note = LoadString(IDS_UNSUPPORTED_FORMAT) + " 012";
  }
  CanvasNote(note);
}

void PdfReader::CanvasNote(const std::string& text) {
  const int at = std::min(std::max(highestLine, pageBase) + 1, rows - 4);
  for (size_t i = 0; i < text.size() && i < 510; ++i) {
    const uint8_t c = static_cast<uint8_t>(text[i]);
    SetCell(static_cast<int>(i) + 1, at, c < 0x20 ? ' ' : c);
  }
  highestLine = std::max(highestLine, at);
}

ConvertStatus PdfReader::Close() {
  doc.m_nConvPos = 0;
  DisplayWriter out = doc.ConvWriter();
  if (encrypted) {
    out.Append(LoadString(IDS_ENCRYPTED_DATA));
    out.Append("\r\n");
  }
  if (placed) WriteCanvas(out);
  if (out.Pos() > outLimit - 200) out.SetPos(static_cast<int>(std::max<int64_t>(outLimit - 200, 0)));
  const std::string full = highestLine >= rows - 4 ? CanvasFullNote() : std::string();
  // Nothing to show: the message, and the note of a full canvas after it.
  if (!placed && !encrypted) return ConvertStatus::Message(doc.m_nSelectedItem > 0 ? IDS_UNSUPPORTED_FORMAT : IDS_PDF_BEYOND_LIMITS).With(full);
  out.Append(full);
  if (out.Pos() >= outLimit - 200) {
    doc.m_bPartialLoad = 1;
    doc.m_volumeCut = VolumeCut::kOutput;
    out.Append("\r\n\r\n");
    out.Append(LoadString(IDS_DISPLAY_VOLUME_OVER));
  }
  return ConvertStatus::Ok();
}

void PdfReader::WriteCanvas(DisplayWriter& out) {
  const int highest = std::min(highestLine, rows - 3);
  std::string text;
  bool previousEmpty = false;
  for (int ln = 0; ln <= highest && out.Pos() < outLimit; ++ln) {
    const int k = lineEnd[static_cast<size_t>(ln)];
    if (k == 0 && !separator[static_cast<size_t>(ln)]) {
      if (doc.m_nCsvMode == 1 && !previousEmpty) out.Append("  \r\n");
      previousEmpty = true;
      continue;
    }
    previousEmpty = false;
    text.assign(static_cast<size_t>(k) + 2, ' ');
    for (int col = 0; col <= k + 1 && col < 512; ++col) {
      const uint8_t c = GetCell(col, ln);
      text[static_cast<size_t>(col)] = static_cast<char>(c <= kEmptyCell ? ' ' : c);
    }
    text += "\r\n";
    const int64_t room = outLimit - out.Pos();
    out.Append(std::string_view(text).substr(0, static_cast<size_t>(std::max<int64_t>(std::min<int64_t>(room, static_cast<int64_t>(text.size())), 0))));
  }
}

std::string PdfReader::CanvasFullNote() {
  doc.m_bPartialLoad = 1;  // pages after the full canvas are not shown
  const int64_t n = doc.Convert().m_nRawLen;
  const int64_t suggestion = std::max<int64_t>((n / 16384 + n / 4096) / 100 * 100, call.tableRows / 100 + 200);
  const std::string format = LoadString(IDS_TABLE_ITEMS_OVER);
  char text[512];
  std::snprintf(text, sizeof text, format.c_str(), static_cast<int>(suggestion));
  if (g_pStatusBar) {
    char status[64];
    std::snprintf(status, sizeof status, "Page No. = %d  continued", pageCount);
    g_pStatusBar->SetPaneText(0, status);
  }
  AfxNote(plat::Utf8ToCp932Lossy("the pages after page " + std::to_string(pageCount) + " are not shown: the table rows are full (n_tbl=" +
                                 std::to_string(call.tableRows / 100) + "); --set n_tbl=" + std::to_string(suggestion) +
                                 " (set n_tbl=" + std::to_string(suggestion) + " in a script) raises them"));
  return text;
}
