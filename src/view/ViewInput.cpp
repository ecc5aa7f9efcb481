// The pane's keys, mouse and scroll bars over the text. Keys and clicks that belong
// to tables, media and the image editor go to those subsystems.
#include <algorithm>

#include "app/FileKind.h"
#include "image/ViewImageState.h"
#include "image/ViewRegionState.h"
#include "media/MediaCodes.h"
#include "platform/ui/Keys.h"
#include "platform/ui/Ui.h"
#include "view/PlainTextModel.h"
#include "view/QelView.h"

namespace {

constexpr int kPageLines = CQelView::kClientHeight / CQelView::kLineHeight;

}  // namespace

int CQelView::StepChar(int pos, int direction) const {
  const std::string& text = m_pModel->GetText();
  const int n = static_cast<int>(text.size());
  if (direction > 0) {
    if (pos >= n) return n;
    if (text[pos] == '\r' && pos + 1 < n && text[pos + 1] == '\n') return pos + 2;
    return pos + SjisCharSize(text, static_cast<size_t>(pos));
  }
  if (pos <= 0) return 0;
  if (pos >= 2 && text[pos - 1] == '\n' && text[pos - 2] == '\r') return pos - 2;
  // The character before pos starts at the last character start below pos.
  const int lineStart = m_pModel->LineIndex(m_pModel->LineFromChar(pos - 1));
  int i = lineStart, prev = lineStart;
  while (i < pos) {
    prev = i;
    i = StepChar(i, 1);
  }
  return prev;
}

// The pane's selection fields hold the selection's ends in text order.
void CQelView::SyncSelection() {
  int a = 0, b = 0;
  m_pModel->GetSel(a, b);
  Pane().m_nSelStart = std::min(a, b);
  Pane().m_nSelEnd = std::max(a, b);
}

void CQelView::SetSel(int start, int end) {
  m_pModel->SetSel(start, end);
  int a = 0, b = 0;
  m_pModel->GetSel(a, b);
  m_nAnchor = a;
  SyncSelection();
}

void CQelView::MoveCaret(int pos, bool extend) {
  if (!extend) m_nAnchor = pos;
  m_pModel->SetSel(m_nAnchor, pos);
  int start = 0, end = 0;
  m_pModel->GetSel(start, end);
  if (!extend) m_nAnchor = end;
  SyncSelection();
  ScrollCaretIntoView();
}

void CQelView::ScrollTo(ScrollPos pos) { m_pModel->SetScrollPos(pos); }

void CQelView::ScrollCaretIntoView() {
  int start = 0, caret = 0;
  m_pModel->GetSel(start, caret);
  const int line = m_pModel->LineFromChar(caret);
  ScrollPos scroll = m_pModel->GetScrollPos();
  if (line < scroll.line) scroll.line = line;
  if (line >= scroll.line + kPageLines) scroll.line = line - kPageLines + 1;
  ScrollTo(scroll);
}

