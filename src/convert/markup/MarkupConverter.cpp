#include "convert/markup/MarkupConverter.h"

#include <algorithm>
#include <cstring>

#include "app/QelDoc.h"
#include "convert/ConvertState.h"
#include "convert/markup/MarkupEntities.h"
#include "convert/ooxml/XmlCharRef.h"
#include "platform/text/CodePage.h"

namespace {

constexpr int64_t kMaxPasses = 1000000;  // one per byte, tag or entity
constexpr int kEntityBytes = 7;
constexpr int64_t kCharRefBytes = 12;  // "&#x", eight digits and ";"
constexpr uint8_t kEsc = 0x1B;
constexpr std::string_view kUnmappable = "?";

// Bytes that end a run of plain text: markup, escapes, line breaks, TAB, NUL,
// the end mark 0xFF and every byte of 0x80 or more.
constexpr std::array<bool, 256> MakeStopTable() {
  std::array<bool, 256> stop{};
  for (int c = 0x80; c < 256; ++c) stop[c] = true;
  for (int c : {int{'<'}, int{'&'}, int{'\r'}, int{'\n'}, int{'\t'}, 0x1B, 0}) stop[c] = true;
  return stop;
}
constexpr std::array<bool, 256> kStop = MakeStopTable();

bool IsCollapsible(uint8_t c) { return c == '\r' || c == '\n' || c == '\t'; }
bool IsSjisTrail(uint8_t c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

}  // namespace

MarkupConverter::MarkupConverter(CQelDoc& doc, MarkupDialect dialect, int tableLayout, int64_t length, int tableRows)
    : doc_(doc), out_(doc.m_pConvBuf, doc.m_nConvCap, doc.m_nConvPos), dialect_(dialect), tableRows_(tableRows) {
  data_ = doc.Convert().m_pRawData;
  len_ = data_ ? std::max<int64_t>(0, std::min(length, doc.Convert().m_nRawLen)) : 0;
  in_ = ByteCursor(data_, len_);
  outLimit_ = std::max(0, std::min(doc.m_nOutDataLimit, doc.m_nConvCap - 1));
  convert_ = doc.m_nReadTextForm == 0;
  listing_ = doc.m_nListingKind != 0 && doc.m_nListingForm != 0;
  if (doc.m_nTextSizeIndex < 5) {
    wrapWidth_ = 164 - 20 * std::max(doc.m_nTextSizeIndex, -30);
  } else {
    wrapWidth_ = doc.m_nListingKind > 0 && doc.m_nListingForm == 1 ? 80 : 64;
  }
  wrapWidth_ = std::clamp(wrapWidth_, 2, CellMatrix::kLineBytes);
  if (tableLayout == 2) {
    separator_ = '\x08';
  } else if (tableLayout == 1 && doc.m_nListingKind == 0) {
    separator_ = '|';
  }
  tag_.reserve(1024);
}

ConvertStatus MarkupConverter::Run() {
  doc_.m_nConvPos = 0;
  out_.Terminate();
  doc_.Convert().m_nRawPos = 0;
  if (!matrix_.Allocate(tableRows_, &doc_.m_allocHook)) {
    return ConvertStatus::OutOfMemory(dialect_ == MarkupDialect::Html ? " 015" : " 014");
  }
  if (doc_.m_nDisplayForm == 2) {
    CopySource();
  } else {
    Out("\n");
    if (len_ > 0 && At(0) == 0xEF) pos_ = std::min<int64_t>(3, len_);  // UTF-8 byte-order mark
    ConvertBody();
    // Rows of a table left open at the end are laid out too, not lost.
    FlushTable(false);
    WriteLinkList();
  }
  doc_.Convert().m_nRawPos = pos_;
  return ConvertStatus::Ok();
}

void MarkupConverter::ConvertBody() {
  const bool keepBreaks = doc_.m_bVerticalRules != 0;
  while (pos_ < len_ && passes_ < kMaxPasses && doc_.m_nConvPos < outLimit_) {
    ++passes_;
    if (MatrixFull()) {
      FlushTable(true);
      continue;
    }
    if (jis_) {
      JisRun();
      continue;
    }
    uint8_t c = At(pos_);
    if (c == '\t') {
      if (++pos_ >= len_) break;
      c = At(pos_);
    }
    if (c == 0xFF) break;
    if (IsCollapsible(c) && !pre_ && !listItem_ && !keepBreaks) {
      while (pos_ < len_ && IsCollapsible(At(pos_))) ++pos_;
      while (pos_ < len_ && (At(pos_) == ' ' || At(pos_) == '\t')) ++pos_;
      continue;
    }
    switch (c) {
      case '<':
        Tag();
        break;
      case '&':
        Entity();
        break;
      case kEsc:
        Escape();
        break;
      default:
        if (c >= 0x80) {
          HighByte();
        } else {
          TextRun();
        }
        break;
    }
  }
}

// Plain single-byte text up to the next byte that needs attention.
void MarkupConverter::TextRun() {
  const uint8_t c = At(pos_);
  if (c == '\r' || c == '\n') {
    // A CR alone or an LF is a line break; the CR of CR LF is dropped.
    if (c == '\r' && pos_ + 1 < len_ && At(pos_ + 1) == '\n') {
      ++pos_;
    } else if (SourceText("\n") > 0) {
      ++pos_;
    }
    return;
  }
  if (c == 0) {  // a NUL of the source never reaches the text
    ++pos_;
    return;
  }
  if (c == '\t') {
    if (SourceText("\t") > 0) ++pos_;
    return;
  }
  int64_t end = pos_ + 1;
  while (end < len_ && !kStop[At(end)]) ++end;
  if (!inRow_) end = std::min<int64_t>(end, pos_ + std::max(1, outLimit_ - doc_.m_nConvPos));
  const auto* text = reinterpret_cast<const char*>(data_ + pos_);
  // Fewer bytes are taken only when the table matrix is full: the rest is read
  // again after the flush.
  const size_t taken = SourceText(std::string_view(text, static_cast<size_t>(end - pos_)));
  pos_ += static_cast<int64_t>(taken);
  if (taken > 1) passes_ += static_cast<int64_t>(taken) - 1;
}

int MarkupConverter::GuessMode(int64_t at, bool sourceDisplay) const {
  const uint8_t c = At(at);
  if (c < 0xE0 || at + 3 >= len_) return kCharGuessEuc;
  const uint8_t d = At(at + 3);
  if (d >= 0xE0) return kCharGuessUtf8;
  if (sourceDisplay) return d == '\r' || d == '\n' || (d >= 0x20 && d < 0x7F) ? kCharGuessUtf8 : kCharGuessEuc;
  return d == '<' || d == '"' ? kCharGuessUtf8 : kCharGuessEuc;
}

int MarkupConverter::ConvertAt(int64_t at, std::string& out) {
  const uint8_t b0 = At(at);
  const uint8_t b1 = at + 1 < len_ ? At(at + 1) : 0;
  const uint8_t b2 = at + 2 < len_ ? At(at + 2) : 0;
  char* scratch = doc_.Convert().m_szSjisScratch.data();
  scratch[0] = scratch[1] = 0;
  const int consumed = doc_.ConvertCharToSjis(b0, b1, b2, mode_, 0);
  if (consumed <= 0) return 0;
  // The conversion sees three bytes: the fourth of a four-byte sequence is checked here.
  if (consumed == 3 && (at + 3 >= len_ || (At(at + 3) & 0xC0) != 0x80)) return 0;
  out.clear();
  if (scratch[0] == 0) {
    out.append(kUnmappable);  // a pair without a Shift-JIS code: never a NUL in the text
  } else {
    out.push_back(scratch[0]);
    if (scratch[1] != 0) out.push_back(scratch[1]);
  }
  return 1 + consumed;
}

// A byte of 0x80 or more: converted to Shift-JIS by the character-set mode, else
// taken as Shift-JIS as it stands (a lead byte keeps its trail byte with it).
void MarkupConverter::HighByte() {
  if (style_) {
    ++pos_;
    return;
  }
  if (convert_) {
    if (mode_ == kModeUnset) mode_ = GuessMode(pos_, false);
    const int taken = ConvertAt(pos_, scratch_);
    if (taken > 0) {
      if (SourceText(scratch_, true) > 0) pos_ = std::min(pos_ + taken, len_);
      return;
    }
  }
  const uint8_t c = At(pos_);
  const int count = IsSjisLeadByte(c) && pos_ + 1 < len_ && IsSjisTrail(At(pos_ + 1)) ? 2 : 1;
  if (SourceText(std::string_view(reinterpret_cast<const char*>(data_ + pos_), count), true) > 0) pos_ += count;
}

// A numeric character reference of spreadsheet XML ("&#21335;", "&#x5357;", "&#10;")
// is its character; a number the entity table names exactly keeps the table's form,
// and HTML keeps the table alone.
bool MarkupConverter::CharacterReference() {
  const int64_t window = std::min(len_ - pos_, kCharRefBytes);
  const std::string_view source(reinterpret_cast<const char*>(data_ + pos_), static_cast<size_t>(window));
  std::string text;
  const size_t length = DecodeXmlCharRef(source, 0, text);
  if (length == 0) return false;
  const std::string_view number = source.substr(1, length - 2);
  if (const MarkupEntity* entity = FindMarkupEntity(number, false); entity && entity->name.size() == number.size())
    return false;
  // A control character (a line feed in a cell's text) is a blank: the cell stays on
  // its row and its words apart.
  if (static_cast<uint8_t>(text[0]) < 0x20 && text[0] != '\t') text[0] = ' ';
  const bool pair = IsSjisLeadByte(static_cast<uint8_t>(text[0]));
  if (SourceText(text, pair) > 0) pos_ += static_cast<int64_t>(length);
  return true;
}

void MarkupConverter::Entity() {
  if (dialect_ == MarkupDialect::SheetXml && CharacterReference()) return;
  // Up to 7 bytes after "&", to the first ";", CR and LF dropped.
  char name[kEntityBytes];
  int64_t ends[kEntityBytes];
  int count = 0;
  int64_t at = pos_ + 1;
  int64_t semicolon = -1;
  while (at < len_ && count < kEntityBytes) {
    const uint8_t c = At(at);
    if (c == ';') {
      semicolon = at;
      break;
    }
    ++at;
    if (c == '\r' || c == '\n') continue;
    name[count] = static_cast<char>(c);
    ends[count++] = at;
  }
  const MarkupEntity* entity = FindMarkupEntity(std::string_view(name, static_cast<size_t>(count)),
                                                dialect_ == MarkupDialect::Html);
  if (!entity) {
    SourceText("&");
    ++pos_;
    return;
  }
  const std::string_view text = doc_.m_bAsciiFixed == 0 && !entity->sjis.empty() ? entity->sjis : entity->ascii;
  const int64_t next = semicolon >= 0 ? semicolon + 1 : ends[entity->name.size() - 1];
  const bool pair = IsSjisLeadByte(static_cast<uint8_t>(text[0]));
  if (SourceText(text, pair) > 0) pos_ = next;
}

void MarkupConverter::Escape() {
  const uint8_t b1 = pos_ + 1 < len_ ? At(pos_ + 1) : 0;
  const uint8_t b2 = pos_ + 2 < len_ ? At(pos_ + 2) : 0;
  if (b1 == '$' && (b2 == 'B' || b2 == 'b')) {
    pos_ += 3;
    jis_ = true;
  } else if (b1 == '(' && (b2 == 'B' || b2 == 'J' || b2 == 'b' || b2 == 'j')) {
    pos_ += 3;
  } else {
    SourceText("\x1B");
    ++pos_;
  }
}

// JIS text after ESC $ B: pairs of bytes above 0x1F, up to the next control byte
// (normally the ESC that switches back), which the main loop then handles.
void MarkupConverter::JisRun() {
  while (pos_ + 1 < len_ && At(pos_) > 0x1F && At(pos_ + 1) > 0x1F) {
    if (!style_) {
      const unsigned sjis = plat::JisToSjis(static_cast<unsigned>(At(pos_)) << 8 | At(pos_ + 1));
      const char pair[2] = {static_cast<char>(sjis >> 8), static_cast<char>(sjis & 0xFF)};
      const std::string_view text = sjis == 0 ? kUnmappable : std::string_view(pair, 2);
      if (SourceText(text, true) == 0) return;  // matrix full: read again after the flush
    }
    pos_ += 2;
    ++passes_;
  }
  if (pos_ < len_ && At(pos_) > 0x1F) ++pos_;  // half a pair before a control byte
  jis_ = false;
}

// An attribute value in the page's character set, as Shift-JIS.
std::string MarkupConverter::DecodeValue(std::string_view bytes) {
  std::string out;
  const uint8_t* saved = data_;
  const int64_t savedLen = len_;
  const ByteCursor savedIn = in_;
  data_ = reinterpret_cast<const uint8_t*>(bytes.data());
  len_ = static_cast<int64_t>(bytes.size());
  in_ = ByteCursor(bytes);
  bool jis = false;
  for (int64_t at = 0; at < len_;) {
    const uint8_t c = At(at);
    if (c == kEsc && at + 2 < len_) {
      const uint8_t b1 = At(at + 1), b2 = At(at + 2);
      if (b1 == '$' && (b2 == 'B' || b2 == 'b')) {
        jis = true;
        at += 3;
        continue;
      }
      if (b1 == '(' && (b2 == 'B' || b2 == 'J' || b2 == 'b' || b2 == 'j')) {
        jis = false;
        at += 3;
        continue;
      }
    }
    if (jis && c > 0x1F && at + 1 < len_ && At(at + 1) > 0x1F) {
      const unsigned sjis = plat::JisToSjis(static_cast<unsigned>(c) << 8 | At(at + 1));
      if (sjis == 0) {
        out += kUnmappable;
      } else {
        out.push_back(static_cast<char>(sjis >> 8));
        out.push_back(static_cast<char>(sjis & 0xFF));
      }
      at += 2;
      continue;
    }
    if (c >= 0x80 && convert_) {
      if (mode_ == kModeUnset) mode_ = GuessMode(at, false);
      const int taken = ConvertAt(at, scratch_);
      if (taken > 0) {
        out += scratch_;
        at += taken;
        continue;
      }
    }
    if (c != 0) out.push_back(static_cast<char>(c));
    ++at;
  }
  data_ = saved;
  len_ = savedLen;
  in_ = savedIn;
  return out;
}

// Writing: text goes into the open table row's current cell, else to the output.

void MarkupConverter::Out(std::string_view text) { out_.Append(text); }

void MarkupConverter::Break() {
  if (inRow_) {
    // A break before anything of the cell is written ("<td><br></td>") would only
    // add an empty line to the row.
    if (cellLine_ > 0 || matrix_.Length(rowLine_, column_) > 0) NewCellLine();
  } else {
    Out("\n");
  }
}

bool MarkupConverter::JustBroke() const {
  if (inRow_) return matrix_.Length(rowLine_ + cellLine_, column_) == 0;
  return doc_.m_nConvPos == 0 || doc_.m_pConvBuf[doc_.m_nConvPos - 1] == '\n';
}

// Text that tags produce (marks, labels, alternative texts).
void MarkupConverter::WriteMark(std::string_view text) {
  closeBreak_ = false;
  if (!inRow_) {
    Out(text);
    return;
  }
  for (size_t i = 0; i < text.size(); ++i) {
    const bool pair = IsSjisLeadByte(static_cast<uint8_t>(text[i])) && i + 1 < text.size();
    if (pair) {
      if (!CellUnit(&text[i], 2)) return;
      ++i;
    } else if (!CellByte(text[i])) {
      return;
    }
  }
}

// Text of the source; `unit` keeps its bytes together as one character. Returns
// the bytes taken: fewer only when the table matrix is full.
size_t MarkupConverter::SourceText(std::string_view text, bool unit) {
  if (style_) return text.size();
  closeBreak_ = false;
  if (inRow_) {
    pendingMark_ = -1;
    // Text in a row before its first cell is a cell of its own: the flush writes
    // columns from 1 on, so nothing may stay in column 0.
    if (column_ == 0 && !listing_ && text.find_first_not_of(" \t\r\n") != std::string_view::npos) StartCell();
    if (unit) return CellUnit(text.data(), static_cast<int>(text.size())) ? text.size() : 0;
    for (size_t i = 0; i < text.size(); ++i) {
      if (!CellByte(text[i])) return i;
    }
    return text.size();
  }
  if (pendingMark_ >= 0) {
    static constexpr std::string_view kOpen[3] = {" [", "<<", " <"};
    Out(kOpen[pendingMark_]);
    markOpen_[pendingMark_] = true;
    pendingMark_ = -1;
  }
  Out(text);
  return text.size();
}

bool MarkupConverter::CellByte(char byte) {
  switch (byte) {
    case '\n':
      return NewCellLine();
    case '\r':
    case '\0':
      return true;
    case '\t':
      return CellUnit("    ", 4);
    default:
      return CellUnit(&byte, 1);
  }
}

// One character (1 to 4 bytes, never split) into the current cell line; a line
// that reaches the wrap width continues on a new cell line.
bool MarkupConverter::CellUnit(const char* bytes, int count) {
  const int length = matrix_.Length(rowLine_ + cellLine_, column_);
  if (length > 0 && length + count > wrapWidth_ && !NewCellLine()) return false;
  return matrix_.Append(rowLine_ + cellLine_, column_, bytes, count);
}

bool MarkupConverter::NewCellLine() {
  const int line = rowLine_ + cellLine_;
  if (line + 1 >= matrix_.RowCapacity()) return false;
  cellWidest_ = std::max(cellWidest_, matrix_.Length(line, column_));
  ++cellLine_;
  rowDeepest_ = std::max(rowDeepest_, cellLine_);
  return true;
}
