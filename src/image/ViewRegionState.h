// The regions of a pane's image and the tools that edit it: the region and its
// corners, the drawing tool's state, the saved pixels that undo an edit, and the
// mark mode's display slots. Held by CQelView behind Region().
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdi/Types.h"

// The display slots of the mark mode, numbered 1..99 by their two digits.
constexpr int kDisplaySlots = 99;
struct DisplaySlot {
  CPoint start{-1, -1};
  CPoint end{-1, -1};
  int width = 0;
  int height = 0;
  bool picture = false;
};

// The region's unedited pixels with the rectangle they came from in the view's
// image (24-bit rows, top-down), or after a crop the whole image as a BMP file
// image. layout is the image's layout they were taken from; pastedCode is the
// paste (4, or 12 with white kept) whose block now stands on those pixels.
struct RegionBackup {
  CRect rect{-1, -1, -1, -1};
  std::vector<uint8_t> pixels;
  bool wholeImage = false;
  int pastedCode = 0;
  uint32_t layout = 0;
};

struct ViewRegionState {
  int m_nRegionCount = 0;
  int m_nRegionState = 0;
  int m_nRegionPickState = 0;
  CRect m_rcRegion{-1, -1, -1, -1};
  CRect m_rcRegionImage{-1, -1, -1, -1};
  CRect m_rcRegionSaved{-1, -1, -1, -1};
  CPoint m_ptRegionClick;
  CPoint m_ptClick;
  uint8_t* m_pRegionPixels = nullptr;
  int m_nRegionPixelsSize = 0;
  int m_nFigure = 0;
  int m_nPaintMode = 0;
  int m_nEditStep = 0;
  int m_nPattern = 0;
  int m_nLayerMode = 0;
  std::string m_strDrawText;
  CRect m_rcCapture;
  int m_nPrintKind = 0;
  int m_nPrintStartV = 0;
  int m_nPrintStartH = 0;
  COLORREF m_crLayerKey = 0;     // the key colour of the last layer drawn

  std::array<DisplaySlot, kDisplaySlots + 1> m_displaySlots{};  // the mark mode's display slots

  RegionBackup m_regionBackup;
  RegionBackup m_cutBackup;        // what a cut took away, kept apart so that undoing a later edit leaves it
  // Counts the view's images whose pixels stand elsewhere than the last one's (another
  // picture, a crop, an edit of a zoomed, turned or mirrored display): saved pixels go
  // back only into the layout they came from.
  uint32_t m_nImageLayout = 1;
  // The display shows the image's pixels elsewhere than they stand in it (mirrored,
  // flipped, turned, cut out); a display of another size does so too.
  bool m_bDisplayMoved = false;
  CPoint m_ptBlockDragFrom{-1, -1};  // the pointer's last place while it drags a pasted block; x -1: none
};
