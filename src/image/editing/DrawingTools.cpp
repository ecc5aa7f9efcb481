// The drawing tools of the image view: the figure and pattern choice, the line and
// point tools, the block fill switch, fill and frame of the selected figure, text
// into the region and the clearing of the set colours. Fill, frame and text always
// start from the region's unedited pixels, so pressing them again redraws rather
// than draws over the last drawing.
#include "image/editing/DrawingTools.h"

#include <algorithm>
#include <string>

#include "app/FileKind.h"
#include "app/Globals.h"
#include "app/ViewCodes.h"
#include "frame/Dialogs.h"
#include "frame/MainFrame.h"
#include "image/editing/RegionCommands.h"
#include "image/ViewImageState.h"
#include "image/ViewRegionState.h"
#include "platform/text/CodePage.h"
#include "view/QelView.h"

namespace {

constexpr COLORREF kColorNotSet = 0x1000000;
constexpr CRect kTextRegion{10, 10, 210, 60};

void Status(const std::string& text) {
  if (g_pStatusBar) g_pStatusBar->SetPaneText(0, text);
}

bool ShowsImage(CommandContext& cx) { return cx.view && IsImageKind(cx.view->Pane().m_nShownKind) && cx.view->Image().m_pImageBits; }

void RefreshSoon(CQelView& v) {
  v.RepaintImage();
  v.SetTimer(ImageRepaintTimer(v.Pane().m_nPane), 10);
  v.Image().m_bImageDirty = 1;
}

int OnFigureSelect(CommandContext& cx) {
  CQelView& v = *cx.view;
  if (++v.Region().m_nFigure > 5) v.Region().m_nFigure = 0;
  RefreshSoon(v);
  return 0;
}

int OnPatternCycle(CommandContext& cx) {
  CQelView& v = *cx.view;
  const int top = v.Region().m_nFigure == 5 ? 5 : 6;
  v.Region().m_nPattern += cx.doc->m_bShiftDown ? -1 : 1;
  if (v.Region().m_nPattern < 0) v.Region().m_nPattern = 0;
  if (v.Region().m_nPattern > top) v.Region().m_nPattern = 0;
  static const char* const kHatched[] = {"  --  Horizontal", "  | |  Vertical", "  \\\\  Back Diagonal",
                                         "  //  Foward Diagonal", "  ++  Cross", "  XX  Diagonal Cross"};
  static const char* const kLines[] = {"line 1dot", "line 2dot", "line 3dot", "Dash line", "Dot  line",
                                       "DashDot line", "DashDot2 line"};
  const int p = v.Region().m_nPattern;
  if (v.Region().m_nFigure == 5) {
    Status(kHatched[p]);
  } else if (v.Region().m_nFigure == 11) {
    Status("  brush " + std::to_string(p + 1) + "dot");
  } else {
    Status(kLines[p]);
  }
  return 0;
}

int OnLineTool(CommandContext& cx) {
  CQelView& v = *cx.view;
  if (v.Region().m_nFigure == 10) {
    v.Region().m_nFigure = 0;
    v.Image().m_ImageSettings.m_nRegionScope = 0;
    v.Region().m_rcRegion.right = -1;
  } else {
    v.Region().m_nFigure = 10;
    v.Image().m_ImageSettings.m_nRegionScope = 2;
  }
  RefreshSoon(v);
  return 0;
}

int OnPointTool(CommandContext& cx) {
  CQelView& v = *cx.view;
  if (v.Region().m_nFigure == 11) {
    v.Region().m_nFigure = v.Region().m_nPaintMode = 0;
  } else {
    v.Region().m_nFigure = 11;
    v.Region().m_nPaintMode = 1;
  }
  return 0;
}

int OnBlockFill(CommandContext& cx) {
  CQelView& v = *cx.view;
  if (v.Region().m_nPaintMode == 0 || (v.Region().m_nPaintMode == 1 && v.Region().m_nFigure == 11)) {
    v.Region().m_nPaintMode = 1;
    v.Region().m_nEditStep = 12;
    v.Region().m_nFigure = 0;
  } else {
    v.Region().m_nPaintMode = v.Region().m_nEditStep = 0;
  }
  return 0;
}

// Outside paint mode the figure and the text go into the region, which must hold
// some of the picture.
int OnFill(CommandContext& cx) {
  if (cx.view->Region().m_nPaintMode != 1 && RegionOutsidePicture(*cx.view)) return -1;
  return cx.view->OnFillCommand();
}
int OnFrame(CommandContext& cx) {
  if (cx.view->Region().m_nPaintMode != 1 && RegionOutsidePicture(*cx.view)) return -1;
  return cx.view->OnFrameCommand();
}
int OnText(CommandContext& cx) {
  if (RegionOutsidePicture(*cx.view)) return -1;
  return cx.view->OnTextCommand();
}

int OnClearColors(CommandContext& cx) {
  ImageConvertSettings& s = cx.view->Image().m_ImageSettings;
  s.m_clrSource |= kColorNotSet;
  s.m_clrTarget |= kColorNotSet;
  s.m_clrBackground = cx.doc->m_clrTextBack;
  s.m_clrText = cx.doc->m_clrTextChar;
  cx.view->Image().m_bImageDirty = 1;
  return 0;
}

void Check(CCmdUI& ui, bool check, bool enable) {
  ui.SetCheck(check ? 1 : 0);
  ui.Enable(enable);
}
void UpImage(CommandContext& cx, CCmdUI& ui) { ui.Enable(ShowsImage(cx)); }
void UpFigure(CommandContext& cx, CCmdUI& ui) {
  Check(ui, cx.view->Region().m_nFigure >= 1 && cx.view->Region().m_nFigure <= 9, ShowsImage(cx));
}
void UpLine(CommandContext& cx, CCmdUI& ui) { Check(ui, cx.view->Region().m_nFigure == 10, ShowsImage(cx)); }
void UpPoint(CommandContext& cx, CCmdUI& ui) { Check(ui, cx.view->Region().m_nFigure == 11, ShowsImage(cx)); }
void UpBlockFill(CommandContext& cx, CCmdUI& ui) {
  Check(ui, cx.view->Region().m_nPaintMode == 1 && cx.view->Region().m_nFigure != 11, ShowsImage(cx));
}
void UpFill(CommandContext& cx, CCmdUI& ui) {
  const CQelView& v = *cx.view;
  Check(ui, v.Region().m_nEditStep == 2 || v.Region().m_nEditStep == 3 || v.Region().m_nEditStep == 12,
        ShowsImage(cx) && (v.Region().m_rcRegion.right >= 0 || v.Region().m_nPaintMode == 1));
}
void UpFrame(CommandContext& cx, CCmdUI& ui) {
  const CQelView& v = *cx.view;
  Check(ui, v.Region().m_nEditStep == 1 || v.Region().m_nEditStep == 3 || v.Region().m_nEditStep == 11, ShowsImage(cx));
}
void UpTextButton(CommandContext& cx, CCmdUI& ui) {
  const CQelView& v = *cx.view;
  ui.Enable(ShowsImage(cx) && v.Region().m_nPaintMode == 2 && v.Region().m_nEditStep == 0 && v.Region().m_nRegionCount > 0);
}

constexpr auto V = CommandTarget::TextView;
constexpr CommandEntry kRows[] = {
    {33196, "ID_DRAW_FIGURE", "描画する図形を選択する", V, OnFigureSelect, UpFigure},
    {33197, "ID_DRAW_PATTERN", "線又は背景のパターンを選択する", V, OnPatternCycle, UpImage},
    {33198, "ID_DRAW_LINE", "直線を引く", V, OnLineTool, UpLine},
    {33201, "ID_DRAW_POINT", "変換先の色で描画する", V, OnPointTool, UpPoint},
    {33176, "ID_DRAW_BLOCK_FILL", "ブロックを変換先の色で塗り潰す", V, OnBlockFill, UpBlockFill},
    {32975, "ID_DRAW_BLOCK_FILL_SWITCH", "ﾌﾞﾛｯｸ塗潰し入切", V, OnBlockFill, UpBlockFill},
    {33172, "ID_REGION_FILL", "領域 塗潰し", V, OnFill, UpFill},
    {33183, "ID_REGION_FILL_BUTTON", "図形内を背景色で塗り潰す", V, OnFill, UpFill},
    {33173, "ID_REGION_FRAME", "領域 枠描画", V, OnFrame, UpFrame},
    {33182, "ID_REGION_FRAME_BUTTON", "図形枠を文字色で描画する", V, OnFrame, UpFrame},
    {33021, "ID_REGION_TEXT", "領域 ﾃｷｽﾄ", V, OnText, UpImage},
    {33185, "ID_REGION_TEXT_BUTTON", "テキストを描画する", V, OnText, UpTextButton},
    {32960, "ID_DRAW_CLEAR_COLORS", "設定色ｸﾘｱ", V, OnClearColors, UpImage},
};

}  // namespace

