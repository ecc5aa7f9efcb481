// The pane's rich-text services: RTF files shown as rich text, the RTF stream between
// the control and the document text, the save to a temporary RTF, lines split into
// the cell text, block colouring, the screen background and the listing output.
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "app/FileKind.h"
#include "app/Globals.h"
#include "app/Settings.h"
#include "app/StringTable.h"
#include "base/AsciiCase.h"
#include "frame/MainFrame.h"
#include "platform/os/Files.h"
#include "platform/text/CodePage.h"
#include "richtext/ViewRichTextState.h"
#include "richtext/ViewTableState.h"
#include "view/CellSeparator.h"
#include "view/QelView.h"
#include "view/RichTextModel.h"

namespace {

constexpr char kCellMark = '\x06';
constexpr int kProgressPane = 0;

struct BackColour {
  COLORREF colour;
  const char* name;  // UTF-8
};
// The screen background colours the pane steps through.
constexpr BackColour kBackColours[7] = {
    {RGB(255, 255, 255), "背景色 白"},   {RGB(255, 255, 224), "背景色 クリーム"}, {RGB(224, 255, 224), "背景色 薄緑"},
    {RGB(224, 240, 255), "背景色 薄青"}, {RGB(255, 232, 240), "背景色 薄桃"},     {RGB(232, 224, 255), "背景色 薄紫"},
    {RGB(224, 224, 224), "背景色 灰"},
};

// The cells of one line, at its separator (view/CellSeparator.h).
std::vector<std::string> SplitCells(std::string_view line) {
  const char sep = CellSeparator(line);
  std::vector<std::string> cells(1);
  for (size_t i = 0; i < line.size(); ++i) {
    const auto c = static_cast<unsigned char>(line[i]);
    if (IsSjisLeadByte(c) && i + 1 < line.size()) {
      cells.back() += line.substr(i, 2);
      ++i;
    } else if (c == static_cast<unsigned char>(sep)) {
      if (sep == ' ' && cells.back().empty()) continue;  // a run of blanks is one separator
      cells.emplace_back();
    } else {
      cells.back() += static_cast<char>(c);
    }
  }
  if (sep == ' ' && cells.size() > 1 && cells.back().empty()) cells.pop_back();
  return cells;
}

}  // namespace

plat::RichEdit* CQelView::Rich() {
  auto* rich = dynamic_cast<RichTextModel*>(m_pModel.get());
  return rich ? &rich->Rich() : nullptr;
}

plat::RichEdit& CQelView::UseRichText() {
  if (!Rich()) {
    SetTextModel(std::make_unique<RichTextModel>());
    Rich()->SetAllocHook(&m_doc.m_allocHook);
  }
  return *Rich();
}

bool CQelView::StreamRtfText(std::string_view rtf, bool selection) {
  if (UseRichText().StreamInRtf(rtf, selection)) return true;
  AfxMessageBox(OutOfMemoryText(" 302"));
  return false;
}

// An RTF file in the normal display form is streamed into the rich-text control from
// the file itself (bounded by the input volume); the document text keeps the
// converter's text. A picture that the volume cuts is left out, and the user is told
// the volume that would keep it.
bool CQelView::ShowRichTextFile() {
  if (Pane().m_nShownKind != kKindRtf || Pane().m_nShownForm != 0) return false;
  const int64_t volume = std::max(m_doc.m_nInDataLimit, 0);
  const auto bytes = plat::ReadFileHead(m_doc.m_strPathName, volume);
  if (!bytes) return false;
  if (StreamRtfText(*bytes, false) && Rich()->ObjectsLeftOut() > 0) {
    constexpr int64_t kMegabyte = 1 << 20;
    const auto info = plat::Stat(m_doc.m_strPathName);
    const int64_t whole = std::max<int64_t>(info ? info->size : 0, volume + 1);
    AfxMessageBox(FileSizeOverText(volume) + "\r\n(indata=" + std::to_string((whole + kMegabyte - 1) / kMegabyte) + ")");
  }
  m_nAnchor = 0;
  SyncSelection();
  return true;
}