void CQelView::OnKeyDown(int key) {
  const int code = plat::KeyCode(key);
  const bool ctrl = plat::KeyHasCtrl(key);
  const bool shift = plat::KeyHasShift(key);
  m_doc.m_bCtrlDown = ctrl ? 1 : 0;
  m_doc.m_bShiftDown = shift ? 1 : 0;

  // Ctrl+D and Ctrl+M make tables from text, in table mode too (not on images).
  if (ctrl && code == 'D' && !IsImageKind(Pane().m_nShownKind)) {
    OnTableConvertSelection();
    return;
  }
  if (ctrl && code == 'M' && m_doc.m_bTableMode == 1) {
    OnTableConvertLines(1);
    return;
  }
  if (m_doc.m_bTableMode == 1 && code != 'C' && code != 'V' && code != 'X' && code != 'Z' && code != plat::VK_CONTROL &&
      code != plat::VK_SHIFT) {
    if (TableCommand(TableKeyOf(code)) == 0) return;
  }
  if (SheetPageKey(code, ctrl)) return;
  if (OnImageBandKey(key) || OnImageEditKey(key)) return;
  if (IsMediaKind(Pane().m_nShownKind) && OnMediaKey(code, ctrl)) return;

  int start = 0, caret = 0;
  m_pModel->GetSel(start, caret);
  const int line = m_pModel->LineFromChar(caret);
  const int column = caret - m_pModel->LineIndex(line);
  auto toLine = [&](int target) {
    target = std::clamp(target, 0, m_pModel->GetLineCount() - 1);
    return m_pModel->LineIndex(target) + std::min(column, m_pModel->LineLength(target));
  };
  switch (code) {
    case plat::VK_LEFT: MoveCaret(StepChar(caret, -1), shift); break;
    case plat::VK_RIGHT: MoveCaret(StepChar(caret, 1), shift); break;
    case plat::VK_UP: MoveCaret(toLine(line - 1), shift); break;
    case plat::VK_DOWN: MoveCaret(toLine(line + 1), shift); break;
    case plat::VK_PRIOR: MoveCaret(toLine(line - kPageLines), shift); break;
    case plat::VK_NEXT: MoveCaret(toLine(line + kPageLines), shift); break;
    case plat::VK_HOME: MoveCaret(ctrl ? 0 : m_pModel->LineIndex(line), shift); break;
    case plat::VK_END:
      MoveCaret(ctrl ? m_pModel->GetTextLength() : m_pModel->LineIndex(line) + m_pModel->LineLength(line), shift);
      break;
    case plat::VK_DELETE:
      if (start == caret) m_pModel->SetSel(caret, StepChar(caret, 1));
      m_pModel->ReplaceSel("");
      break;
    case plat::VK_BACK:
      if (start == caret) m_pModel->SetSel(StepChar(caret, -1), caret);
      m_pModel->ReplaceSel("");
      break;
    case plat::VK_RETURN: m_pModel->ReplaceSel("\r\n"); break;
    case plat::VK_TAB:
      if (!ctrl && !shift) m_pModel->ReplaceSel("\t");
      break;
    case 'A':
      if (ctrl) SetSel(0, -1);
      break;
    default: break;
  }
  int a = 0, b = 0;
  m_pModel->GetSel(a, b);
  if (a == b) m_nAnchor = b;
  SyncSelection();
}


void CQelView::OnChar(char ch) {
  if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) return;
  if (IsMediaKind(Pane().m_nShownKind)) return;
  // Table mode takes every key but C, V, X and Z for the table.
  if (m_doc.m_bTableMode == 1 && ch != 'c' && ch != 'v' && ch != 'x' && ch != 'z' && ch != 'C' && ch != 'V' && ch != 'X' &&
      ch != 'Z') {
    return;
  }
  m_pModel->ReplaceSel(std::string_view(&ch, 1));
  int a = 0, b = 0;
  m_pModel->GetSel(a, b);
  m_nAnchor = b;
  SyncSelection();
}

int CQelView::CharFromPoint(CPoint point) const {
  const ScrollPos scroll = m_pModel->GetScrollPos();
  const int line = std::clamp(scroll.line + std::max(point.y, 0) / kLineHeight, 0, m_pModel->GetLineCount() - 1);
  const int column = scroll.column + std::max(point.x, 0) / kCharWidth;
  const int start = m_pModel->LineIndex(line), length = m_pModel->LineLength(line);
  // Plain text stands on its cells, Tabs on their stops; the rich model's clicks count bytes.
  if (dynamic_cast<const PlainTextModel*>(m_pModel.get())) {
    return start + PlainByteOfCell(std::string_view(m_pModel->GetText()).substr(static_cast<size_t>(start),
                                                                               static_cast<size_t>(length)),
                                   column);
  }
  return start + std::min(column, length);
}

void CQelView::OnLButtonDown(unsigned flags, CPoint point) {
  Region().m_ptClick = point;
  if (IsImageKind(Pane().m_nShownKind)) {
    if (ClickPictureObject(point)) return;
    if (OnImageEditClick(point)) return;
    // A click picks the point: the document's clicked point and the pixel read-out.
    m_doc.SetImageClick(CPoint{point.x + Image().m_nImageOriginX, point.y + Image().m_nImageOriginY});
    Image().m_bImageDirty = 1;
    ShowPixelInfo(1, point.x, point.y);
    return;
  }
  m_bDragging = true;
  m_bDragMovedColumns = false;
  MoveCaret(CharFromPoint(point), (flags & plat::MK_SHIFT) != 0);
}

