// Tags: the text between "<" and ">" is read (comments skipped), then its word is
// matched against the fixed tag words in order, each acting on the layout.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "app/QelDoc.h"
#include "convert/markup/MarkupConverter.h"

namespace {

constexpr size_t kTagBytes = 1000;
constexpr int64_t kCommentBytes = 10000;
constexpr int kRuleBytes = 78;

bool IsNameChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return std::isalnum(u) || c == ':' || c == '-' || c == '_' || c == '.';
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

}  // namespace

// The tag's word is `word` (given in lower case but for "sheetData", any case).
bool MarkupConverter::Word(std::string_view word) const {
  if (m_tagName.size() != word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    if (m_tagName[i] != LowerAscii(word[i])) return false;
  }
  return true;
}

bool MarkupConverter::Prefix(std::string_view word) const { return m_tagName.starts_with(word); }

void MarkupConverter::Tag() {
  if (m_pos + 3 < m_len && std::memcmp(m_data + m_pos, "<!--", 4) == 0) {
    const int64_t from = m_pos + 4;
    const int64_t to = std::min(m_len, from + kCommentBytes);
    int64_t at = from;
    while (at + 2 < to && !(m_data[at] == '-' && m_data[at + 1] == '-' && m_data[at + 2] == '>')) ++at;
    m_pos = at + 2 < to ? at + 3 : to;
    return;
  }
  // The tag text up to ">", CR and LF dropped. Inside JIS text (ESC up to the next
  // ESC or blank) a ">" belongs to a character and does not end the tag.
  ++m_pos;
  m_tag.clear();
  bool jis = false;
  while (m_pos < m_len) {
    const char c = static_cast<char>(m_data[m_pos++]);
    if (c == '>' && !jis) {
      if (m_tag.size() < kTagBytes) m_tag.push_back('>');
      break;
    }
    if (c == '\r' || c == '\n') continue;
    if (c == '\x1B') {
      jis = !jis;
    } else if (c == ' ') {
      jis = false;
    }
    if (m_tag.size() < kTagBytes) m_tag.push_back(c);
  }
  if (!m_pre) {
    while (m_pos < m_len && (m_data[m_pos] == ' ' || m_data[m_pos] == '\r' || m_data[m_pos] == '\n' ||
                             m_data[m_pos] == '\t')) {
      ++m_pos;
    }
  }
  if (!m_modeFromMeta) m_mode = 0;  // a guessed character set holds until the next tag
  m_tagName.clear();
  for (size_t i = 0; i < m_tag.size() && (IsNameChar(m_tag[i]) || (i == 0 && m_tag[i] == '/')); ++i) {
    m_tagName.push_back(LowerAscii(m_tag[i]));
  }
  DispatchTag();
}

void MarkupConverter::Emphasis(int which, bool open) {
  if (m_doc.m_nListingKind != 0) return;
  if (open) {
    m_pendingMark = which;
    return;
  }
  if (m_pendingMark == which) {
    m_pendingMark = -1;  // nothing was written inside: no marks at all
    return;
  }
  if (!m_markOpen[which] || m_inRow) return;
  static constexpr std::string_view kClose[3] = {"] ", ">>", "> "};
  m_markOpen[which] = false;
  WriteMark(kClose[which]);
}

void MarkupConverter::DispatchTag() {
  const bool table = IsTableTag(false);
  const bool endTable = IsTableTag(true);
  if (table || endTable) FlushTable(false);
  if (endTable) {
    const int depth = m_tableDepth;
    m_tableDepth = std::max(0, m_tableDepth - 1);
    if (depth != 1) Out("\n");
    return;
  }
  if (table) {
    Out("\n");
    ++m_tableDepth;
    m_rowSpan.fill(0);
    return;
  }
  if (IsRowTag(true)) {
    EndRow();
    return;
  }
  if (IsRowTag(false)) {
    EndRow();
    if (m_listing) {
      Break();
    } else {
      StartRow(true);
    }
    return;
  }
  if (IsCellTag(false)) {
    StartCell();
    return;
  }
  if (IsCellTag(true)) {
    EndCell();
    return;
  }
  if (Word("dt") || Word("dd")) {
    if (!m_closeBreak) Break();
    return;
  }
  if (Word("/dt") || Word("/dd") || Word("/h1") || Word("/h2") || Word("/h3") || Prefix("/tit")) {
    Break();
    m_closeBreak = true;
    return;
  }
  if (Word("/pre")) {
    m_pre = false;
    return;
  }
  if (Word("/span") || Word("span")) return;
  if (Word("/li")) {
    m_listItem = false;
    m_closeBreak = true;
    return;
  }
  if (Word("/ol") || Word("/ul")) {
    Break();
    m_closeBreak = true;
    return;
  }
  if (Word("ol") || Word("ul")) {
    Break();
    return;
  }
  if (Word("/p")) return;
  if (Word("p")) {
    if (!m_inRow) Break();
    return;
  }
  if (Word("pre")) {
    m_pre = true;
    Break();
    return;
  }
  static constexpr std::string_view kEmphasis[3] = {"b", "u", "i"};
  static constexpr std::string_view kEmphasisEnd[3] = {"/b", "/u", "/i"};
  for (int i = 0; i < 3; ++i) {
    if (Word(kEmphasis[i]) || Word(kEmphasisEnd[i])) {
      Emphasis(i, Word(kEmphasis[i]));
      return;
    }
  }
  static constexpr std::string_view kLinkWords[] = {"a", "img", "input", "area", "frame", "meta"};
  static constexpr int kLinkKinds[] = {kLinkAnchor, kLinkImage, kLinkInput, kLinkArea, kLinkFrame, kLinkMeta};
  for (size_t i = 0; i < std::size(kLinkWords); ++i) {
    if (Word(kLinkWords[i])) {
      Link(kLinkKinds[i]);
      return;
    }
  }
  if (Word("/a")) {
    m_anchor = false;
    return;
  }
  if (Word("option")) {
    WriteMark("|");
    return;
  }
  if (Word("style")) {
    // An empty element ("<Style .../>" of spreadsheet XML) holds no style text.
    m_style = !(m_tag.size() >= 2 && m_tag.compare(m_tag.size() - 2, 2, "/>") == 0);
    return;
  }
  if (Word("/style")) {
    m_style = false;
    return;
  }
  static constexpr std::string_view kHeadings[3] = {"h1", "h2", "h3"};
  static constexpr std::string_view kHeadingMarks[3] = {"$:", "#:", ">:"};
  for (int i = 0; i < 3; ++i) {
    if (Word(kHeadings[i])) {
      WriteMark(kHeadingMarks[i]);
      return;
    }
  }
  if (Word("br")) {
    Break();
    m_listItem = false;
    return;
  }
  if (Word("/div")) {
    Break();
    return;
  }
  if (Word("li")) {
    if (!JustBroke()) Break();
    WriteMark("   \x81\x45");
    m_listItem = true;
    return;
  }
  if (Word("hr")) {
    Break();
    WriteMark(std::string(kRuleBytes, '-'));
    Break();
  }
}