int CQelView::StreamInRtf(int /*window*/, int mode) {
  const int cap = m_doc.m_pText ? std::max(m_doc.m_nTextCap, 0) : 0;
  int end = m_doc.m_nStreamEnd > 0 ? m_doc.m_nStreamEnd : m_doc.m_nTextLen;
  end = std::clamp(end, 0, cap);
  const int start = std::clamp(m_doc.m_nStreamPos, 0, end);
  const std::string_view rtf(m_doc.m_pText ? m_doc.m_pText + start : "", static_cast<size_t>(end - start));
  const bool done = StreamRtfText(rtf, mode != 0);
  if (done) m_doc.m_nStreamPos = end;
  int a = 0, b = 0;
  m_pModel->GetSel(a, b);
  m_nAnchor = a;
  SyncSelection();
  return done ? 0 : -1;
}

int CQelView::StreamOutRtf(int /*window*/, int mode) {
  std::string rtf;
  if (plat::RichEdit* rich = Rich()) {
    rtf = rich->StreamOutRtf(mode == 1);
  } else {
    plat::RichEdit plain;
    plain.SetText(m_pModel->GetText());
    int a = 0, b = 0;
    m_pModel->GetSel(a, b);
    plain.ExSetSel(plain.CharFromByte(std::min(a, b)), plain.CharFromByte(std::max(a, b)));
    rtf = plain.StreamOutRtf(mode == 1);
  }
  const int64_t pos = std::max(m_doc.m_nStreamPos, 0);
  const int64_t need = pos + static_cast<int64_t>(rtf.size()) + 1;
  if (need > INT32_MAX) return -1;
  const bool ownStore = m_doc.m_pText == nullptr || m_doc.m_pText == m_doc.m_textStore.data();
  if (!ownStore || need > m_doc.m_nStreamLimit || need > static_cast<int64_t>(m_doc.m_textStore.size())) {
    // The RTF does not fit where it was asked for: the text buffer grows instead of
    // cutting the table short.
    if (static_cast<int64_t>(m_doc.m_textStore.size()) < need &&
        !TryResize(m_doc.m_textStore, static_cast<size_t>(need), &m_doc.m_allocHook)) {
      return -1;
    }
    if (!ownStore && m_doc.m_pText) std::memmove(m_doc.m_textStore.data(), m_doc.m_pText, static_cast<size_t>(pos));
    m_doc.m_pText = m_doc.m_textStore.data();
    m_doc.m_nTextCap = static_cast<int>(m_doc.m_textStore.size());
    m_doc.m_nStreamLimit = m_doc.m_nTextCap;
  }
  std::memcpy(m_doc.m_pText + pos, rtf.data(), rtf.size());
  m_doc.m_pText[pos + static_cast<int64_t>(rtf.size())] = '\0';
  m_doc.m_nStreamPos = static_cast<int>(pos + static_cast<int64_t>(rtf.size()));
  return 0;
}

int CQelView::SaveToTempAndSettings(const std::string& name, int mode, int) {
  if (mode != 3) return 0;
  plat::RichEdit* rich = Rich();
  std::string rtf;
  if (rich) {
    rtf = rich->StreamOutRtf(false);
  } else {
    plat::RichEdit plain;
    plain.SetText(m_pModel->GetText());
    rtf = plain.StreamOutRtf(false);
  }
  if (!plat::WriteWholeFile(name, rtf)) {
    AfxMessageBox(LoadString(IDS_CANNOT_OPEN) + "\nfile = " + plat::ShownPath(name) + "  (" + plat::Utf8ToCp932Lossy(std::strerror(errno)) + ")");
    return -1;
  }
  const std::string temporary = m_doc.TmpFolder() + "\\Pelnor_tmp.rtf";
  if (name.size() == temporary.size() && EndsWithNoCase(name, temporary)) {
    FixRtfPageMarks(name);
    if (const std::string problem = SaveAllSettings(m_doc); !problem.empty()) AfxNote(problem);
  }
  return 0;
}

