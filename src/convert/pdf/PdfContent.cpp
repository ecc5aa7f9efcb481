// The content-stream interpreter: operands are read forward onto a small stack;
// each operator changes the graphics or text state, or shows text at the canvas
// place of its page position.
#include "convert/ConvertState.h"
#include "convert/pdf/PdfContent.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <tuple>

#include "app/QelDoc.h"
#include "convert/pdf/PdfImageTag.h"
#include "convert/pdf/PdfReader.h"
#include "convert/pdf/PdfValueReaders.h"

namespace {

constexpr double kLimit = 1e9;  // matrix entries and positions stay finite

double Clamp(double v) { return std::isfinite(v) ? std::clamp(v, -kLimit, kLimit) : 0; }

bool IsDelimiter(uint8_t c) {
  return c <= ' ' || c == '(' || c == ')' || c == '<' || c == '>' || c == '[' || c == ']' || c == '{' || c == '}' ||
         c == '/' || c == '%';
}

int OctalValue(uint8_t c) { return c >= '0' && c <= '7' ? c - '0' : -1; }

int HexDigit(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

constexpr size_t kRunLimit = 10000;  // bytes of one string operand

}  // namespace

PdfContent::Matrix PdfContent::Matrix::Times(const Matrix& m) const {
  Matrix r;
  r.a = Clamp(a * m.a + b * m.c);
  r.b = Clamp(a * m.b + b * m.d);
  r.c = Clamp(c * m.a + d * m.c);
  r.d = Clamp(c * m.b + d * m.d);
  r.e = Clamp(e * m.a + f * m.c + m.e);
  r.f = Clamp(e * m.b + f * m.d + m.f);
  return r;
}

PdfContent::PdfContent(PdfReader& reader) : r_(reader) {}

void PdfContent::PageStart() {
  ctm_ = tm_ = tlm_ = Matrix{};
  depth_ = 0;
  column_ = 0;
  line_ = r_.pageBase;
  tableLine_ = r_.pageBase;
  lineFull_ = false;
  rotated_ = false;
  pageDoubleBytes_ = 0;
  lastLine_ = -1;
}

void PdfContent::InterpretForm(int object, const ByteCursor& data, const Matrix& formMatrix) {
  // A form draws in the state of its Do, with its own matrix, and leaves it as it was.
  const Matrix keep = ctm_;
  const int keepDepth = depth_;
  const auto drawn = formMatrices_.find(object);
  if (drawn != formMatrices_.end()) ctm_ = formMatrix.Times(drawn->second);
  Interpret(data);
  ctm_ = keep;
  depth_ = keepDepth;
}

void PdfContent::Interpret(const ByteCursor& data) {
  in_ = data;
  p_ = 0;
  numCount_ = 0;
  while (p_ < in_.Size()) {
    const uint8_t c = in_.PeekU8(p_);
    if (c <= ' ') {
      ++p_;
    } else if (c == '%') {
      while (p_ < in_.Size() && in_.PeekU8(p_) != '\r' && in_.PeekU8(p_) != '\n') ++p_;
    } else if (PdfIsDigit(c) || c == '-' || c == '+' || c == '.') {
      if (c == '+') ++p_;
      const int64_t start = p_;
      const double v = static_cast<double>(ParsePdfNumber(in_, &p_, kPdfTenThousandths)) / 10000.0;
      if (p_ == start) ++p_;
      if (numCount_ == static_cast<int>(nums_.size())) {
        std::copy(nums_.begin() + 1, nums_.end(), nums_.begin());
        --numCount_;
      }
      nums_[numCount_++] = v;
    } else if (c == '/') {
      name_.clear();
      for (++p_; p_ < in_.Size() && !IsDelimiter(in_.PeekU8(p_)); ++p_) {
        if (name_.size() < 127) name_ += static_cast<char>(in_.PeekU8(p_));
      }
    } else if (c == '(' || (c == '<' && in_.PeekU8(p_ + 1) != '<')) {
      strHex_ = c == '<';
      str_.clear();
      if (strHex_) ReadHexString(str_);
      else strHex_ = ReadLiteral(str_);
    } else if (c == '<') {
      // An inline dictionary (marked-content properties): passed over.
      int nest = 0;
      do {
        if (in_.PeekU8(p_) == '<' && in_.PeekU8(p_ + 1) == '<') {
          ++nest;
          p_ += 2;
        } else if (in_.PeekU8(p_) == '>' && in_.PeekU8(p_ + 1) == '>') {
          --nest;
          p_ += 2;
        } else if (in_.PeekU8(p_) == '(') {
          std::string skip;
          ReadLiteral(skip);
        } else {
          ++p_;
        }
      } while (nest > 0 && p_ < in_.Size());
    } else if (c == '[') {
      ReadArray();
    } else if (c == ']' || c == '>' || c == ')' || c == '{' || c == '}') {
      ++p_;
    } else {
      const int64_t start = p_;
      while (p_ < in_.Size() && !IsDelimiter(in_.PeekU8(p_)) && p_ - start < 8) ++p_;
      if (p_ == start) ++p_;
      const auto word = in_.PeekBytes(start, p_ - start);
      Operator(start, std::string_view(reinterpret_cast<const char*>(word.data()), word.size()));
      numCount_ = 0;
    }
  }
}

bool PdfContent::ReadLiteral(std::string& out) {
  // A string written as escapes (a backslash first and another within four bytes)
  // in a font without a map or one-byte flag holds two-byte codes, read as a hex
  // string's are.
  bool escaped = in_.PeekU8(p_ + 1) == '\\';
  for (int k = 2; escaped && k <= 5; ++k) {
    if (in_.PeekU8(p_ + k) == '\\') break;
    if (k == 5) escaped = false;
  }
  const bool plainFont = fontMode_ == 0;
  const bool asCodes = escaped && plainFont && !simple_;
  int nest = 0;
  for (++p_; p_ < in_.Size(); ++p_) {
    uint8_t c = in_.PeekU8(p_);
    if (c == '\\' && p_ + 1 < in_.Size()) {
      c = in_.PeekU8(++p_);
      switch (c) {
        case 'n': c = '\n'; break;
        case 'r': c = '\r'; break;
        case 't': c = '\t'; break;
        case 'b': c = '\b'; break;
        case 'f': c = '\f'; break;
        case '\r':
          if (in_.PeekU8(p_ + 1) == '\n') ++p_;
          continue;
        case '\n': continue;
        default:
          if (OctalValue(c) >= 0) {
            int v = OctalValue(c);
            for (int k = 0; k < 2 && OctalValue(in_.PeekU8(p_ + 1)) >= 0; ++k) v = v * 8 + OctalValue(in_.PeekU8(++p_));
            c = static_cast<uint8_t>(v);
            // Ligatures and punctuation of the standard encoding, in a font without a
            // map on a page that is not Japanese: fi and fl (as the PDFDoc codes that
            // read as them), the en dash and the double quote.
            if (plainFont && !asCodes && pageDoubleBytes_ < 5) {
              if (c == 0xAE) c = 0x0C;
              else if (c == 0xAF) c = 0x0D;
              else if (c == 0xB1) c = '-';
              else if (c == 0xB2) c = '"';
            }
          }
      }
    } else if (c == '(') {
      ++nest;
    } else if (c == ')') {
      if (nest-- == 0) {
        ++p_;
        return asCodes;
      }
    }
    if (out.size() < kRunLimit) out += static_cast<char>(c);
  }
  return asCodes;
}

void PdfContent::ReadHexString(std::string& out) {
  int high = -1;
  for (++p_; p_ < in_.Size() && in_.PeekU8(p_) != '>'; ++p_) {
    const int h = HexDigit(in_.PeekU8(p_));
    if (h < 0) continue;
    if (high < 0) {
      high = h;
    } else {
      if (out.size() < kRunLimit) out += static_cast<char>(high * 16 + h);
      high = -1;
    }
  }
  if (high >= 0 && out.size() < kRunLimit) out += static_cast<char>(high * 16);
  ++p_;
}

void PdfContent::ReadArray() {
  array_.clear();
  for (++p_; p_ < in_.Size();) {
    const uint8_t c = in_.PeekU8(p_);
    if (c == ']') {
      ++p_;
      return;
    }
    if (c == '(' || c == '<') {
      ArrayItem item{false, 0, {}, c == '<'};
      if (c == '<') ReadHexString(item.bytes);
      else item.hex = ReadLiteral(item.bytes);
      if (array_.size() < kRunLimit) array_.push_back(std::move(item));
    } else if (PdfIsDigit(c) || c == '-' || c == '.' || c == '+') {
      if (c == '+') ++p_;
      const int64_t start = p_;
      const double v = static_cast<double>(ParsePdfNumber(in_, &p_, kPdfTenThousandths)) / 10000.0;
      if (p_ == start) ++p_;
      if (array_.size() < kRunLimit) array_.push_back({true, v, {}, false});
    } else if (IsDelimiter(c) || c < 0x80) {
      // Blanks and anything that is not an operand inside the array.
      if (c != '[' && !IsDelimiter(c)) {
        // An operator word inside an unclosed array ends it.
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) break;
      }
      ++p_;
    } else {
      ++p_;
    }
  }
  // An array that the stream's end cuts off is still shown.
  if (p_ >= in_.Size()) ShowArray();
}

