// Small value types of the window system that the logic keeps in its fields.
#pragma once

#include <cstdint>

using COLORREF = uint32_t;  // 0x00BBGGRR

constexpr COLORREF RGB(int r, int g, int b) {
  return static_cast<COLORREF>((r & 0xFF) | (g & 0xFF) << 8 | (b & 0xFF) << 16);
}

struct CPoint {
  int x = 0;
  int y = 0;
};

struct CRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};
