// The text pane's own fields, grouped by what uses them: identity and text and key
// macros. CQelView inherits them; the shown image and its regions, the table's, the
// rich text's and media's fields are their subsystems' (image/ViewImageState.h,
// image/ViewRegionState.h, richtext/ViewTableState.h, richtext/ViewRichTextState.h,
// media/ViewMediaState.h), held behind CQelView's accessors.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/gdi/Gdi.h"
#include "platform/gdi/Types.h"

struct ViewTextState {
  int m_nPane = 1;               // 1 to 4; the refresh timer id is m_nPane + 2
  std::string m_strFileName;     // the name shown, base of save names
  int m_nFileKind = 0;           // FileKind shown
  int m_nDisplayForm = 0;
  int m_bCtrlDown = 0;           // Ctrl held for the current command
  std::string m_strKeyFailure;   // why the work of the last key failed (CP932); "" when it did not
  plat::Bitmap m_paneSurface;    // the pane's client area (the image's and the video's paint)

  int m_nSelStart = 0;
  int m_nSelEnd = 0;
  std::string m_strSearch;       // the current search text
};

struct ViewMacroState {
  static constexpr int kMacroSteps = 1000;
  int m_bMacroRecording = 0;
  int m_nMacroSteps = 0;
  std::array<int, kMacroSteps> m_anMacroCode{};
  std::array<int, kMacroSteps> m_anMacroParam{};
  COLORREF m_crMacroText = RGB(0, 0, 0);
  COLORREF m_crMacroBack = RGB(255, 255, 255);
};