void PdfContent::SkipInlineImage() {
  // From "ID" to "EI" followed by a blank, at most 19,999 bytes of data.
  while (p_ + 1 < in_.Size() && !(in_.PeekU8(p_) == 'I' && in_.PeekU8(p_ + 1) == 'D' && in_.PeekU8(p_ + 2) <= ' ')) ++p_;
  const int64_t stop = std::min(in_.Size(), p_ + 20000);
  for (p_ += 2; p_ + 1 < stop; ++p_) {
    if (in_.PeekU8(p_) == 'E' && in_.PeekU8(p_ + 1) == 'I' && in_.PeekU8(p_ + 2) <= ' ' && in_.PeekU8(p_ - 1) <= ' ') {
      p_ += 2;
      return;
    }
  }
  p_ = stop;
}

void PdfContent::Operator(int64_t at, std::string_view w) {
  const auto is = [&](std::string_view word) { return w == word; };
  const auto num = [&](int fromEnd) { return numCount_ > fromEnd ? nums_[numCount_ - 1 - fromEnd] : 0.0; };
  // The table-view form: each positioning operator starts a line of its own.
  if (r_.doc.m_nCsvMode == 2 && (is("Td") || is("TD") || is("Tm") || is("T*") || is("cm") || is("'") || is("\""))) {
    TableLine(at, w);
  }
  const auto matrix = [&](Matrix* m) {
    if (numCount_ < 6) return false;
    const double* v = &nums_[numCount_ - 6];
    *m = Matrix{Clamp(v[0]), Clamp(v[1]), Clamp(v[2]), Clamp(v[3]), Clamp(v[4]), Clamp(v[5])};
    return true;
  };
  if (w.size() == 1) {
    switch (w[0]) {
      case 'q':
        saved_[static_cast<size_t>(std::min(depth_, 9))] = {ctm_, fontObject_, fontMode_, fontSize_};
        depth_ = std::min(depth_ + 1, 10);
        return;
      case 'Q':
        if (depth_ > 0) {
          // A Q without its q changes nothing.
          const Saved& s = saved_[static_cast<size_t>(--depth_ > 9 ? 9 : depth_)];
          ctm_ = s.ctm;
          // The font belongs to the saved state too.
          if (s.fontObject != fontObject_) UseFont(s.fontObject);
          fontSize_ = s.fontSize;
        }
        return;
      case '\'':
        NextLine();
        ShowString(str_, strHex_);
        return;
      case '"':
        wordSpacing_ = num(1);
        charSpacing_ = num(0);
        NextLine();
        ShowString(str_, strHex_);
        return;
      default:
        return;
    }
  }
  if (is("cm")) {
    Matrix m;
    if (matrix(&m)) ctm_ = m.Times(ctm_);
  } else if (is("BT")) {
    tm_ = tlm_ = Matrix{};
    if (r_.doc.m_nCsvMode == 2) tableLine_ = std::min(tableLine_ + 1, r_.rows - 4);
  } else if (is("Tf")) {
    fontSize_ = Clamp(num(0));
    SelectFont();
  } else if (is("Tc")) {
    charSpacing_ = Clamp(num(0));
  } else if (is("Tw")) {
    wordSpacing_ = Clamp(num(0));
  } else if (is("Tz")) {
    scale_ = Clamp(num(0)) / 100.0;
  } else if (is("TL")) {
    leading_ = Clamp(num(0));
  } else if (is("Td") || is("TD")) {
    const double tx = Clamp(num(1)), ty = Clamp(num(0));
    if (w[1] == 'D') leading_ = -ty;
    Matrix move;
    move.e = tx;
    move.f = ty;
    tlm_ = move.Times(tlm_);
    tm_ = tlm_;
    Position();
  } else if (is("Tm")) {
    Matrix m;
    if (matrix(&m)) {
      tm_ = tlm_ = m;
      Position();
    }
  } else if (is("T*")) {
    NextLine();
  } else if (is("Tj")) {
    ShowString(str_, strHex_);
  } else if (is("TJ")) {
    ShowArray();
  } else if (is("Do")) {
    DrawObject();
  } else if (is("BI")) {
    SkipInlineImage();
  }
}

