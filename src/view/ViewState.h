// The text pane's own fields, grouped by what uses them: the pane and what it shows,
// and the key macros. CQelView holds them as members behind Pane() and Macro(), as it
// holds the shown image and its regions, the table's, the rich text's and media's
// fields, which are their subsystems' (image/ViewImageState.h,
// image/ViewRegionState.h, richtext/ViewTableState.h, richtext/ViewRichTextState.h,
// media/ViewMediaState.h). The document's kind, display form and key flags are the
// document's: the pane reads them through it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/gdi/Gdi.h"
#include "platform/gdi/Types.h"

struct ViewPaneState {
  int m_nPane = 1;               // 1 to 4; the refresh timer id is m_nPane + 2
  std::string m_strFileName;     // the name shown, base of save names
  // What the pane shows, which may differ from the document's FileKind and
  // DisplayForm: both are taken from the document when it is shown, and the pane
  // keeps them until it shows the document again, while the document loads another
  // file for a picture or is set to another form; a sheet the pane makes of the text
  // shows as kKindCsv, a table it turns into rich text as kKindRtf.
  int m_nShownKind = 0;          // FileKind shown
  int m_nShownForm = 0;          // DisplayForm shown
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
