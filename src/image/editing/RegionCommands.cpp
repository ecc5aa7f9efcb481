// The image region's commands and their Ctrl keys: region mode, the corner picks,
// clear, restore, copy, cut, crop, paste, paste from a file, save to a file and print.
#include "image/editing/RegionCommands.h"

#include <algorithm>
#include <string>

#include "app/FileKind.h"
#include "app/Globals.h"
#include "app/ViewCodes.h"
#include "frame/MainFrame.h"
#include "image/ImageState.h"
#include "image/ViewImageCommands.h"
#include "image/ViewImageState.h"
#include "image/ViewRegionState.h"
#include "platform/ui/Keys.h"
#include "view/QelView.h"

namespace {

bool ShowsImage(CommandContext& cx) { return cx.view && IsImageKind(cx.view->Pane().m_nShownKind) && cx.view->Image().m_pImageBits; }

void RefreshSoon(CQelView& v) {
  v.RepaintImage();
  v.SetTimer(ImageRepaintTimer(v.Pane().m_nPane), 10);
}

// The region goes to the saved slot and the record to "no region"; a crop survives.
void DropRegion(CQelView& v, CQelDoc& doc) {
  if (v.Region().m_nRegionState != 3 && v.Region().m_rcRegion.right >= 1) doc.Image().m_rcLastRegion = v.Region().m_rcRegion;
  v.Region().m_nRegionCount = 0;
  v.Image().m_ImageSettings.m_nRegionScope = 0;
  if (v.Region().m_nPaintMode > 1) v.Region().m_nPaintMode = 0;
  v.Region().m_nEditStep = 0;
  v.Image().m_bImageDirty = 0;
  v.Region().m_rcRegionSaved = v.Region().m_rcRegion;
  v.Region().m_rcRegion = CRect{-1, -1, -1, -1};
  if (v.Region().m_nRegionState != 3) v.Region().m_nRegionState = 0;
}

int OnRegionMode(CommandContext& cx) {
  CQelView& v = *cx.view;
  if (v.Image().m_ImageSettings.m_nRegionScope == 0) {
    v.Image().m_ImageSettings.m_nRegionScope = 2;
    v.Image().m_bImageDirty = 1;
    if (v.Region().m_rcRegion.right < 0 && cx.doc->Image().m_rcLastRegion.right > 0) {
      v.Region().m_rcRegion = cx.doc->Image().m_rcLastRegion;
      v.Image().m_ImageSettings.m_nRegionScope = 1;
      v.Region().m_nRegionPickState = 0;
      v.MapRegion(true);
    }
  } else {
    DropRegion(v, *cx.doc);
  }
  RefreshSoon(v);
  return 0;
}

// A corner from the last click point; with Ctrl the frame moves and keeps its size.
int SetCorner(CommandContext& cx, bool topLeft, bool ctrl) {
  CQelView& v = *cx.view;
  const CRect before = v.Region().m_rcRegion;
  v.Region().m_nRegionPickState = topLeft ? 11 : 12;
  v.Image().m_ImageSettings.m_nRegionScope = 1;
  v.Image().m_ImageSettings.m_bActive = 0;
  v.SetRegionPointAt(v.Region().m_ptClick.x, v.Region().m_ptClick.y, 0);
  CRect& r = v.Region().m_rcRegion;
  const bool image = IsImageKind(v.Pane().m_nShownKind) && v.Image().m_pDisplayBitmap;
  if (topLeft) {
    if (ctrl && before.right >= 0 && before.left >= 0) {
      r.right = r.left + (before.right - before.left);
      r.bottom = r.top + (before.bottom - before.top);
    }
    // To the picture's last column and row (the region's right and bottom are exclusive).
    if (r.right < 0) r.right = image ? v.Image().m_pDisplayBitmap->width : r.left + 100;
    if (r.bottom < 0) r.bottom = image ? v.Image().m_pDisplayBitmap->height : r.top + 100;
  } else {
    if (ctrl && before.right >= 0 && before.left >= 0) {
      r.left = r.right - (before.right - before.left);
      r.top = r.bottom - (before.bottom - before.top);
    }
    if (r.left < 0) r.left = 0;
    if (r.top < 0) r.top = 0;
  }
  v.MapRegion(true);
  RefreshSoon(v);
  v.Image().m_bImageDirty = 1;
  return 0;
}
int OnTopLeft(CommandContext& cx) { return SetCorner(cx, true, cx.view->GetDocument().m_bCtrlDown != 0); }
int OnBottomRight(CommandContext& cx) { return SetCorner(cx, false, cx.view->GetDocument().m_bCtrlDown != 0); }
int OnMoveTopLeft(CommandContext& cx) { return SetCorner(cx, true, true); }
int OnMoveBottomRight(CommandContext& cx) { return SetCorner(cx, false, true); }

int OnResetPoint(CommandContext& cx) {
  cx.view->SetRegionPointAt(cx.view->Region().m_ptClick.x, cx.view->Region().m_ptClick.y, 1);
  cx.view->Image().m_bImageDirty = 1;
  return 0;
}

int OnClear(CommandContext& cx) {
  CQelView& v = *cx.view;
  DropRegion(v, *cx.doc);
  v.Region().m_ptRegionClick = CPoint{0, 0};
  RefreshSoon(v);
  return 0;
}

int OnRestore(CommandContext& cx) {
  CQelView& v = *cx.view;
  if (v.Region().m_rcRegionSaved.right > 0) {
    v.Region().m_rcRegion = v.Region().m_rcRegionSaved;
    v.Image().m_ImageSettings.m_nRegionScope = 1;
    v.Region().m_rcRegionSaved.right = -1;
  }
  if (v.Region().m_nRegionState == 4) {
    // The edit after a cut goes first, its saved pixels spent; the cut itself at
    // the next restore.
    v.PutBackupPixels();
    v.Region().m_regionBackup = RegionBackup{};
    v.Region().m_nRegionState = 2;
  } else {
    v.RestoreRegionPixels();
  }
  v.Image().m_bImageDirty = 1;
  v.Region().m_nRegionCount = 0;
  if (v.Region().m_nPaintMode > 1) v.Region().m_nPaintMode = 0;
  v.Region().m_nEditStep = 0;
  RefreshSoon(v);
  return 0;
}

// The region operations tell the user themselves why nothing was done; a command
// that found nothing to do has still run. The file roads fail when no file was
// read or written, their message giving the reason, and every command fails on a
// region wholly outside the picture.
int OnCopy(CommandContext& cx) {
  if (RegionOutsidePicture(*cx.view)) return -1;
  cx.view->CopyRegion();
  return 0;
}
int OnCut(CommandContext& cx) {
  if (RegionOutsidePicture(*cx.view)) return -1;
  cx.view->CutRegion();
  return 0;
}
int OnCrop(CommandContext& cx) {
  if (RegionOutsidePicture(*cx.view)) return -1;
  cx.view->CropRegion();
  return 0;
}
int OnPaste(CommandContext& cx) {
  if (RegionOutsidePicture(*cx.view)) return -1;
  cx.view->PasteRegion();
  return 0;
}
int OnPasteFile(CommandContext& cx) {
  if (RegionOutsidePicture(*cx.view)) return -1;
  return cx.view->PasteRegionFromFile();
}
int OnSaveRegion(CommandContext& cx) { return cx.view->SaveRegionToFile(); }
// The region print: the picture cut down to the region, the settings kept for the
// print, then the print preview of the pane.
int OnPrintRegion(CommandContext& cx) {
  CQelView& v = *cx.view;
  v.Region().m_nPrintStartV = v.Region().m_nPrintStartH = 0;
  if (v.CropRegion() < 0) return 0;
  v.Region().m_nPrintKind = 2;
  v.Image().m_PrintSettings = v.Image().m_ImageSettings;
  v.OnFilePrintPreview();
  return 0;
}
int OnBack(CommandContext& cx) {
  cx.view->Image().m_bImageDirty = 1;
  return 0;
}
// The region menu's way to the conversion settings, unless a corner is being picked.
int OnSettingsMenu(CommandContext& cx) {
  if (cx.view->Region().m_nRegionPickState == 0) OnImageConvertSettings(cx);
  cx.view->Image().m_bImageDirty = 1;
  return 0;
}

void UpImage(CommandContext& cx, CCmdUI& ui) { ui.Enable(ShowsImage(cx)); }
void UpMode(CommandContext& cx, CCmdUI& ui) {
  ui.SetCheck(cx.view->Image().m_ImageSettings.m_nRegionScope >= 1 ? 1 : 0);
  ui.Enable(ShowsImage(cx));
}
void UpRestore(CommandContext& cx, CCmdUI& ui) {
  ui.Enable(ShowsImage(cx) && (cx.view->Region().m_nRegionState >= 1 || cx.view->Region().m_rcRegionSaved.right > 0));
}
void UpCut(CommandContext& cx, CCmdUI& ui) {
  ui.Enable(ShowsImage(cx) && cx.view->Image().m_ImageSettings.m_nRegionScope >= 1 && cx.view->Region().m_rcRegion.right >= 1);
}
void UpPaste(CommandContext& cx, CCmdUI& ui) { ui.Enable(ShowsImage(cx) && cx.doc->Image().m_rcLastRegion.right > 0); }

constexpr auto V = CommandTarget::TextView;
constexpr CommandEntry kRows[] = {
    {33174, "ID_REGION_MODE", "領域設定", V, OnRegionMode, UpMode},
    {32973, "ID_REGION_TOP_LEFT", "領域 左上設定 ┌", V, OnTopLeft, UpImage},
    {32974, "ID_REGION_BOTTOM_RIGHT", "領域 右下設定   ┘", V, OnBottomRight, UpImage},
    {32997, "ID_REGION_MOVE_TOP_LEFT", "領域 枠移動(左上)", V, OnMoveTopLeft, UpImage},
    {32998, "ID_REGION_MOVE_BOTTOM_RIGHT", "領域 枠移動(右下)", V, OnMoveBottomRight, UpImage},
    {32976, "ID_REGION_RESET_POINT", "座標ﾘｾｯﾄ", V, OnResetPoint, UpImage},
    {32990, "ID_REGION_CLEAR", "領域 枠ｸﾘｱ", V, OnClear, UpImage},
    {32962, "ID_REGION_RESTORE", "領域 元に戻す  Esc/", V, OnRestore, UpRestore},
    {33184, "ID_REGION_RESTORE_BUTTON", "領域を元に戻す", V, OnRestore, UpRestore},
    {32994, "ID_REGION_COPY", "領域 複写", V, OnCopy, UpImage},
    {33188, "ID_REGION_COPY_BUTTON", "領域を複写する", V, OnCopy, UpImage},
    {33006, "ID_REGION_CUT", "領域 切り取り", V, OnCut, UpCut},
    {33187, "ID_REGION_CUT_BUTTON", "領域を切り取り背景色で埋める", V, OnCut, UpCut},
    {33010, "ID_REGION_CROP", "領域 切出し/拡大", V, OnCrop, UpImage},
    {33186, "ID_REGION_CROP_BUTTON", "領域部分を切り出す/余白を拡大する", V, OnCrop, UpImage},
    {32995, "ID_REGION_PASTE", "領域 貼付け", V, OnPaste, UpPaste},
    {33189, "ID_REGION_PASTE_BUTTON", "領域に貼り付ける", V, OnPaste, UpPaste},
    {32963, "ID_REGION_PASTE_FILE", "領域 ﾌｧｲﾙから挿入", V, OnPasteFile, UpImage},
    {33191, "ID_REGION_PASTE_FILE_BUTTON", "ファイルから貼付け", V, OnPasteFile, UpImage},
    {32991, "ID_REGION_SAVE", "領域 ﾌｧｲﾙへ保存", V, OnSaveRegion, nullptr},
    {33190, "ID_REGION_SAVE_BUTTON", "領域をﾌｧｲﾙに保存", V, OnSaveRegion, nullptr},
    {33020, "ID_REGION_PRINT", "領域 印刷", V, OnPrintRegion, UpCut},
    {33193, "ID_REGION_PRINT_BUTTON", "画像の領域部分を印刷する", V, OnPrintRegion, UpCut},
    {32981, "ID_REGION_BACK", "戻る", V, OnBack, nullptr},
    {32977, "ID_REGION_SETTINGS_MENU", "設定ﾒﾆｭｰ", V, OnSettingsMenu, UpImage},
};

// A key's command that failed fails the key, so that what comes after it is not pressed.
bool KeyDone(CQelView& v, int result, const char* command) {
  if (result < 0) v.Pane().m_strKeyFailure = std::string(command) + " failed";
  return true;
}

}  // namespace