void PdfContent::NextLine() {
  Matrix move;
  move.f = -leading_;
  tlm_ = move.Times(tlm_);
  tm_ = tlm_;
  Position();
}

int PdfContent::ResourceCode(int selector) const {
  std::string text = "/" + name_ + " ";
  const ByteCursor b{std::string_view(text)};
  int64_t at = 0;
  int kind = selector;
  const int code = PdfReadValue(b, &at, &kind, kPdfNameAt, r_.prefixes);
  return code > 0 && code < kPdfResourceCodes ? code : 0;
}

int PdfContent::ResourceObject(int which) const {
  const auto hit = r_.resourceNames[static_cast<size_t>(which)].find(name_);
  if (hit != r_.resourceNames[static_cast<size_t>(which)].end()) return hit->second;
  const int code = ResourceCode(which == 0 ? 3 : 1);
  return code ? r_.resourceObjects[static_cast<size_t>(code)] : 0;
}

void PdfContent::SelectFont() { UseFont(ResourceObject(0)); }

void PdfContent::UseFont(int object) {
  fontObject_ = object;
  fontMode_ = 0;
  simple_ = vertical_ = sjisFont_ = cidFont_ = singleMap_ = false;
  map_ = nullptr;
  fontWidths_ = nullptr;
  if (object <= 0 || object >= kPdfMaxObjects) return;
  auto widths = widths_.find(object);
  if (widths == widths_.end()) {
    if (widths_.size() >= 256) widths_.clear();
    widths = widths_.emplace(object, ReadPdfFontWidths(r_.raw, r_.objectOffsets, r_.objectOffsets[static_cast<size_t>(object)])).first;
  }
  fontWidths_ = &widths->second;
  const unsigned f = r_.objectFlags[static_cast<size_t>(object)];
  const int ref = r_.objectRefs[static_cast<size_t>(object)];
  simple_ = (f & kPdfSimpleFont) != 0;
  vertical_ = (f & 3) == 1;
  sjisFont_ = (r_.objectKind[static_cast<size_t>(object)] & 4) != 0;
  cidFont_ = (r_.objectKind[static_cast<size_t>(object)] & 8) != 0;
  if (f & kPdfType1Unicode) fontMode_ = 4;
  if ((f & kPdfUniJis) || (r_.objectKind[static_cast<size_t>(object)] & 16)) {
    fontMode_ = 9;  // codes are Unicode (a UCS-2 CMap, or an identity ToUnicode)
    return;
  }
  if (ref <= 0) return;
  if ((f & 0x8F) != 0x8F) fontMode_ |= 1;
  auto found = maps_.find(ref);
  if (found == maps_.end()) {
    if (maps_.size() >= 64) {
      maps_.clear();
      singleMaps_.clear();
    }
    std::vector<uint16_t> map(kPdfCodeMapSize, 0);
    const int64_t at = r_.objectOffsets[static_cast<size_t>(ref)];
    const int built = at > 0 ? r_.PdfBuildCodeMap(at, map, f) : 0;
    if (built <= 0) map.clear();
    if (built & 2) singleMaps_.insert(ref);
    found = maps_.emplace(ref, std::move(map)).first;
  }
  if (!found->second.empty()) {
    map_ = &found->second;
    singleMap_ = !cidFont_ && singleMaps_.count(ref) != 0;  // Identity encodings stay two bytes
    fontMode_ |= 2;
  }
}