int CQelView::ConvertToCsv(int mode, int firstLine, int lastLine) {
  if (mode != 1) return 0;
  const int lines = m_pModel->GetLineCount();
  firstLine = std::clamp(firstLine, 0, lines - 1);
  lastLine = std::clamp(lastLine, firstLine, lines - 1);
  std::string cells;
  int columns = 0;
  int rows = 0;
  for (int line = firstLine; line <= lastLine; ++line) {
    const int start = m_pModel->LineIndex(line);
    const std::string_view text = std::string_view(m_pModel->GetText()).substr(static_cast<size_t>(start),
                                                                            static_cast<size_t>(m_pModel->LineLength(line)));
    const std::vector<std::string> row = SplitCells(text);
    for (size_t i = 0; i < row.size(); ++i) {
      if (i > 0) cells += kCellMark;
      cells += row[i];
    }
    cells += "\r\n";
    columns = std::max(columns, static_cast<int>(row.size()));
    ++rows;
  }
  Table().m_cellStore = std::move(cells);
  Table().m_pTextBuf = Table().m_cellStore.data();
  Table().m_nCellTextLen = static_cast<int>(Table().m_cellStore.size());
  Table().m_nColumns = columns;
  Table().m_nRows = rows;
  Table().m_nRowLimit = std::max(m_doc.m_nTableRows, rows + 11);
  return 0;
}

void CQelView::PaintBlock(const BlockRect& block, COLORREF colour) {
  if (!block.active) return;
  plat::RichEdit& rich = UseRichText();
  int a = 0, b = 0;
  rich.ExGetSel(a, b);
  plat::CharFormat2 cf;
  cf.dwMask = plat::CFM_BACKCOLOR;
  cf.dwEffects = 0;
  cf.crBackColor = colour;
  rich.BeginUndoGroup();
  const int top = std::max(std::min(block.top, block.bottom), 0);
  const int bottom = std::min(std::max(block.top, block.bottom), rich.GetLineCount() - 1);
  const int left = std::max(std::min(block.left, block.right), 0);
  const int right = std::max(block.left, block.right);
  for (int line = top; line <= bottom; ++line) {
    const int start = rich.LineIndex(line);
    const int length = rich.LineLength(start);
    if (left >= length) continue;
    rich.ExSetSel(start + left, start + std::min(right, length));
    rich.SetCharFormat(cf, true);
  }
  rich.EndUndoGroup();
  rich.ExSetSel(a, b);
}

void CQelView::CycleBackgroundColor(int step) {
  constexpr int kCount = static_cast<int>(std::size(kBackColours));
  RichText().m_nBackColorIndex = ((RichText().m_nBackColorIndex + step) % kCount + kCount) % kCount;
  const BackColour& c = kBackColours[RichText().m_nBackColorIndex];
  m_doc.m_clrTextBack = c.colour;
  if (g_pMainFrame) {
    CStatusBar& bar = g_pMainFrame->StatusBar();
    bar.SetPaneText(bar.CommandToIndex(ID_INDICATOR_FORMAT), plat::Utf8ToCp932Lossy(c.name));
  }
}

int CQelView::OutputListing() {
  plat::UiHost* ui = g_pMainFrame ? &g_pMainFrame->Ui() : nullptr;
  if (ui) ui->LockWindowUpdate(Pane().m_nPane);
  ++m_doc.m_nLockUpdateDepth;
  CStatusBar* bar = g_pMainFrame ? &g_pMainFrame->StatusBar() : nullptr;
  if (bar) bar->SetPaneText(kProgressPane, " 0 % done  (Push Esc to Stop)");
  int result = 0;
  if (g_pMainFrame && g_pMainFrame->CheckUserAbort()) {
    if (bar) bar->SetPaneText(kProgressPane, "<< output canceled >>");
    result = -1;
  } else {
    // One stream: pieces would cut the RTF between its groups.
    if (m_doc.m_nStreamEnd <= 0) m_doc.m_nStreamEnd = m_doc.m_nTextLen;
    m_doc.m_nStreamPos = 0;
    StreamInRtf(0, 1);
    if (bar) bar->SetPaneText(kProgressPane, " 100 % done  (Push Esc to Stop)");
  }
  if (m_doc.m_nLockUpdateDepth > 0 && --m_doc.m_nLockUpdateDepth == 0 && ui) ui->LockWindowUpdate(0);
  return result;
}
