// The pane's text services for the other subsystems: lines, selection, the shown
// file's real name, and handing the edited text back to the document.
#include <cstring>

#include "app/StringTable.h"
#include "base/AsciiCase.h"
#include "frame/MainFrame.h"
#include "view/QelView.h"

namespace {

constexpr int kRefreshSpare = 1000;

}  // namespace

bool CQelView::HasSelection() const {
  int a = 0, b = 0;
  m_pModel->GetSel(a, b);
  return a != b;
}

int CQelView::GetLineEnd(int line) const {
  const int start = m_pModel->LineIndex(line);
  return start < 0 ? -1 : start + m_pModel->LineLength(line);
}

int CQelView::CopyLine(int line, char* buffer, int cap) const {
  const int start = m_pModel->LineIndex(line);
  if (start < 0 || !buffer || cap < 1) return -1;
  const std::string& text = m_pModel->GetText();
  const int end = start + m_pModel->LineLength(line);
  int n = 0;
  int state = 0;
  for (int i = start; i < end; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (state == 0 && (c == '\r' || c == '\0')) break;
    const int next = StepSjisLeadState(state, c);
    // A double-byte character that does not fit whole is left out.
    if (next == 1 && n + 2 > cap - 1) break;
    if (n + 1 > cap - 1) break;
    buffer[n++] = static_cast<char>(c);
    state = next;
  }
  buffer[n] = '\0';
  return n;
}

std::string CQelView::GetRealFileName() const {
  if (m_doc.m_strRunTmp.empty() || !StartsWithNoCase(Pane().m_strFileName, m_doc.m_strRunTmp + "\\")) return Pane().m_strFileName;
  const std::string& source = m_doc.m_nActiveList == 2 ? m_doc.m_strFileName2 : m_doc.m_strFileName1;
  return source.empty() ? Pane().m_strFileName : source;
}

int CQelView::RefreshKeepingScroll(int /*mode*/) {
  const std::string text = m_pModel->GetText();
  const size_t need = text.size() + kRefreshSpare;
  if (m_doc.m_textStore.size() < need && !TryResize(m_doc.m_textStore, need, &m_doc.m_allocHook)) {
    AfxMessageBox(OutOfMemoryText(" 301"));
    return -1;
  }
  std::memcpy(m_doc.m_textStore.data(), text.data(), text.size());
  m_doc.m_textStore[text.size()] = '\0';
  m_doc.m_pText = m_doc.m_textStore.data();
  m_doc.m_nTextLen = static_cast<int>(text.size());
  m_doc.m_nTextCap = static_cast<int>(m_doc.m_textStore.size());

  const ScrollPos scroll = m_pModel->GetScrollPos();
  int a = 0, b = 0;
  m_pModel->GetSel(a, b);
  m_pModel->SetText(text);
  m_pModel->SetScrollPos(scroll);
  m_pModel->SetSel(a, b);
  SyncSelection();
  return 0;
}