void PdfContent::DrawObject() {
  const int object = ResourceObject(1);
  if (object <= 0 || object >= kPdfMaxObjects) return;
  const uint8_t kind = r_.objectKind[static_cast<size_t>(object)];
  if (kind & 1) {
    PlaceImageTag(object);
  } else if (kind & 2) {
    // The form is walked later: it keeps the matrix it was drawn with.
    if (formMatrices_.size() < 10000) formMatrices_[object] = ctm_;
    r_.EnterForm(object);
  }
}

// The canvas place of a page point (hundredths of a point), turned by the page rotation.
void PdfContent::CanvasPlace(double x, double y, int rotation, int* column, int* line) const {
  const double x2 = static_cast<double>(r_.pageX2 - 100) / 100.0, y2 = static_cast<double>(r_.pageY2 - 100) / 100.0;
  switch (rotation) {
    case 90: std::tie(x, y) = std::make_pair(y, y2 - x); break;
    case 270: std::tie(x, y) = std::make_pair(x2 - y, x); break;
    case 180: std::tie(x, y) = std::make_pair(x2 - x, y2 - y); break;
    default: break;
  }
  const int64_t xh = static_cast<int64_t>(Clamp(x * 100)) - xOffset_;
  const int64_t yh = static_cast<int64_t>(Clamp(y * 100)) - yOffset_;
  const int64_t width = std::max(r_.doc.Convert().m_nPdfWordGap + 2, 1);
  *column = static_cast<int>(std::clamp<int64_t>((xh >> 6) / width, 0, 510));
  const int offset = static_cast<int>(std::clamp<int64_t>(300 - yh / 700, 0, 300));
  *line = std::min(r_.pageBase + offset, r_.rows - 4);
}

