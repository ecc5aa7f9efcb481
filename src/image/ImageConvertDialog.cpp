// RunImageConvertDialog: the image-conversion settings dialog ("画像変換の設定") on a
// copy of a settings block. The dialog shows the colours in 24 bits, the
// selected-colour flag inverted ("選択した色を変換"), the character mode as a tick
// and the region scope as two ticks; OK copies every value back and makes the
// block active, Cancel (or a value outside its range) changes nothing.
#include <charconv>
#include <string>

#include "app/Globals.h"
#include "frame/MainFrame.h"
#include "image/ImageConvertSettings.h"

namespace {

struct DialogField {
  const char* name;  // the answer's field name
  int32_t ImageConvertSettings::*member;
  int64_t min, max;
};

// The edit boxes and ticks that map one to one onto a field.
constexpr DialogField kFields[] = {
    {"colorRange", &ImageConvertSettings::m_nColorRange, -1, 510},
    {"paletteIndex", &ImageConvertSettings::m_nPaletteIndex, 0, 255},
    {"minCount", &ImageConvertSettings::m_nMinCount, 0, 8},
    {"maxCount", &ImageConvertSettings::m_nMaxCount, 0, 8},
    {"continuityRange", &ImageConvertSettings::m_nContinuityRange, -1, 255},
    {"emphasisLevel", &ImageConvertSettings::m_nEmphasis, -5, 5},
    {"contour", &ImageConvertSettings::m_nContour, -5, 10},
    {"saturation", &ImageConvertSettings::m_nSaturation, 0, 2000},
    {"hue", &ImageConvertSettings::m_nHue, -100, 100},
    {"brightness", &ImageConvertSettings::m_nBrightness, -100, 100},
    {"blockWidth", &ImageConvertSettings::m_nBlockWidth, 1, 1000},
    {"to24", &ImageConvertSettings::m_bTo24, 0, 1},
    {"block", &ImageConvertSettings::m_bBlock, 0, 1},
    {"noColorOnCut", &ImageConvertSettings::m_bNoColorOnCut, 0, 1},
    {"brightnessCorr", &ImageConvertSettings::m_bBrightnessCorr, 0, 1},
    {"toTarget", &ImageConvertSettings::m_bToTarget, 0, 1},
    {"contourCorr", &ImageConvertSettings::m_bContourCorr, 0, 1},
    {"saturationCorr", &ImageConvertSettings::m_bSaturationCorr, 0, 1},
    {"hueCorr", &ImageConvertSettings::m_bHueCorr, 0, 1},
    {"byDifference", &ImageConvertSettings::m_bByDifference, 0, 1},
    {"otherColors", &ImageConvertSettings::m_bOtherColors, 0, 1},
    {"continuous", &ImageConvertSettings::m_bContinuous, 0, 1},
    {"isolated", &ImageConvertSettings::m_bIsolated, 0, 1},
    {"mono", &ImageConvertSettings::m_bMono, 0, 1},
    {"invert", &ImageConvertSettings::m_bInvert, 0, 1},
    {"cutOut", &ImageConvertSettings::m_bCutOut, 0, 1},
    {"emphasis", &ImageConvertSettings::m_bEmphasis, 0, 1},
};

// The value of a field in the answer, or its shown value; false when out of range.
bool Take(const plat::DialogAnswer& answer, const char* name, int64_t min, int64_t max, int64_t& value) {
  auto it = answer.fields.find(name);
  if (it == answer.fields.end()) return true;
  const std::string& text = it->second;
  const int base = text.rfind("0x", 0) == 0 ? 16 : 10;
  const char* begin = text.data() + (base == 16 ? 2 : 0);
  int64_t parsed = 0;
  const auto [end, ec] = std::from_chars(begin, text.data() + text.size(), parsed, base);
  if (ec != std::errc() || end != text.data() + text.size() || parsed < min || parsed > max) return false;
  value = parsed;
  return true;
}

}  // namespace

int RunImageConvertDialog(ImageConvertSettings* settings) {
  if (!settings || !g_pMainFrame) return 0;
  const plat::DialogAnswer answer = g_pMainFrame->Ui().RunDialog("CImageConvertDlg");
  if (answer.result != plat::IDOK) return 0;
  ImageConvertSettings s = *settings;
  int64_t source = s.m_clrSource & 0xFFFFFF, target = s.m_clrTarget & 0xFFFFFF;
  int64_t charMode = s.m_bCharMode == 1, convertSelected = 1 - s.m_bSkipSelected;
  int64_t inside = s.m_nRegionScope & 1, outside = s.m_nRegionScope >> 1 & 1;
  bool ok = Take(answer, "sourceColor", 0, 0xFFFFFF, source) && Take(answer, "targetColor", 0, 0xFFFFFF, target) &&
            Take(answer, "charMode", 0, 1, charMode) && Take(answer, "convertSelected", 0, 1, convertSelected) &&
            Take(answer, "inside", 0, 1, inside) && Take(answer, "outside", 0, 1, outside);
  for (const DialogField& f : kFields) {
    int64_t v = s.*f.member;
    ok = ok && Take(answer, f.name, f.min, f.max, v);
    s.*f.member = static_cast<int32_t>(v);
  }
  if (!ok) return 0;
  s.m_clrSource = static_cast<COLORREF>(source);
  s.m_clrTarget = static_cast<COLORREF>(target);
  s.m_bCharMode = static_cast<int32_t>(charMode);
  s.m_bSkipSelected = static_cast<int32_t>(1 - convertSelected);
  s.m_nRegionScope = static_cast<int32_t>(inside + 2 * outside);
  s.m_bActive = 1;
  *settings = s;
  return 1;
}
