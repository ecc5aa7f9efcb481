// Tags that carry addresses and alternative texts: anchors, images, inputs, image
// map areas, frames and meta tags (which also name the page's character set).
// Addresses are numbered in the text (" @07:") and listed at the end.
#include <algorithm>
#include <cctype>

#include "app/QelDoc.h"
#include "base/AsciiCase.h"
#include "convert/markup/MarkupConverter.h"

namespace {

constexpr size_t kMaxLinks = 640;
constexpr size_t kMaxSpanDigits = 2;

bool IsNameChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return std::isalnum(u) || c == ':' || c == '-' || c == '_' || c == '.';
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The two label characters of link number n: tens as "0"-"9", then "A"-"Z" from
// 100, then "a" onwards from 360; units as "0"-"9".
std::string LabelChars(size_t n) {
  const size_t tens = n / 10;
  char first;
  if (tens < 10) {
    first = static_cast<char>('0' + tens);
  } else if (tens < 36) {
    first = static_cast<char>('A' + tens - 10);
  } else {
    first = static_cast<char>('a' + tens - 36);
  }
  return {first, static_cast<char>('0' + n % 10)};
}

}  // namespace

// The value of attribute `name` (any case) in the tag text: after "=" and an
// optional quote, up to the matching quote, or for an unquoted value up to a
// blank, a double quote or the tag's end. Empty when the tag lacks it.
std::string_view MarkupConverter::Attribute(std::string_view name) const {
  const std::string_view tag(tag_);
  for (size_t at = 1; at + name.size() < tag.size(); ++at) {
    if (IsNameChar(tag[at - 1])) continue;
    if (!EqualsNoCase(tag.substr(at, name.size()), name)) continue;
    size_t p = at + name.size();
    while (p < tag.size() && IsBlank(tag[p])) ++p;
    if (p >= tag.size() || tag[p] != '=') continue;
    ++p;
    while (p < tag.size() && IsBlank(tag[p])) ++p;
    // The value ends at its closing quote, or unquoted at a blank, a double quote or
    // the tag's end; inside JIS text (ESC $ up to ESC () these bytes are characters.
    const bool quoted = p < tag.size() && (tag[p] == '"' || tag[p] == '\'');
    const char quote = quoted ? tag[p++] : 0;
    bool jis = false;
    size_t end = p;
    for (; end < tag.size(); ++end) {
      const char c = tag[end];
      if (c == '\x1B' && end + 1 < tag.size()) {
        jis = tag[end + 1] == '$';
        continue;
      }
      if (jis) continue;
      if (quoted ? c == quote : IsBlank(c) || c == '"' || c == '>') break;
    }
    if (quoted && end == tag.size() && !tag.empty() && tag.back() == '>') --end;
    return tag.substr(p, end - p);
  }
  return {};
}

// A span attribute: -1 when absent; else its leading digits (a value that
// does not start with a digit counts as 1).
int MarkupConverter::NumberAttribute(std::string_view name) const {
  if (AsciiLowerCopy(tag_).find(name) == std::string::npos) return -1;
  const std::string_view value = Attribute(name);
  if (value.empty() || !std::isdigit(static_cast<unsigned char>(value[0]))) return 1;
  int number = 0;
  for (size_t i = 0; i < kMaxSpanDigits && i < value.size() && std::isdigit(static_cast<unsigned char>(value[i])); ++i) {
    number = number * 10 + (value[i] - '0');
  }
  return number;
}

void MarkupConverter::Link(int kind) {
  if (kind == kLinkMeta) {
    const std::string lower = AsciiLowerCopy(tag_);
    if (lower.find("charset=") != std::string::npos) {
      if (lower.find("utf-8") != std::string::npos) {
        mode_ = kCharUtf8;
        modeFromMeta_ = true;
        convert_ = doc_.m_nReadTextForm == 0;
      } else if (lower.find("shift_jis") != std::string::npos || lower.find("x_jis") != std::string::npos ||
                 lower.find("x-sjis") != std::string::npos) {
        mode_ = kCharGuessEuc;
        modeFromMeta_ = true;
        convert_ = false;
      }
    }
  }
  if (kind == kLinkImage) WriteMark(anchor_ ? "<a-img>" : "<image>");
  if (kind == kLinkInput) WriteMark("<input>");
  if (kind == kLinkAnchor) anchor_ = true;
  const bool showAddress = doc_.m_bShowAddress != 0;
  if (showAddress && AsciiLowerCopy(tag_).find("nohref") == std::string::npos) {
    std::string_view value = Attribute("href");
    if (value.empty() && kind == kLinkFrame) value = Attribute("src");
    if (value.empty() && kind == kLinkMeta) value = Attribute("url");
    if (!value.empty() && links_.size() < kMaxLinks) {
      links_.push_back(DecodeValue(value));
      WriteMark(" @" + LabelChars(links_.size()) + ":");
      if (doc_.m_nListingKind > 0 && doc_.m_nListingForm == 1) WriteMark("\n" + links_.back() + "\n");
    }
  }
  if (kind != kLinkAnchor || showAddress) {
    const std::string_view alt = Attribute("alt");
    if (!alt.empty()) WriteMark("<<" + DecodeValue(alt) + ">>");
    const std::string_view name = Attribute("name");
    if (!name.empty()) WriteMark(" <" + DecodeValue(name) + "> ");
  }
}

void MarkupConverter::WriteLinkList() {
  Out("\n\n--address----------------------------------\n\n");
  for (size_t i = 0; i < links_.size(); ++i) {
    Out("@");
    Out(LabelChars(i + 1));
    Out(" ");
    Out(links_[i]);
    Out("\n");
  }
}