void PdfContent::TableLine(int64_t at, std::string_view w) {
  const int64_t len = static_cast<int64_t>(w.size());
  if (w == "Td" || w == "TD") {
    // A move before a number in parentheses: the next cell of the same line.
    int64_t q = at + len;
    while (q < in_.Size() && in_.PeekU8(q) <= ' ') ++q;
    if (in_.PeekU8(q) == '(' && PdfIsDigit(in_.PeekU8(q + 1)) && tableLine_ > r_.pageBase) {
      r_.SetCell(column_, line_, '\t');
      column_ = std::min(column_ + 1, 510);
      return;
    }
  }
  tableLine_ = std::min(tableLine_ + 1, r_.rows - 4);
  line_ = tableLine_;
  lineFull_ = false;
  if (w == "T*") {
    r_.SetCell(0, line_, '*');
    for (int col = 1; col <= 20; ++col) r_.SetCell(col, line_, ' ');
  } else {
    // The 20 bytes before the operator's last letter, and the letter.
    const int64_t last = at + len - 1;
    for (int k = 0; k <= 20; ++k) {
      const int64_t q = last - 20 + k;
      const uint8_t c = in_.PeekU8(q);
      r_.SetCell(k, line_, c < 0x20 ? ' ' : c);
    }
  }
  r_.SetCell(21, line_, ':');
  column_ = 22;
  r_.highestLine = std::max(r_.highestLine, line_);
}

void PdfContent::TableNote(std::string_view text) {
  if (tableLine_ >= r_.rows - 4) return;
  line_ = ++tableLine_;
  for (size_t i = 0; i < text.size(); ++i) r_.SetCell(static_cast<int>(i), line_, static_cast<uint8_t>(text[i]));
  column_ = static_cast<int>(text.size());
  r_.highestLine = std::max(r_.highestLine, line_);
}

void PdfContent::Position() {
  if (r_.doc.m_nCsvMode == 2) return;  // the table-view form places by operator, not by position
  const Matrix trm = tm_.Times(ctm_);
  int column, line;
  // On a page its /Rotate turns by a quarter, text that runs along the page's own x
  // axis is placed as the page was written, so that its lines stay lines; text set
  // upright for the turned page is placed as shown.
  const bool quarter = r_.pageRotation == 90 || r_.pageRotation == 270;
  const int rotation = quarter && std::fabs(trm.a) >= std::fabs(trm.b) ? 0 : r_.pageRotation;
  CanvasPlace(trm.e, trm.f, rotation, &column, &line);
  // Text that the matrix turns by a quarter on an upright page runs down the canvas.
  rotated_ = r_.pageRotation == 0 && std::fabs(trm.b) > 2 * std::fabs(trm.a);
  column = std::max(column, 1);
  const double em = std::fabs(fontSize_) * std::hypot(trm.a, trm.b);
  if (!vertical_ && !rotated_ && line == lastLine_ && rotation == 0) {
    // Right of the last run on its line: the physical gap after it decides whether
    // a blank stands between them, not the rounding of two column positions. A gap
    // up to the word gap limit (hundredths of an em) is one blank; a wider one puts
    // the run at its own column.
    const double gap = trm.e - lastEndX_;
    const double unit = std::max(lastEm_, 1.0);
    const double limit = std::max(r_.doc.Convert().m_nPdfWordGapLimit, 15) / 100.0;
    if (trm.e > lastStartX_ + 0.1 * unit) {
      if (gap < 0.15 * unit) column = lastEnd_;
      else if (column <= lastEnd_ || gap <= limit * unit) column = lastEnd_ + 1;
    }
  }
  lastStartX_ = trm.e;
  column_ = column;
  line_ = line;
  lineFull_ = false;
  lastEm_ = em;
  r_.highestLine = std::max(r_.highestLine, line_);
}

