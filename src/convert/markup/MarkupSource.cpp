// Source display: the page's bytes as they stand, or with vertical rules on, its
// text converted to Shift-JIS and each source line indented by one TAB per open
// table. No link list is written.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "app/QelDoc.h"
#include "convert/markup/MarkupConverter.h"
#include "platform/CodePage.h"

namespace {

bool IsSjisTrail(uint8_t c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

// The bytes after "<" at `at` spell `word` in any case.
bool Spells(const uint8_t* data, int64_t length, int64_t at, std::string_view word) {
  if (at + static_cast<int64_t>(word.size()) > length) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    if (std::tolower(data[at + static_cast<int64_t>(i)]) != word[i]) return false;
  }
  return true;
}

}  // namespace

void MarkupConverter::CopySource() {
  if (m_len <= 0) return;  // an empty file may have no buffer at all
  if (m_doc.m_bVerticalRules == 0) {
    const void* mark = std::memchr(m_data, 0xFF, static_cast<size_t>(m_len));
    const int64_t end = mark ? static_cast<const uint8_t*>(mark) - m_data : m_len;
    const int64_t count = std::min<int64_t>(end, m_outLimit);
    Out(std::string_view(reinterpret_cast<const char*>(m_data), static_cast<size_t>(std::max<int64_t>(count, 0))));
    m_pos = count;
    return;
  }
  int depth = 0;
  bool pre = false;
  while (m_pos < m_len && m_doc.m_nConvPos < m_outLimit) {
    const uint8_t c = m_data[m_pos];
    if (c == 0xFF) break;
    if (c >= 0x80) {
      if (m_convert) {
        if (m_mode == 0) m_mode = GuessMode(m_pos, true);
        const int taken = ConvertAt(m_pos, m_scratch);
        if (taken > 0) {
          Out(m_scratch);
          m_pos = std::min(m_pos + taken, m_len);
          continue;
        }
      }
      const int count = plat::IsSjisLeadByte(c) && m_pos + 1 < m_len && IsSjisTrail(m_data[m_pos + 1]) ? 2 : 1;
      Out(std::string_view(reinterpret_cast<const char*>(m_data + m_pos), static_cast<size_t>(count)));
      m_pos += count;
      continue;
    }
    if (c == '>' || c == '"') m_mode = 0;
    if (c == '<') {
      if (Spells(m_data, m_len, m_pos + 1, "tabl")) {
        ++depth;
      } else if (Spells(m_data, m_len, m_pos + 1, "/tab")) {
        depth = std::max(0, depth - 1);
      } else if (Spells(m_data, m_len, m_pos + 1, "pre")) {
        pre = true;
      } else if (Spells(m_data, m_len, m_pos + 1, "/pre")) {
        pre = false;
      }
    }
    Out(std::string_view(reinterpret_cast<const char*>(&c), 1));
    ++m_pos;
    if (c == '\n' && !pre && (m_pos >= m_len || m_data[m_pos] != '\t')) {
      for (int i = 0; i < depth && m_doc.m_nConvPos < m_outLimit; ++i) Out("\t");
    }
  }
}
