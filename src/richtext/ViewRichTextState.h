// The text pane's fields of rich-text formatting: the character effects shown on the
// menu, the colour target and highlight colour, and the screen background. CQelView
// holds them behind RichText().
#pragma once

#include <cstdint>

#include "platform/gdi/Types.h"

struct ViewRichTextState {
  uint32_t m_dwCharEffects = 0;
  int m_bBackColorTarget = 0;    // 0 text, 1 background
  COLORREF m_crHighlight = RGB(255, 255, 0);  // the background the highlight command gives
  int m_nBackColorIndex = 0;     // the screen background colour, 0 to 6
};