CommandRows DrawingToolCommands() { return kRows; }

std::string ReplaceSjis(const std::string& text, const std::string& from, const std::string& to) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    if (!from.empty() && text.compare(i, from.size(), from) == 0) {
      out += to;
      i += from.size();
      continue;
    }
    const size_t n = IsSjisLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
    out.append(text, i, n);
    i += n;
  }
  return out;
}

// The copy made for the drawing leaves the region's state alone, so that an edit
// after a cut stays undoable step by step.
void CQelView::TakeUneditedCopy() {
  if (Region().m_nRegionCount > 0) PutBackupPixels();
  const int state = Region().m_nRegionState;
  CopyRegion();
  Region().m_nRegionState = state;
}

// Fill and frame share their drawing: at step 0 with text the text is set once, at a
// later step the region is redrawn from its unedited pixels.
void CQelView::DrawFillOrFrameStep() {
  if (Region().m_nEditStep == 0 && Region().m_nPaintMode == 2) {
    ApplyImageEdit(ImageEdit::kTextLayer, Region().m_strDrawText);
    Region().m_nRegionCount = 1;
  } else {
    if (Region().m_nEditStep > 0) ApplyImageEdit(ImageEdit::kFigure, Region().m_nPaintMode == 2 ? "<A>" + Region().m_strDrawText : "<A>");
    Region().m_nRegionCount = Region().m_nEditStep > 0 ? 1 : 0;
  }
}

