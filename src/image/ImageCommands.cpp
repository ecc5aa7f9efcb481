// The document's image save commands and its display-conversion settings command.
// A save asks for the target in the save dialog (proposing the shown file's name
// with the format's extension), confirms an overwrite and writes the document
// image; the lists then re-read their folders.
#include "image/ImageCommands.h"

#include "app/FileKind.h"
#include "app/QelDoc.h"
#include "app/ViewCodes.h"
#include "frame/Dialogs.h"
#include "frame/MainFrame.h"
#include "image/ImageState.h"
#include "image/saving/ImageSaveFormats.h"
#include "platform/ui/Ui.h"

namespace {

// What the pane's performance of a posted job gave, as a command's result: a job
// no pane took, or one that failed, did nothing.
int Performed(int posted) { return posted > 0 ? 0 : -1; }

// Each save posts its one-shot ViewAction; the text view saves what it shows.
int SaveShown(CommandContext& cx, ImageSaveCode code) {
  return Performed(cx.doc->PostViewAction({ViewActionKind::kSaveAsked, code}));
}

void OnUpdateImageSave(CommandContext& cx, CCmdUI& ui) {
  ui.Enable(cx.doc && cx.doc->Image().m_pImageBits && IsImageKind(cx.doc->m_nFileKind));
}

int OnSaveBmz(CommandContext& cx) { return SaveShown(cx, ImageSaveCode::kBmz); }
int OnSaveBmp(CommandContext& cx) {
  return Performed(cx.doc->PostViewAction({ViewActionKind::kSaveSource, ImageSaveCode::kBmpTarget}));
}
int OnSavePng(CommandContext& cx) { return SaveShown(cx, ImageSaveCode::kPng); }
int OnSaveJpegHigh(CommandContext& cx) { return SaveShown(cx, ImageSaveCode::kJpegHigh); }
int OnSaveJpegStandard(CommandContext& cx) { return SaveShown(cx, ImageSaveCode::kJpegStandard); }
int OnSaveJpegBest(CommandContext& cx) { return SaveShown(cx, ImageSaveCode::kJpegBest); }

// The captures: the view performs the action, then the active list's file is shown again.
int Capture(CommandContext& cx, int action) {
  CQelDoc& doc = *cx.doc;
  if (action == kCaptureClickedWindow && cx.frame) cx.frame->ActivateNextViewPane(0);
  if (action == kCaptureClickedWindow) doc.m_nViewRequest = kRefreshAll;
  const int captured = doc.PostViewAction({.kind = ViewActionKind::kCapture, .captureCode = action});
  const std::string shown = doc.m_nActiveList == 1 ? doc.m_strFileName1 : doc.m_strFileName2;
  if (!shown.empty()) doc.LoadDocument(shown);
  return Performed(captured);
}
int OnSaveDesktopScreen(CommandContext& cx) { return Capture(cx, kCaptureDesktop); }
int OnSaveClickedWindow(CommandContext& cx) { return Capture(cx, kCaptureClickedWindow); }
int OnSaveClickedWindowRepeat(CommandContext& cx) { return Capture(cx, kCaptureClickedSeries); }
void OnUpdateScreenCapture(CommandContext& cx, CCmdUI& ui) {
  ui.Enable(cx.doc->m_nListLayout != 2 && cx.doc->m_nListLayout != 12);
}

// The document's copy of the display-conversion settings, edited in the dialog.
int OnImageConvertSettings(CommandContext& cx) {
  RunImageConvertDialog(&cx.doc->Image().m_ImageSettings);
  return 0;
}

int OnInvertColors(CommandContext& cx) {
  ImageConvertSettings& s = cx.doc->Image().m_ImageSettings;
  s.m_bInvert = !s.m_bInvert;
  s.m_bActive = 1;
  cx.doc->RedisplayImage();
  return 0;
}

void OnUpdateInvertColors(CommandContext& cx, CCmdUI& ui) {
  ui.SetCheck(cx.doc->Image().m_ImageSettings.m_bActive && cx.doc->Image().m_ImageSettings.m_bInvert ? 1 : 0);
}

constexpr CommandEntry kRows[] = {
    {32949, "ID_IMAGE_CONVERT_SETTINGS", "画像変換設定", CommandTarget::Document, OnImageConvertSettings},
    {32979, "ID_SAVE_DESKTOP_SCREEN", "ﾃﾞｽｸﾄｯﾌﾟ画面保存(&D)", CommandTarget::Document, OnSaveDesktopScreen},
    {33171, "ID_SAVE_CLICKED_WINDOW", "ｸﾘｯｸ画面保存(&C)", CommandTarget::Document, OnSaveClickedWindow,
     OnUpdateScreenCapture},
    {33214, "ID_SAVE_CLICKED_WINDOW_REPEAT", "ｸﾘｯｸ画面連続保存(&M)", CommandTarget::Document,
     OnSaveClickedWindowRepeat, OnUpdateScreenCapture},
    {33095, "ID_IMAGE_INVERT", "色反転（白黒反転）", CommandTarget::Document, OnInvertColors, OnUpdateInvertColors},
    {32931, "ID_IMAGE_SAVE_BMZ", "BMZ 保存（可逆圧縮）(&M)", CommandTarget::Document, OnSaveBmz, OnUpdateImageSave},
    {32933, "ID_IMAGE_SAVE_BMP", "BMP 保存(&B)", CommandTarget::Document, OnSaveBmp, OnUpdateImageSave},
    {33135, "ID_IMAGE_SAVE_PNG", "画像圧縮保存png(&P)", CommandTarget::Document, OnSavePng, OnUpdateImageSave},
    {33023, "ID_IMAGE_SAVE_JPEG_HIGH_COMPRESSION", "JPEG保存（高圧縮）(&L)", CommandTarget::Document, OnSaveJpegHigh,
     OnUpdateImageSave},
    {33025, "ID_IMAGE_SAVE_JPEG_STANDARD", "JPEG保存（標準）(&S)", CommandTarget::Document, OnSaveJpegStandard,
     OnUpdateImageSave},
    {33024, "ID_IMAGE_SAVE_JPEG_BEST_QUALITY", "JPEG保存（高画質）(&H)", CommandTarget::Document, OnSaveJpegBest,
     OnUpdateImageSave},
};

}  // namespace

CommandRows ImageCommands() { return kRows; }