void PdfContent::Advance(double units) {
  Matrix move;
  if (vertical_) move.f = -units;
  else move.e = units;
  tm_ = move.Times(tm_);
}

void PdfContent::ShowArray() {
  for (const ArrayItem& item : array_) {
    if (!item.isNumber) {
      ShowString(item.bytes, item.hex);
      continue;
    }
    // A move right of at least a word space (0.15 em) leaves a blank, one for every
    // 0.53 em begun.
    const double n = item.number;
    Advance(-n / 1000.0 * fontSize_ * scale_);
    if (n <= -150 && !vertical_) {
      const int blanks = std::min(static_cast<int>(std::ceil(-n / 530.0)), 200);
      for (int i = 0; i < blanks && column_ < 510; ++i, ++column_) {
        if (r_.IsEmpty(column_, line_)) r_.SetCell(column_, line_, ' ');
      }
    }
  }
  EndRun();
}

void PdfContent::EndRun() {
  if (vertical_ || rotated_) return;
  const Matrix trm = tm_.Times(ctm_);
  lastLine_ = line_;
  lastEnd_ = column_;
  lastEndX_ = trm.e;
  lastEm_ = std::fabs(fontSize_) * std::hypot(trm.a, trm.b);
}

void PdfContent::PlaceImageTag(int object) {
  const unsigned f = r_.objectFlags[static_cast<size_t>(object)];
  const int filter = static_cast<int>(f & 0x0F);
  const int width = static_cast<int>((f >> 8) & 0x0F) * 128, height = static_cast<int>((f >> 12) & 0x0F) * 128;
  if (width == 0 || height == 0) return;
  // The image's upper left corner.
  const double x = ctm_.e + std::min(ctm_.c, 0.0), y = ctm_.f + std::max(ctm_.d, 0.0);
  int column, line;
  CanvasPlace(x, y, r_.pageRotation, &column, &line);
  column = std::min(column, 500);
  int orientation = 0;
  if (ctm_.a != 0 && ctm_.d != 0) orientation = ctm_.a > 0 ? (ctm_.d < 0 ? 1 : 0) : (ctm_.d < 0 ? 3 : 2);
  else orientation = ctm_.b >= 0 ? (ctm_.c < 0 ? 5 : 4) : (ctm_.c < 0 ? 7 : 6);
  const int last = std::min(r_.pageBase + 299, r_.rows - 4);
  const bool wide = std::fabs(ctm_.a) > 200 && r_.GetCell(column, line) <= ' ';
  const std::string tag = FormatPdfImageTag(object, orientation, r_.pageRotation, wide ? 1 : 0, filter);
  // The tag goes on the first line below whose cells are free: it never covers text
  // or another tag.
  const auto free = [&](int ln) {
    for (size_t i = 0; i < tag.size() && column + static_cast<int>(i) < 510; ++i) {
      if (!r_.IsEmpty(column + static_cast<int>(i), ln)) return false;
    }
    return true;
  };
  while (line < last && !free(line)) ++line;
  if (!free(line)) return;
  if (column > 1 && r_.GetCell(0, line) != '[') r_.SetCell(0, line, '*');
  for (size_t i = 0; i < tag.size() && column + static_cast<int>(i) < 510; ++i) {
    r_.SetCell(column + static_cast<int>(i), line, static_cast<uint8_t>(tag[i]));
  }
  r_.highestLine = std::max(r_.highestLine, line);
}