int CQelView::OnFillCommand() {
  if (Region().m_nPaintMode == 1) {
    Region().m_nEditStep = 12;
    return 0;
  }
  if (Region().m_rcRegion.right < 0) return 0;
  if (Region().m_nFigure == 10 || Region().m_nFigure == 4) return OnFrameCommand();
  TakeUneditedCopy();
  switch (Region().m_nEditStep) {
    case 1: Region().m_nEditStep = 3; break;
    case 3: Region().m_nEditStep = 1; break;
    case 2: Region().m_nEditStep = 0; break;
    default: Region().m_nEditStep = 2; break;
  }
  DrawFillOrFrameStep();
  Image().m_bImageDirty = 1;
  return 0;
}

int CQelView::OnFrameCommand() {
  if (Region().m_nPaintMode == 1) {
    Region().m_nEditStep = 11;
    return 0;
  }
  if (!Image().m_pDisplayBitmap) return 0;
  if (Region().m_rcRegion.right < 0) {
    Region().m_rcRegion = CRect{0, 0, Image().m_pDisplayBitmap->width, Image().m_pDisplayBitmap->height};
    Image().m_ImageSettings.m_nRegionScope = 1;
  }
  TakeUneditedCopy();
  switch (Region().m_nEditStep) {
    case 2: Region().m_nEditStep = 3; break;
    case 3: Region().m_nEditStep = 2; break;
    case 1: Region().m_nEditStep = 0; break;
    default: Region().m_nEditStep = 1; break;
  }
  DrawFillOrFrameStep();
  if (Region().m_nFigure == 10 && Region().m_nEditStep == 1) {
    // The line is kept and the next one starts 3 units further: down for a
    // horizontal line (within 10 units), right otherwise.
    const bool level = std::abs(Region().m_rcRegion.bottom - Region().m_rcRegion.top) <= 10;
    const int dx = level ? 0 : 3, dy = level ? 3 : 0;
    Region().m_rcRegion = CRect{Region().m_rcRegion.left + dx, Region().m_rcRegion.top + dy, Region().m_rcRegion.right + dx, Region().m_rcRegion.bottom + dy};
    Region().m_nRegionCount = 0;
    Region().m_nEditStep = 0;
    if (Region().m_nPaintMode > 1) Region().m_nPaintMode = 0;
  }
  Image().m_bImageDirty = 1;
  return 0;
}

int CQelView::OnTextCommand() {
  if (!Image().m_pDisplayBitmap) return 0;
  bool setHere = false;
  if (Region().m_rcRegion.right < 0) {
    // The default text box, inside the picture.
    Region().m_rcRegion = CRect{kTextRegion.left, kTextRegion.top, std::min(kTextRegion.right, Image().m_pDisplayBitmap->width),
                       std::min(kTextRegion.bottom, Image().m_pDisplayBitmap->height)};
    Image().m_ImageSettings.m_nRegionScope = 1;
    setHere = true;
  }
  CTextInputDlg dialog;
  // The stored "\n" pairs show as line breaks in the dialog.
  dialog.m_strText = ReplaceSjis(Region().m_strDrawText, "\\n", "\r\n");
  if (dialog.DoModal() != 1) {
    if (setHere) {
      Region().m_rcRegion = CRect{-1, -1, -1, -1};
      Image().m_ImageSettings.m_nRegionScope = 0;
    }
    return 0;
  }
  Region().m_strDrawText = ReplaceSjis(ReplaceSjis(ReplaceSjis(dialog.m_strText, "\r\n", "\n"), "\r", "\n"), "\n", "\\n");
  if (Region().m_nRegionCount == 0 || Region().m_nPaintMode == 2) {
    TakeUneditedCopy();
  }
  ApplyImageEdit(ImageEdit::kTextLayer, Region().m_strDrawText);
  Region().m_nRegionCount = 1;
  Image().m_bImageDirty = 1;
  return 0;
}