CommandRows RegionCommands() { return kRows; }

bool RegionOutsidePicture(CQelView& v) {
  const CRect& r = v.Region().m_rcRegion;
  if (r.right < 0 || !v.Image().m_pDisplayBitmap) return false;
  const int width = v.Image().m_pDisplayBitmap->width, height = v.Image().m_pDisplayBitmap->height;
  if (std::min(r.left, r.right) < width && std::min(r.top, r.bottom) < height && std::max(r.left, r.right) > 0 &&
      std::max(r.top, r.bottom) > 0) {
    return false;
  }
  const auto n = [](int value) { return std::to_string(value); };
  AfxMessageBox("the region (" + n(r.left) + ", " + n(r.top) + ")-(" + n(r.right) + ", " + n(r.bottom) +
                ") lies outside the picture (" + n(width) + " x " + n(height) + "): nothing to act on");
  return true;
}

bool CQelView::OnImageEditKey(int key) {
  const int code = plat::KeyCode(key);
  const bool ctrl = plat::KeyHasCtrl(key);
  if (!IsImageKind(Pane().m_nShownKind)) return false;
  CommandContext cx{this, nullptr, &GetDocument(), g_pMainFrame};
  if (code == 0x1B) {
    OnRestore(cx);
    return true;
  }
  if (!ctrl) return false;
  switch (code) {
    case 'C': return KeyDone(*this, OnCopy(cx), "ID_REGION_COPY");
    case 'X':
      if (Image().m_ImageSettings.m_nRegionScope >= 1 && Region().m_rcRegion.right >= 1) return KeyDone(*this, OnCut(cx), "ID_REGION_CUT");
      return true;
    case 'E': return KeyDone(*this, OnCrop(cx), "ID_REGION_CROP");
    case 'V':
      if (GetDocument().Image().m_rcLastRegion.right > 0) return KeyDone(*this, OnPaste(cx), "ID_REGION_PASTE");
      return true;
    case 'L': return KeyDone(*this, OnPasteFile(cx), "ID_REGION_PASTE_FILE");
    case 'S': return KeyDone(*this, OnSaveRegion(cx), "ID_REGION_SAVE");
    case 'D': OnClear(cx); return true;
    case 'U': OnRestore(cx); return true;
    case 'A': OnFillCommand(); return true;
    case 'R': OnFrameCommand(); return true;
    case 'T': OnTextCommand(); return true;
    default: return false;
  }
}

void CQelView::SetRegionCorner(int right, int bottom) {
  Region().m_rcRegion.right = right;
  Region().m_rcRegion.bottom = bottom;
}
