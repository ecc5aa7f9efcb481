// The colour dialog of the formatting commands: answered with the field "color"
// (or a bare value) as six hex digits RRGGBB.
#pragma once

#include "platform/Types.h"

class CColorDialog {
 public:
  explicit CColorDialog(COLORREF initial) : m_color(initial) {}
  int DoModal();  // IDOK with GetColor() set, or IDCANCEL
  COLORREF GetColor() const { return m_color; }

 private:
  COLORREF m_color;
};