void CQelView::OnMouseMove(unsigned flags, CPoint point) {
  if (IsImageKind(Pane().m_nShownKind)) {
    if (flags & plat::MK_LBUTTON) {
      OnImageEditDrag(flags, point);
    } else {
      ShowPixelInfo(0, point.x, point.y);
    }
    return;
  }
  if (!m_bDragging || !(flags & plat::MK_LBUTTON)) return;
  if (m_doc.m_bTableMode == 1) {
    // A sideways drag moves a column boundary, on the rows the drag spans when it
    // reaches over more than one; the vertical amount waits for the release.
    const int dx = point.x - Region().m_ptClick.x;
    if (dx > kCharWidth || dx < -kCharWidth) {
      const int from = m_pModel->LineFromChar(CharFromPoint(Region().m_ptClick));
      const int to = m_pModel->LineFromChar(CharFromPoint(point));
      const int firstLine = from != to ? std::min(from, to) : 0;
      const int lastLine = from != to ? std::max(from, to) + 1 : 0;
      TableCommand(dx > 0 ? TableKey::kColumnRight : TableKey::kColumnLeft, {.firstLine = firstLine, .lastLine = lastLine});
      m_bDragMovedColumns = true;
      Region().m_ptClick.x = point.x;
    }
    return;
  }
  MoveCaret(CharFromPoint(point), true);
}

void CQelView::OnLButtonUp(unsigned /*flags*/, CPoint point) {
  if (IsImageKind(Pane().m_nShownKind)) {
    OnImageEditRelease(point);
    return;
  }
  if (!m_bDragging) return;
  m_bDragging = false;
  if (m_doc.m_bTableMode == 1) {
    // The vertical drag changes the line spacing by its amount in twips.
    const int dy = (point.y - Region().m_ptClick.y) * 15;
    if (dy != 0 && !m_bDragMovedColumns) {
      TableCommand(dy > 0 ? TableKey::kLineWider : TableKey::kLineNarrower, {.number = dy > 0 ? dy : -dy});
    }
    return;
  }
  MoveCaret(CharFromPoint(point), true);
}

void CQelView::OnRButtonDown(unsigned /*flags*/, CPoint point) {
  Region().m_ptClick = point;
  if (IsImageKind(Pane().m_nShownKind)) {
    NoteNotBuilt("image region and drawing tools");
    return;
  }
  // A right click outside the selection moves the caret there first.
  const int pos = CharFromPoint(point);
  int a = 0, b = 0;
  m_pModel->GetSel(a, b);
  if (pos < std::min(a, b) || pos > std::max(a, b)) MoveCaret(pos, false);
}

void CQelView::OnVScroll(int code, int pos) {
  if (IsMediaKind(Pane().m_nShownKind)) {
    if (code == plat::SB_THUMBPOSITION || code == plat::SB_THUMBTRACK) SetVideoScroll(true, pos);
    MediaCommand(kActionScrollY, 0);
    return;
  }
  if (IsImageKind(Pane().m_nShownKind)) {
    if (code == plat::SB_THUMBPOSITION || code == plat::SB_THUMBTRACK) ScrollImageTo(Image().m_nImageOriginX, pos);
    return;
  }
  ScrollPos scroll = m_pModel->GetScrollPos();
  switch (code) {
    case plat::SB_LINEUP: --scroll.line; break;
    case plat::SB_LINEDOWN: ++scroll.line; break;
    case plat::SB_PAGEUP: scroll.line -= kPageLines; break;
    case plat::SB_PAGEDOWN: scroll.line += kPageLines; break;
    case plat::SB_THUMBPOSITION:
    case plat::SB_THUMBTRACK: scroll.line = pos; break;
    case plat::SB_TOP: scroll.line = 0; break;
    case plat::SB_BOTTOM: scroll.line = m_pModel->GetLineCount() - 1; break;
    default: return;
  }
  ScrollTo(scroll);
}

void CQelView::OnHScroll(int code, int pos) {
  if (IsMediaKind(Pane().m_nShownKind)) {
    if (code == plat::SB_THUMBPOSITION || code == plat::SB_THUMBTRACK) SetVideoScroll(false, pos);
    MediaCommand(kActionScrollX, 0);
    return;
  }
  if (IsImageKind(Pane().m_nShownKind)) {
    if (code == plat::SB_THUMBPOSITION || code == plat::SB_THUMBTRACK) ScrollImageTo(pos, Image().m_nImageOriginY);
    return;
  }
  constexpr int kPageColumns = kClientWidth / kCharWidth;
  ScrollPos scroll = m_pModel->GetScrollPos();
  switch (code) {
    case plat::SB_LINEUP: --scroll.column; break;
    case plat::SB_LINEDOWN: ++scroll.column; break;
    case plat::SB_PAGEUP: scroll.column -= kPageColumns; break;
    case plat::SB_PAGEDOWN: scroll.column += kPageColumns; break;
    case plat::SB_THUMBPOSITION:
    case plat::SB_THUMBTRACK: scroll.column = pos; break;
    case plat::SB_TOP: scroll.column = 0; break;
    default: return;
  }
  ScrollTo(scroll);
}
