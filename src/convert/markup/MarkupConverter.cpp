#include "convert/markup/MarkupConverter.h"

#include <algorithm>
#include <cstring>

#include "app/QelDoc.h"
#include "convert/markup/MarkupEntities.h"
#include "platform/CodePage.h"

namespace {

constexpr int64_t kMaxPasses = 1000000;  // one per byte, tag or entity
constexpr int kEntityBytes = 7;
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

MarkupConverter::MarkupConverter(CQelDoc& doc, MarkupDialect dialect, int tableLayout, int64_t length)
    : m_doc(doc), m_out(doc.m_pConvBuf, doc.m_nConvCap, doc.m_nConvPos), m_dialect(dialect) {
  m_data = doc.m_pRawData;
  m_len = m_data ? std::max<int64_t>(0, std::min(length, doc.m_nRawLen)) : 0;
  m_outLimit = std::max(0, std::min(doc.m_nOutDataLimit, doc.m_nConvCap - 1));
  m_convert = doc.m_nReadTextForm == 0;
  m_listing = doc.m_nListingKind != 0 && doc.m_nListingForm != 0;
  if (doc.m_nTextSizeIndex < 5) {
    m_wrapWidth = 164 - 20 * std::max(doc.m_nTextSizeIndex, -30);
  } else {
    m_wrapWidth = doc.m_nListingKind > 0 && doc.m_nListingForm == 1 ? 80 : 64;
  }
  m_wrapWidth = std::clamp(m_wrapWidth, 2, CellMatrix::kLineBytes);
  if (tableLayout == 2) {
    m_separator = '\x08';
  } else if (tableLayout == 1 && doc.m_nListingKind == 0) {
    m_separator = '|';
  }
  m_tag.reserve(1024);
}

ConvertStatus MarkupConverter::Run() {
  m_doc.m_nConvPos = 0;
  m_out.Terminate();
  m_doc.m_nRawPos = 0;
  if (!m_matrix.Allocate(m_doc.m_nTableRows, &m_doc.m_allocHook)) {
    return ConvertStatus::OutOfMemory(m_dialect == MarkupDialect::Html ? " 015" : " 014");
  }
  if (m_doc.m_nDisplayForm == 2) {
    CopySource();
  } else {
    Out("\n");
    if (m_len > 0 && m_data[0] == 0xEF) m_pos = std::min<int64_t>(3, m_len);  // UTF-8 byte-order mark
    ConvertBody();
    // Rows of a table left open at the end are laid out too, not lost.
    FlushTable(false);
    WriteLinkList();
  }
  m_doc.m_nRawPos = m_pos;
  return ConvertStatus::Ok();
}

void MarkupConverter::ConvertBody() {
  const bool keepBreaks = m_doc.m_bVerticalRules != 0;
  while (m_pos < m_len && m_passes < kMaxPasses && m_doc.m_nConvPos < m_outLimit) {
    ++m_passes;
    if (MatrixFull()) {
      FlushTable(true);
      continue;
    }
    if (m_jis) {
      JisRun();
      continue;
    }
    uint8_t c = m_data[m_pos];
    if (c == '\t') {
      if (++m_pos >= m_len) break;
      c = m_data[m_pos];
    }
    if (c == 0xFF) break;
    if (IsCollapsible(c) && !m_pre && !m_listItem && !keepBreaks) {
      while (m_pos < m_len && IsCollapsible(m_data[m_pos])) ++m_pos;
      while (m_pos < m_len && (m_data[m_pos] == ' ' || m_data[m_pos] == '\t')) ++m_pos;
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
  const uint8_t c = m_data[m_pos];
  if (c == '\r' || c == '\n') {
    // A CR alone or an LF is a line break; the CR of CR LF is dropped.
    if (c == '\r' && m_pos + 1 < m_len && m_data[m_pos + 1] == '\n') {
      ++m_pos;
    } else if (SourceText("\n") > 0) {
      ++m_pos;
    }
    return;
  }
  if (c == 0) {  // a NUL of the source never reaches the text
    ++m_pos;
    return;
  }
  if (c == '\t') {
    if (SourceText("\t") > 0) ++m_pos;
    return;
  }
  int64_t end = m_pos + 1;
  while (end < m_len && !kStop[m_data[end]]) ++end;
  if (!m_inRow) end = std::min<int64_t>(end, m_pos + std::max(1, m_outLimit - m_doc.m_nConvPos));
  const auto* text = reinterpret_cast<const char*>(m_data + m_pos);
  // Fewer bytes are taken only when the table matrix is full: the rest is read
  // again after the flush.
  const size_t taken = SourceText(std::string_view(text, static_cast<size_t>(end - m_pos)));
  m_pos += static_cast<int64_t>(taken);
  if (taken > 1) m_passes += static_cast<int64_t>(taken) - 1;
}

int MarkupConverter::GuessMode(int64_t at, bool sourceDisplay) const {
  const uint8_t c = m_data[at];
  if (c < 0xE0 || at + 3 >= m_len) return 6;
  const uint8_t d = m_data[at + 3];
  if (d >= 0xE0) return 5;
  if (sourceDisplay) return d == '\r' || d == '\n' || (d >= 0x20 && d < 0x7F) ? 5 : 6;
  return d == '<' || d == '"' ? 5 : 6;
}

int MarkupConverter::ConvertAt(int64_t at, std::string& out) {
  const uint8_t b0 = m_data[at];
  const uint8_t b1 = at + 1 < m_len ? m_data[at + 1] : 0;
  const uint8_t b2 = at + 2 < m_len ? m_data[at + 2] : 0;
  char* scratch = m_doc.m_szSjisScratch.data();
  scratch[0] = scratch[1] = 0;
  const int consumed = m_doc.ConvertCharToSjis(b0, b1, b2, m_mode, 0);
  if (consumed <= 0) return 0;
  // The conversion sees three bytes: the fourth of a four-byte sequence is checked here.
  if (consumed == 3 && (at + 3 >= m_len || (m_data[at + 3] & 0xC0) != 0x80)) return 0;
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
  if (m_style) {
    ++m_pos;
    return;
  }
  if (m_convert) {
    if (m_mode == 0) m_mode = GuessMode(m_pos, false);
    const int taken = ConvertAt(m_pos, m_scratch);
    if (taken > 0) {
      if (SourceText(m_scratch, true) > 0) m_pos = std::min(m_pos + taken, m_len);
      return;
    }
  }
  const uint8_t c = m_data[m_pos];
  const int count = plat::IsSjisLeadByte(c) && m_pos + 1 < m_len && IsSjisTrail(m_data[m_pos + 1]) ? 2 : 1;
  if (SourceText(std::string_view(reinterpret_cast<const char*>(m_data + m_pos), count), true) > 0) m_pos += count;
}

void MarkupConverter::Entity() {
  // Up to 7 bytes after "&", to the first ";", CR and LF dropped.
  char name[kEntityBytes];
  int64_t ends[kEntityBytes];
  int count = 0;
  int64_t at = m_pos + 1;
  int64_t semicolon = -1;
  while (at < m_len && count < kEntityBytes) {
    const uint8_t c = m_data[at];
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
                                                m_dialect == MarkupDialect::Html);
  if (!entity) {
    SourceText("&");
    ++m_pos;
    return;
  }
  const std::string_view text = m_doc.m_bAsciiFixed == 0 && !entity->sjis.empty() ? entity->sjis : entity->ascii;
  const int64_t next = semicolon >= 0 ? semicolon + 1 : ends[entity->name.size() - 1];
  const bool pair = plat::IsSjisLeadByte(static_cast<uint8_t>(text[0]));
  if (SourceText(text, pair) > 0) m_pos = next;
}

void MarkupConverter::Escape() {
  const uint8_t b1 = m_pos + 1 < m_len ? m_data[m_pos + 1] : 0;
  const uint8_t b2 = m_pos + 2 < m_len ? m_data[m_pos + 2] : 0;
  if (b1 == '$' && (b2 == 'B' || b2 == 'b')) {
    m_pos += 3;
    m_jis = true;
  } else if (b1 == '(' && (b2 == 'B' || b2 == 'J' || b2 == 'b' || b2 == 'j')) {
    m_pos += 3;
  } else {
    SourceText("\x1B");
    ++m_pos;
  }
}

// JIS text after ESC $ B: pairs of bytes above 0x1F, up to the next control byte
// (normally the ESC that switches back), which the main loop then handles.
void MarkupConverter::JisRun() {
  while (m_pos + 1 < m_len && m_data[m_pos] > 0x1F && m_data[m_pos + 1] > 0x1F) {
    if (!m_style) {
      const unsigned sjis = plat::JisToSjis(static_cast<unsigned>(m_data[m_pos]) << 8 | m_data[m_pos + 1]);
      const char pair[2] = {static_cast<char>(sjis >> 8), static_cast<char>(sjis & 0xFF)};
      const std::string_view text = sjis == 0 ? kUnmappable : std::string_view(pair, 2);
      if (SourceText(text, true) == 0) return;  // matrix full: read again after the flush
    }
    m_pos += 2;
    ++m_passes;
  }
  if (m_pos < m_len && m_data[m_pos] > 0x1F) ++m_pos;  // half a pair before a control byte
  m_jis = false;
}

// An attribute value in the page's character set, as Shift-JIS.
std::string MarkupConverter::DecodeValue(std::string_view bytes) {
  std::string out;
  const uint8_t* saved = m_data;
  const int64_t savedLen = m_len;
  m_data = reinterpret_cast<const uint8_t*>(bytes.data());
  m_len = static_cast<int64_t>(bytes.size());
  bool jis = false;
  for (int64_t at = 0; at < m_len;) {
    const uint8_t c = m_data[at];
    if (c == kEsc && at + 2 < m_len) {
      const uint8_t b1 = m_data[at + 1], b2 = m_data[at + 2];
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
    if (jis && c > 0x1F && at + 1 < m_len && m_data[at + 1] > 0x1F) {
      const unsigned sjis = plat::JisToSjis(static_cast<unsigned>(c) << 8 | m_data[at + 1]);
      if (sjis == 0) {
        out += kUnmappable;
      } else {
        out.push_back(static_cast<char>(sjis >> 8));
        out.push_back(static_cast<char>(sjis & 0xFF));
      }
      at += 2;
      continue;
    }
    if (c >= 0x80 && m_convert) {
      if (m_mode == 0) m_mode = GuessMode(at, false);
      const int taken = ConvertAt(at, m_scratch);
      if (taken > 0) {
        out += m_scratch;
        at += taken;
        continue;
      }
    }
    if (c != 0) out.push_back(static_cast<char>(c));
    ++at;
  }
  m_data = saved;
  m_len = savedLen;
  return out;
}

// Writing: text goes into the open table row's current cell, else to the output.

void MarkupConverter::Out(std::string_view text) { m_out.Append(text); }

void MarkupConverter::Break() {
  if (m_inRow) {
    // A break before anything of the cell is written ("<td><br></td>") would only
    // add an empty line to the row.
    if (m_cellLine > 0 || m_matrix.Length(m_rowLine, m_column) > 0) NewCellLine();
  } else {
    Out("\n");
  }
}

bool MarkupConverter::JustBroke() const {
  if (m_inRow) return m_matrix.Length(m_rowLine + m_cellLine, m_column) == 0;
  return m_doc.m_nConvPos == 0 || m_doc.m_pConvBuf[m_doc.m_nConvPos - 1] == '\n';
}

// Text that tags produce (marks, labels, alternative texts).
void MarkupConverter::WriteMark(std::string_view text) {
  m_closeBreak = false;
  if (!m_inRow) {
    Out(text);
    return;
  }
  for (size_t i = 0; i < text.size(); ++i) {
    const bool pair = plat::IsSjisLeadByte(static_cast<uint8_t>(text[i])) && i + 1 < text.size();
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
  if (m_style) return text.size();
  m_closeBreak = false;
  if (m_inRow) {
    m_pendingMark = -1;
    if (unit) return CellUnit(text.data(), static_cast<int>(text.size())) ? text.size() : 0;
    for (size_t i = 0; i < text.size(); ++i) {
      if (!CellByte(text[i])) return i;
    }
    return text.size();
  }
  if (m_pendingMark >= 0) {
    static constexpr std::string_view kOpen[3] = {" [", "<<", " <"};
    Out(kOpen[m_pendingMark]);
    m_markOpen[m_pendingMark] = true;
    m_pendingMark = -1;
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
  const int length = m_matrix.Length(m_rowLine + m_cellLine, m_column);
  if (length > 0 && length + count > m_wrapWidth && !NewCellLine()) return false;
  return m_matrix.Append(m_rowLine + m_cellLine, m_column, bytes, count);
}

bool MarkupConverter::NewCellLine() {
  const int line = m_rowLine + m_cellLine;
  if (line + 1 >= m_matrix.RowCapacity()) return false;
  m_cellWidest = std::max(m_cellWidest, m_matrix.Length(line, m_column));
  ++m_cellLine;
  m_rowDeepest = std::max(m_rowDeepest, m_cellLine);
  return true;
}
