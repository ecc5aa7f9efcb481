// Tags: the text between "<" and ">" is read (comments skipped), then its word is
// matched against the fixed tag words in order, each acting on the layout.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "app/QelDoc.h"
#include "base/AsciiCase.h"
#include "convert/markup/MarkupConverter.h"

namespace {

constexpr size_t kTagBytes = 1000;
constexpr int64_t kCommentBytes = 10000;
constexpr int kRuleBytes = 78;

bool IsNameChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return std::isalnum(u) || c == ':' || c == '-' || c == '_' || c == '.';
}

}  // namespace

// The tag's word is `word` (given in lower case but for "sheetData", any case).
bool MarkupConverter::Word(std::string_view word) const { return EqualsNoCase(tagName_, word); }

bool MarkupConverter::Prefix(std::string_view word) const { return tagName_.starts_with(word); }

void MarkupConverter::Tag() {
  if (pos_ + 3 < len_ && std::memcmp(data_ + pos_, "<!--", 4) == 0) {
    const int64_t from = pos_ + 4;
    const int64_t to = std::min(len_, from + kCommentBytes);
    int64_t at = from;
    while (at + 2 < to && !(At(at) == '-' && At(at + 1) == '-' && At(at + 2) == '>')) ++at;
    pos_ = at + 2 < to ? at + 3 : to;
    return;
  }
  // The tag text up to ">", CR and LF dropped. Inside JIS text (ESC up to the next
  // ESC or blank) a ">" belongs to a character and does not end the tag.
  ++pos_;
  tag_.clear();
  bool jis = false;
  while (pos_ < len_) {
    const char c = static_cast<char>(At(pos_++));
    if (c == '>' && !jis) {
      if (tag_.size() < kTagBytes) tag_.push_back('>');
      break;
    }
    if (c == '\r' || c == '\n') continue;
    if (c == '\x1B') {
      jis = !jis;
    } else if (c == ' ') {
      jis = false;
    }
    if (tag_.size() < kTagBytes) tag_.push_back(c);
  }
  if (!pre_) {
    while (pos_ < len_ && (At(pos_) == ' ' || At(pos_) == '\r' || At(pos_) == '\n' ||
                             At(pos_) == '\t')) {
      ++pos_;
    }
  }
  if (!modeFromMeta_) mode_ = kModeUnset;  // a guessed character set holds until the next tag
  tagName_.clear();
  for (size_t i = 0; i < tag_.size() && (IsNameChar(tag_[i]) || (i == 0 && tag_[i] == '/')); ++i) {
    tagName_.push_back(AsciiLower(tag_[i]));
  }
  DispatchTag();
}

void MarkupConverter::Emphasis(int which, bool open) {
  if (doc_.m_nListingKind != 0) return;
  if (open) {
    pendingMark_ = which;
    return;
  }
  if (pendingMark_ == which) {
    pendingMark_ = -1;  // nothing was written inside: no marks at all
    return;
  }
  if (!markOpen_[which] || inRow_) return;
  static constexpr std::string_view kClose[3] = {"] ", ">>", "> "};
  markOpen_[which] = false;
  WriteMark(kClose[which]);
}

// The table's own tags (table, row, cell, each opening or closing); false for any other.
bool MarkupConverter::TableTag() {
  const bool table = IsTableTag(false);
  const bool endTable = IsTableTag(true);
  if (table || endTable) FlushTable(false);
  if (endTable) {
    const int depth = tableDepth_;
    tableDepth_ = std::max(0, tableDepth_ - 1);
    if (depth != 1) Out("\n");
    return true;
  }
  if (table) {
    Out("\n");
    ++tableDepth_;
    rowSpan_.fill(0);
    return true;
  }
  if (IsRowTag(true)) {
    EndRow();
    return true;
  }
  if (IsRowTag(false)) {
    EndRow();
    if (listing_) {
      Break();
    } else {
      StartRow(true);
    }
    return true;
  }
  if (IsCellTag(false)) {
    StartCell();
    return true;
  }
  if (IsCellTag(true)) {
    EndCell();
    return true;
  }
  return false;
}

void MarkupConverter::DispatchTag() {
  if (TableTag()) return;
  if (Word("dt") || Word("dd")) {
    if (!closeBreak_) Break();
    return;
  }
  if (Word("/dt") || Word("/dd") || Word("/h1") || Word("/h2") || Word("/h3") || Prefix("/tit")) {
    Break();
    closeBreak_ = true;
    return;
  }
  if (Word("/pre")) {
    pre_ = false;
    return;
  }
  if (Word("/span") || Word("span")) return;
  if (Word("/li")) {
    listItem_ = false;
    closeBreak_ = true;
    return;
  }
  if (Word("/ol") || Word("/ul")) {
    Break();
    closeBreak_ = true;
    return;
  }
  if (Word("ol") || Word("ul")) {
    Break();
    return;
  }
  if (Word("/p")) return;
  if (Word("p")) {
    if (!inRow_) Break();
    return;
  }
  if (Word("pre")) {
    pre_ = true;
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
    anchor_ = false;
    return;
  }
  if (Word("option")) {
    WriteMark("|");
    return;
  }
  if (Word("style")) {
    // An empty element ("<Style .../>" of spreadsheet XML) holds no style text.
    style_ = !(tag_.size() >= 2 && tag_.compare(tag_.size() - 2, 2, "/>") == 0);
    return;
  }
  if (Word("/style")) {
    style_ = false;
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
    listItem_ = false;
    return;
  }
  if (Word("/div")) {
    Break();
    return;
  }
  if (Word("li")) {
    if (!JustBroke()) Break();
    WriteMark("   \x81\x45");
    listItem_ = true;
    return;
  }
  if (Word("hr")) {
    Break();
    WriteMark(std::string(kRuleBytes, '-'));
    Break();
  }
}
