// The browser view's title handler and its short title. Titles are CP932: every
// position used is found by walking the characters from the start, so that no
// double-byte character is split and no trail byte is read as a separator.
#include <algorithm>
#include <vector>

#include "frame/MainFrame.h"
#include "net/NetState.h"
#include "net/QelHtmlView.h"
#include "base/SjisLeadByte.h"

namespace {

constexpr size_t kHashKeep = 15;

// Byte offsets where characters start, up to the text's end.
std::vector<size_t> CharStarts(const std::string& text) {
  std::vector<size_t> starts;
  int state = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (state == 0) starts.push_back(i);
    state = StepSjisLeadState(state, static_cast<unsigned char>(text[i]));
  }
  return starts;
}

bool IsStart(const std::vector<size_t>& starts, size_t at) {
  return std::binary_search(starts.begin(), starts.end(), at);
}

// The first character-aligned occurrence of sep in text, or npos.
size_t FindAligned(const std::string& text, const std::string& sep) {
  const std::vector<size_t> starts = CharStarts(text);
  for (size_t at : starts) {
    if (text.compare(at, sep.size(), sep) == 0) return at;
  }
  return std::string::npos;
}

// The length of the common beginning of a and b that ends on a character boundary of both.
size_t CommonLength(const std::string& a, const std::string& b) {
  size_t n = 0;
  int state = 0;
  size_t boundary = 0;
  while (n < a.size() && n < b.size() && a[n] == b[n]) {
    state = StepSjisLeadState(state, static_cast<unsigned char>(a[n]));
    ++n;
    if (state == 0) boundary = n;
  }
  return boundary;
}

std::string StripLeadingMarks(std::string text) {
  static const char* const kDouble[] = {"\x81\x40", "\x81\x7C", "\x81\x84", "\x81\x62"};
  for (int i = 0; i < 5 && !text.empty(); ++i) {
    const char c = text[0];
    if (c == ' ' || c == '>' || c == ':' || c == '-' || c == '|' || c == '_') {
      text.erase(0, 1);
      continue;
    }
    bool stripped = false;
    for (const char* mark : kDouble) {
      if (text.compare(0, 2, mark) == 0) {
        text.erase(0, 2);
        stripped = true;
        break;
      }
    }
    if (!stripped) break;
  }
  return text;
}

}  // namespace

std::string ShortPageTitle(const std::string& t, const std::string& previous) {
  std::string shortTitle = t;
  if (!t.empty() && !previous.empty() && t != previous) {
    const size_t common = CommonLength(t, previous);
    if ((common == previous.size() || common >= 6) && t.size() >= common + 4) {
      size_t from = common;
      if (common < previous.size()) {
        // One character more: the one where the titles part.
        const std::vector<size_t> starts = CharStarts(t);
        const auto next = std::upper_bound(starts.begin(), starts.end(), common);
        from = next == starts.end() ? t.size() : *next;
      }
      shortTitle = t.substr(from);
      for (const char* sep : {"\x81\x46", ":", ">", "-"}) {
        const size_t at = FindAligned(shortTitle, sep);
        if (at == std::string::npos) continue;
        if (at > 0 && at < common + 15 && shortTitle.size() - at > 10) shortTitle.erase(0, at + std::string(sep).size());
        break;
      }
    }
  }
  return StripLeadingMarks(shortTitle);
}

void CQelHtmlView::OnTitleChange(const std::string& title) {
  std::string t = title;
  const std::vector<size_t> starts = CharStarts(t);
  for (size_t at : starts) {
    if (t[at] == ' ') t[at] = '_';
  }
  const size_t hash = t.rfind('#');
  if (hash != std::string::npos && hash > kHashKeep && t.size() - hash - 1 < kHashKeep && IsStart(starts, hash)) {
    t.erase(hash);
  }
  m_strUrl2 = ShortPageTitle(t, m_strTitle);
  if (!t.starts_with("http")) {
    m_strTitle = t;
    m_doc.Net().m_strHtmlAddress = t;
  }
  m_strUrl = GetLocationURL();
  const std::string failed = FailureTitle();
  SetFrameTitle(m_strUrl, failed.empty() ? title : failed);
}
