// The image view's commands: the one-step display filters (each changes a field or
// two of the view's ImageConvertSettings, re-renders and writes a short status
// text; at its limit a step is clamped and nothing else happens), the conversion
// settings dialog, zoom, rotation and fit, and the save commands of what is shown.
#include "image/ViewImageCommands.h"

#include <cstdio>

#include "app/FileKind.h"
#include "app/Globals.h"
#include "app/ViewCodes.h"
#include "frame/MainFrame.h"
#include "image/ViewImageState.h"
#include "image/ViewRegionState.h"
#include "image/saving/ImageSaveFormats.h"
#include "view/QelView.h"

namespace {

void Status(const std::string& text) {
  if (g_pStatusBar) g_pStatusBar->SetPaneText(0, text);
}

template <class... Args>
std::string Format(const char* format, Args... args) {
  char text[128];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

ImageConvertSettings& S(CommandContext& cx) { return cx.view->Image().m_ImageSettings; }

// The common apply step after a command changed its fields.
int Apply(CommandContext& cx, const std::string& status, bool active = true, bool withoutFit = false) {
  CQelView& v = *cx.view;
  if (active) v.Image().m_ImageSettings.m_bActive = 1;
  if (v.Region().m_nRegionCount < 1) {
    const int fit = v.Image().m_bFitToWindow;
    if (withoutFit) v.Image().m_bFitToWindow = 0;
    v.RefreshImage(CQelView::RefreshMode::kKeepScroll);
    v.Image().m_bFitToWindow = fit;
  } else {
    // With an edited region the filter renders the region's pixels only.
    v.Image().m_ImageSettings.m_bTransform = 1;
    v.RestoreRegionPixels();
    v.ApplyImageEdit(CQelView::ImageEdit::kRender, "");
    v.SetTimer(ImageRepaintTimer(v.Pane().m_nPane), 10);
  }
  if (!status.empty()) Status(status);
  return 0;
}

const char* CharModeSuffix(int mode, bool withAuto) {
  static const char* const kSuffix[] = {" Auto", " halftone", " black char", " white char", " no average",
                                        " char mode"};
  if (mode < 0 || mode > 5 || (mode == 0 && !withAuto)) return "";
  return kSuffix[mode];
}

std::string SharpnessText(const ImageConvertSettings& s, bool withAuto) {
  return Format(s.m_nContour < 0 ? "sharpness %d" : "sharpness +%d", s.m_nContour) +
         CharModeSuffix(s.m_bCharMode, withAuto);
}

std::string ExpandText(int level) {
  return level == 0 ? "expand off" : Format(level < 0 ? "expand %d" : "expand +%d", level);
}

constexpr int kThresholdPercent[10] = {10, 20, 25, 30, 35, 40, 45, 50, 60, 70};

bool ShowsImage(CommandContext& cx) { return cx.view && IsImageKind(cx.view->Pane().m_nShownKind) && cx.view->Image().m_pImageBits; }

int OnMirror(CommandContext& cx) {
  S(cx).m_bMirror = !S(cx).m_bMirror;
  return Apply(cx, "", false);
}

int OnExpandBright(CommandContext& cx) {
  ImageConvertSettings& s = S(cx);
  s.m_nEmphasis = s.m_bEmphasis == 0 ? 1 : s.m_nEmphasis + 1;
  if (s.m_nEmphasis > 5) {
    s.m_nEmphasis = 5;
    return 0;
  }
  s.m_bEmphasis = s.m_nEmphasis != 0;
  return Apply(cx, ExpandText(s.m_nEmphasis));
}

int OnExpandDark(CommandContext& cx) {
  ImageConvertSettings& s = S(cx);
  s.m_nEmphasis = s.m_bEmphasis == 0 ? -1 : s.m_nEmphasis - 1;
  if (s.m_nEmphasis < -5) {
    s.m_nEmphasis = -5;
    return 0;
  }
  s.m_bEmphasis = s.m_nEmphasis != 0;
  return Apply(cx, ExpandText(s.m_nEmphasis));
}

int StepContour(CommandContext& cx, int step) {
  ImageConvertSettings& s = S(cx);
  if (s.m_bContourCorr == 0) {
    s.m_nContour = step;
    s.m_bContourCorr = 1;
  } else {
    s.m_nContour += step;
    if (s.m_nContour == 0) s.m_bContourCorr = 0;
  }
  if (s.m_nContour < -5 || s.m_nContour > 5) {
    s.m_nContour = s.m_nContour < 0 ? -5 : 5;
    return 0;
  }
  return Apply(cx, SharpnessText(s, false), true, true);
}
int OnContourSmooth(CommandContext& cx) { return StepContour(cx, -1); }
int OnContourSharpen(CommandContext& cx) { return StepContour(cx, 1); }

int StepBrightness(CommandContext& cx, int step) {
  ImageConvertSettings& s = S(cx);
  s.m_nBrightness += step;
  if (s.m_nBrightness < -30 || s.m_nBrightness > 30) {
    s.m_nBrightness = s.m_nBrightness < 0 ? -30 : 30;
    return 0;
  }
  s.m_bBrightnessCorr = s.m_nBrightness != 0;
  return Apply(cx, s.m_nBrightness < 0 ? Format("bright -%d", -s.m_nBrightness) : Format("bright +%d", s.m_nBrightness));
}
int OnDarker(CommandContext& cx) { return StepBrightness(cx, -5); }
int OnBrighter(CommandContext& cx) { return StepBrightness(cx, 5); }

int StepSaturation(CommandContext& cx, int first, int step) {
  ImageConvertSettings& s = S(cx);
  if (s.m_bSaturationCorr == 0) {
    s.m_nSaturation = first;
    s.m_bSaturationCorr = 1;
  } else {
    s.m_nSaturation += step;
    if (s.m_nSaturation == 100) s.m_bSaturationCorr = 0;
  }
  if (s.m_nSaturation < 0 || s.m_nSaturation > 200) {
    s.m_nSaturation = s.m_nSaturation < 0 ? 0 : 200;
    return 0;
  }
  return Apply(cx, Format("color level %d%%", s.m_nSaturation));
}
int OnPaler(CommandContext& cx) { return StepSaturation(cx, 80, -20); }
int OnDeeper(CommandContext& cx) { return StepSaturation(cx, 120, 20); }

int StepHue(CommandContext& cx, int step) {
  ImageConvertSettings& s = S(cx);
  if (s.m_bHueCorr == 0) {
    s.m_nHue = step;
    s.m_bHueCorr = 1;
  } else {
    s.m_nHue += step;
    if (s.m_nHue == 0) s.m_bHueCorr = 0;
  }
  if (s.m_nHue < -30 || s.m_nHue > 30) {
    s.m_nHue = s.m_nHue < 0 ? -30 : 30;
    return 0;
  }
  return Apply(cx, Format("color phase %+d", s.m_nHue));
}
int OnRedder(CommandContext& cx) { return StepHue(cx, -5); }
int OnBluer(CommandContext& cx) { return StepHue(cx, 5); }

int OnReducedMode(CommandContext& cx) {
  ImageConvertSettings& s = S(cx);
  if (s.m_nZoomIndex > 4) return 0;
  if (++s.m_bCharMode > 4) s.m_bCharMode = 0;
  return Apply(cx, SharpnessText(s, true), true, true);
}

int OnInvert(CommandContext& cx) {
  S(cx).m_bInvert = !S(cx).m_bInvert;
  return Apply(cx, "");
}

int OnTwoLevel(CommandContext& cx) {
  ImageConvertSettings& s = S(cx);
  if (!cx.doc->m_bShiftDown) {
    if (s.m_nEmphasis < 6) {
      s.m_nEmphasis = 6;
      s.m_bEmphasis = 1;
    } else if (s.m_nEmphasis >= 15) {
      s.m_nEmphasis = 0;
      s.m_bEmphasis = 0;
    } else {
      ++s.m_nEmphasis;
    }
  } else if (s.m_nEmphasis < 6) {
    s.m_nEmphasis = 15;
    s.m_bEmphasis = 1;
  } else if (s.m_nEmphasis > 6) {
    --s.m_nEmphasis;
  }
  return Apply(cx, s.m_nEmphasis == 0 ? std::string("B&W 2bit off")
                                      : Format("B&W 2bit %d%%", kThresholdPercent[s.m_nEmphasis - 6]));
}

int OnConversionSwitch(CommandContext& cx) {
  S(cx).m_bActive = !S(cx).m_bActive;
  if (cx.view->Region().m_nRegionCount >= 1) S(cx).m_bTransform = S(cx).m_bActive;
  return Apply(cx, "", false);
}

}  // namespace

int OnImageConvertSettings(CommandContext& cx) {
  CQelView& v = *cx.view;
  ImageConvertSettings& s = v.Image().m_ImageSettings;
  const int wasActive = s.m_bActive;
  const int changed = RunImageConvertDialog(&s);
  v.Text().SetText("");
  v.SetSel(0, -1);
  if (wasActive == 0 && ((s.m_nRegionScope == 0 && s.m_bSkipSelected == 1 && s.m_bToTarget == 1) || v.Region().m_nPaintMode == 1)) {
    s.m_bActive = 0;
    return 0;
  }
  if (changed) s.m_bActive = 1;
  if (v.Region().m_nRegionCount >= 1 && s.m_bActive == 1) {
    s.m_bTransform = 1;
    v.RestoreRegionPixels();
    v.ApplyImageEdit(CQelView::ImageEdit::kRender, "");
    v.SetTimer(ImageRepaintTimer(v.Pane().m_nPane), 10);
    return 0;
  }
  v.RefreshImage(CQelView::RefreshMode::kKeepScroll);
  return 0;
}

namespace {

// Zoom by one step (1..9), and the quarter turn clockwise.
int StepZoom(CommandContext& cx, int step) {
  ImageConvertSettings& s = S(cx);
  const int zoom = std::clamp(s.m_nZoomIndex + step, 1, 9);
  if (zoom == s.m_nZoomIndex && s.m_nFitTenths == 0) return 0;
  s.m_nZoomIndex = zoom;
  s.m_nFitTenths = 0;
  cx.view->Image().m_bFitToWindow = 0;
  cx.view->RefreshImage(CQelView::RefreshMode::kKeepScroll);
  return 0;
}
int OnZoomIn(CommandContext& cx) { return StepZoom(cx, 1); }
int OnZoomOut(CommandContext& cx) { return StepZoom(cx, -1); }

// With a region in use the region turns, not the picture.
int OnRotate(CommandContext& cx) {
  CQelView& v = *cx.view;
  if (S(cx).m_nRegionScope == 1 && v.Region().m_rcRegion.right >= 1 && v.Region().m_rcRegion.left >= 0) {
    v.ApplyImageEdit(CQelView::ImageEdit::kTurnQuarter, "");
    return 0;
  }
  S(cx).m_nRotation = (S(cx).m_nRotation + 1) & 3;
  v.RefreshImage(CQelView::RefreshMode::kKeepScroll);
  return 0;
}

int OnFitToWindow(CommandContext& cx) {
  CQelView& v = *cx.view;
  v.Image().m_bFitToWindow = v.Image().m_bFitToWindow ? 0 : 1;
  if (!v.Image().m_bFitToWindow) {
    v.Image().m_ImageSettings.m_nZoomIndex = 5;
    v.Image().m_ImageSettings.m_nFitTenths = 0;
  }
  v.RefreshImage(CQelView::RefreshMode::kKeepScroll);
  return 0;
}

int Save(CommandContext& cx, ImageSaveCode code) {
  return cx.view->SaveImageAs(code, CQelView::SaveImageMode::kAsk).ok() ? 0 : -1;
}
int OnSaveBmp(CommandContext& cx) { return Save(cx, ImageSaveCode::kBmp); }
int OnSaveBmz(CommandContext& cx) { return Save(cx, ImageSaveCode::kBmz); }
int OnSavePngCompressed(CommandContext& cx) { return Save(cx, ImageSaveCode::kPng); }
int OnSaveJpegHighCompression(CommandContext& cx) { return Save(cx, ImageSaveCode::kJpegHigh); }
int OnSaveJpegStandard(CommandContext& cx) { return Save(cx, ImageSaveCode::kJpegStandard); }
int OnSaveJpegBestQuality(CommandContext& cx) { return Save(cx, ImageSaveCode::kJpegBest); }
int OnSavePng1Bit(CommandContext& cx) { return Save(cx, ImageSaveCode::kPng1); }
int OnSavePng4Bit(CommandContext& cx) { return Save(cx, ImageSaveCode::kPng4); }
int OnSavePng8Bit(CommandContext& cx) { return Save(cx, ImageSaveCode::kPng8); }
int OnSavePdf(CommandContext& cx) { return cx.view->OnSavePdf().ok() ? 0 : -1; }

int OnSaveDataScreen(CommandContext& cx) { return cx.view->CaptureScreen(kCaptureDataScreen); }
int OnSaveDesktopScreen(CommandContext& cx) { return cx.view->CaptureScreen(kCaptureDesktop); }
int OnSaveClickedWindow(CommandContext& cx) { return cx.view->CaptureScreen(kCaptureClickedWindow); }
int OnSaveClickedWindowRepeat(CommandContext& cx) { return cx.view->CaptureScreen(kCaptureClickedSeries); }
// Captures are not offered while the file list fills the window.
void UpCapture(CommandContext& cx, CCmdUI& ui) { ui.Enable(cx.doc->m_nListLayout != 2 && cx.doc->m_nListLayout != 12); }

// Update handlers: the check marks and enabled states of the filters.
void Check(CCmdUI& ui, bool check, bool enable = true) {
  ui.SetCheck(check ? 1 : 0);
  ui.Enable(enable);
}
void UpMirror(CommandContext& cx, CCmdUI& ui) { Check(ui, S(cx).m_bMirror != 0, ShowsImage(cx)); }
void UpExpandBright(CommandContext& cx, CCmdUI& ui) {
  const auto& s = S(cx);
  Check(ui, s.m_bActive == 1 && s.m_bEmphasis && s.m_nEmphasis >= 1, ShowsImage(cx) && s.m_nEmphasis < 5);
}
void UpExpandDark(CommandContext& cx, CCmdUI& ui) {
  const auto& s = S(cx);
  Check(ui, s.m_bActive == 1 && s.m_bEmphasis && s.m_nEmphasis < 0, ShowsImage(cx) && s.m_nEmphasis != -5);
}
void UpSmooth(CommandContext& cx, CCmdUI& ui) {
  const auto& s = S(cx);
  Check(ui, s.m_bActive && s.m_nContour < 0 && s.m_bContourCorr,
        ShowsImage(cx) && !(s.m_nContour <= -5 && !cx.doc->m_bShiftDown));
}
void UpSharpen(CommandContext& cx, CCmdUI& ui) {
  const auto& s = S(cx);
  Check(ui, s.m_bActive == 1 && s.m_nContour > 0 && s.m_bContourCorr,
        ShowsImage(cx) && !(s.m_nContour >= 5 && !cx.doc->m_bShiftDown));
}
void UpDarker(CommandContext& cx, CCmdUI& ui) {
  const auto& s = S(cx);
  Check(ui, s.m_bActive == 1 && s.m_bBrightnessCorr && s.m_nBrightness < 0, ShowsImage(cx) && s.m_nBrightness > -30);
}
void UpBrighter(CommandContext& cx, CCmdUI& ui) {
  const auto& s = S(cx);
  Check(ui, s.m_bActive == 1 && s.m_bBrightnessCorr && s.m_nBrightness > 0, ShowsImage(cx) && s.m_nBrightness < 30);
}
void UpPaler(CommandContext& cx, CCmdUI& ui) {
  const auto& s = S(cx);
  Check(ui, s.m_bActive == 1 && s.m_nSaturation < 100 && s.m_bSaturationCorr, ShowsImage(cx) && s.m_nSaturation > 0);
}
void UpDeeper(CommandContext& cx, CCmdUI& ui) {
  const auto& s = S(cx);
  Check(ui, s.m_bActive == 1 && s.m_nSaturation > 100 && s.m_bSaturationCorr, ShowsImage(cx) && s.m_nSaturation < 200);
}
void UpRedder(CommandContext& cx, CCmdUI& ui) {
  const auto& s = S(cx);
  Check(ui, s.m_bActive == 1 && s.m_nHue < 0 && s.m_bHueCorr, ShowsImage(cx) && s.m_nHue > -30);
}
void UpBluer(CommandContext& cx, CCmdUI& ui) {
  const auto& s = S(cx);
  Check(ui, s.m_bActive == 1 && s.m_nHue > 0 && s.m_bHueCorr, ShowsImage(cx) && s.m_nHue < 30);
}
void UpReduced(CommandContext& cx, CCmdUI& ui) {
  Check(ui, S(cx).m_bCharMode > 0, ShowsImage(cx) && S(cx).m_nZoomIndex < 5);
}
void UpInvert(CommandContext& cx, CCmdUI& ui) { Check(ui, S(cx).m_bActive == 1 && S(cx).m_bInvert, ShowsImage(cx)); }
void UpTwoLevel(CommandContext& cx, CCmdUI& ui) { Check(ui, S(cx).m_nEmphasis > 5, ShowsImage(cx)); }
void UpSwitch(CommandContext& cx, CCmdUI& ui) { Check(ui, S(cx).m_bActive == 1, ShowsImage(cx)); }
void UpImage(CommandContext& cx, CCmdUI& ui) { ui.Enable(ShowsImage(cx)); }
void UpZoomIn(CommandContext& cx, CCmdUI& ui) { ui.Enable(ShowsImage(cx) && S(cx).m_nZoomIndex < 9); }
void UpZoomOut(CommandContext& cx, CCmdUI& ui) { ui.Enable(ShowsImage(cx) && S(cx).m_nZoomIndex > 1); }
void UpFit(CommandContext& cx, CCmdUI& ui) { Check(ui, cx.view->Image().m_bFitToWindow != 0, ShowsImage(cx)); }

// The view saves what it shows: images of kinds 12..28, and not while an FTP site is open.
void OnUpdateSaveImage(CommandContext& cx, CCmdUI& ui) {
  ui.Enable(ShowsImage(cx) && cx.view->Pane().m_nShownKind <= kKindEmf && !cx.doc->FtpConnected());
}

int OnPictureObjectMode(CommandContext& cx) { return cx.view->OnPictureObjectMode(); }
int OnConvertToBitmapObject(CommandContext& cx) { return cx.view->OnConvertToBitmapObject(); }
int OnSaveImageTemp(CommandContext& cx) { return cx.view->OnSaveImageTemp(); }
int OnSaveImageAsOther(CommandContext& cx) { return cx.view->OnSaveImageAsOther(); }
int OnSaveImageObject(CommandContext& cx) { return cx.view->OnSaveImageObject(); }
void UpPictureObjectMode(CommandContext& cx, CCmdUI& ui) { ui.SetCheck(cx.view->Image().m_nPictureObjectMode != 0); }
void UpConvertToBitmapObject(CommandContext& cx, CCmdUI& ui) { ui.Enable(cx.view->Image().m_nPictureObjectMode != 2); }

constexpr auto V = CommandTarget::TextView;
constexpr CommandEntry kRows[] = {
    {32988, "ID_IMAGE_MIRROR", "画像左右反転", V, OnMirror, UpMirror},
    {33098, "ID_IMAGE_EXPAND_BRIGHT", "明部拡張", V, OnExpandBright, UpExpandBright},
    {33099, "ID_IMAGE_EXPAND_DARK", "暗部拡張", V, OnExpandDark, UpExpandDark},
    {33091, "ID_IMAGE_CONTOUR_SMOOTH", "輪郭平滑", V, OnContourSmooth, UpSmooth},
    {33094, "ID_IMAGE_CONTOUR_SHARPEN", "輪郭強調", V, OnContourSharpen, UpSharpen},
    {33096, "ID_IMAGE_DARKER", "暗く", V, OnDarker, UpDarker},
    {33097, "ID_IMAGE_BRIGHTER", "明るく", V, OnBrighter, UpBrighter},
    {33100, "ID_IMAGE_PALER", "色薄く", V, OnPaler, UpPaler},
    {33101, "ID_IMAGE_DEEPER", "色濃く", V, OnDeeper, UpDeeper},
    {33102, "ID_IMAGE_REDDER", "色赤く", V, OnRedder, UpRedder},
    {33103, "ID_IMAGE_BLUER", "色青く", V, OnBluer, UpBluer},
    {33170, "ID_IMAGE_REDUCED_MODE", "縮小画像補正モード（平均化､黒文字､白文字､補正なし）", V, OnReducedMode, UpReduced},
    {33095, "ID_IMAGE_INVERT", "色反転（白黒反転）", V, OnInvert, UpInvert},
    {33199, "ID_IMAGE_TWO_LEVEL", "白黒に２値化する （切→10～70%）", V, OnTwoLevel, UpTwoLevel},
    {32989, "ID_IMAGE_CONVERSION_SWITCH", "画像変換を入り切りします。", V, OnConversionSwitch, UpSwitch},
    {32949, "ID_IMAGE_CONVERT_SETTINGS", "画像変換設定(&C)", V, OnImageConvertSettings, UpImage},
    {40100, "ID_IMAGE_ZOOM_IN", "画像拡大", V, OnZoomIn, UpZoomIn},
    {40101, "ID_IMAGE_ZOOM_OUT", "画像縮小", V, OnZoomOut, UpZoomOut},
    {40102, "ID_IMAGE_ROTATE", "画像回転", V, OnRotate, UpImage, "rotate"},
    {40103, "ID_IMAGE_FIT", "画面に合わせる", V, OnFitToWindow, UpFit, "fit"},
    {32933, "ID_IMAGE_SAVE_BMP", "BMP 保存(&B)", V, OnSaveBmp, OnUpdateSaveImage},
    {32931, "ID_IMAGE_SAVE_BMZ", "BMZ 保存（可逆圧縮）(&M)", V, OnSaveBmz, OnUpdateSaveImage},
    {33135, "ID_IMAGE_SAVE_PNG", "画像圧縮保存png(&P)", V, OnSavePngCompressed, OnUpdateSaveImage},
    {33023, "ID_IMAGE_SAVE_JPEG_HIGH_COMPRESSION", "JPEG保存（高圧縮）(&L)", V, OnSaveJpegHighCompression,
     OnUpdateSaveImage},
    {33025, "ID_IMAGE_SAVE_JPEG_STANDARD", "JPEG保存（標準）(&S)", V, OnSaveJpegStandard, OnUpdateSaveImage},
    {33024, "ID_IMAGE_SAVE_JPEG_BEST_QUALITY", "JPEG保存（高画質）(&H)", V, OnSaveJpegBestQuality, OnUpdateSaveImage},
    {33157, "ID_IMAGE_SAVE_PNG_1BIT", "PNG 保存( &1bit)", V, OnSavePng1Bit, OnUpdateSaveImage},
    {33158, "ID_IMAGE_SAVE_PNG_4BIT", "PNG 保存( &4bit)", V, OnSavePng4Bit, OnUpdateSaveImage},
    {33159, "ID_IMAGE_SAVE_PNG_8BIT", "PNG 保存( &8bit)", V, OnSavePng8Bit, OnUpdateSaveImage},
    {33161, "ID_IMAGE_SAVE_PDF", "PDF保存(&P)", V, OnSavePdf, OnUpdateSaveImage},
    {33026, "ID_IMAGE_OBJECT_MODE", "画像Objectﾓｰﾄﾞ(&M)", V, OnPictureObjectMode, UpPictureObjectMode},
    {33134, "ID_IMAGE_CONVERT_TO_BITMAP", "ﾋﾞｯﾄﾏｯﾌﾟｲﾒｰｼﾞに変換(&B)", V, OnConvertToBitmapObject,
     UpConvertToBitmapObject},
    {32980, "ID_IMAGE_SAVE_TEMP", "画像 一時保存", V, OnSaveImageTemp, OnUpdateSaveImage},
    {33192, "ID_IMAGE_SAVE_TEMP_FILE", "画像を一時ファイルに保存する", V, OnSaveImageTemp, OnUpdateSaveImage},
    {32996, "ID_IMAGE_SAVE_AS", "画像 別名保存", V, OnSaveImageAsOther, OnUpdateSaveImage},
    {32970, "ID_IMAGE_SAVE_OBJECT", "画像ｵﾌﾞｼﾞｪｸﾄの保存(&F)", V, OnSaveImageObject, OnUpdateSaveImage},
    {32971, "ID_SAVE_DATA_SCREEN", "データ画面保存(&T)", V, OnSaveDataScreen, UpCapture},
    {32979, "ID_SAVE_DESKTOP_SCREEN", "ﾃﾞｽｸﾄｯﾌﾟ画面保存(&D)", V, OnSaveDesktopScreen, UpCapture},
    {33171, "ID_SAVE_CLICKED_WINDOW", "ｸﾘｯｸ画面保存(&C)", V, OnSaveClickedWindow, UpCapture},
    {33214, "ID_SAVE_CLICKED_WINDOW_REPEAT", "ｸﾘｯｸ画面連続保存(&M)", V, OnSaveClickedWindowRepeat, UpCapture},
};

}  // namespace

CommandRows ViewImageCommands() { return kRows; }
