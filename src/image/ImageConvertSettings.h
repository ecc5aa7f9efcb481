// ImageConvertSettings: the fifty-field block that says how a loaded image is shown
// (zoom, rotation, fit, mirror, tone, colour conversions, region scope). The image
// itself never changes; every redisplay renders a copy through the block. One copy
// lives in the document, one in each text pane; the block is copied whole.
#pragma once

#include <cstdint>

#include "platform/gdi/Types.h"

struct ImageConvertSettings {
  int32_t m_nTag = 196;
  COLORREF m_clrSource = 0x01C0C1C2;
  COLORREF m_clrTarget = 0x01F8F9FA;
  COLORREF m_clrBackground = 0xF8F9FA;
  COLORREF m_clrText = 0x010203;
  int32_t m_nZoomIndex = 5;         // 1..9, 5 = 1:1, index i scales by 2^(i-5)
  int32_t m_nColorPhase = 0;        // 0 off, 1 inverted with red/blue exchanged, >1 colour difference, -2 forced
  int32_t m_nRotation = 0;          // 0..3 quarter turns
  int32_t m_nScrollMarker = 0;
  int32_t m_nReserved9 = 0;
  int32_t m_nFitTenths = 0;         // 0, or 6..10 from the fit computation
  int32_t m_nColorRange = 20;
  COLORREF m_clrPicked = 0xFFFFFF;
  int32_t m_nPaletteIndex = 31;
  int32_t m_nMinCount = 1;
  int32_t m_nMaxCount = 8;
  int32_t m_nContinuityRange = 20;
  int32_t m_nEmphasis = 0;
  int32_t m_nContour = 0;
  int32_t m_bCharMode = 0;
  int32_t m_nSaturation = 100;
  int32_t m_nHue = 0;
  int32_t m_nBrightness = 0;
  int32_t m_nBlockWidth = 1;
  int32_t m_bFlip = 0;
  int32_t m_bMirror = 0;
  int32_t m_nReserved26 = 0;
  int32_t m_nReserved27 = 0;
  int32_t m_bActive = 0;
  int32_t m_bTransform = 0;
  int32_t m_nReserved30 = 0;
  int32_t m_bTo24 = 0;
  int32_t m_bWork24 = 0;
  int32_t m_bBlock = 0;
  int32_t m_bSkipSelected = 1;
  int32_t m_bNoColorOnCut = 0;
  int32_t m_bBrightnessCorr = 0;
  int32_t m_bToTarget = 0;
  int32_t m_bContourCorr = 0;
  int32_t m_bSaturationCorr = 0;
  int32_t m_bHueCorr = 0;
  int32_t m_bByDifference = 0;
  int32_t m_bOtherColors = 0;
  int32_t m_bContinuous = 0;
  int32_t m_bIsolated = 0;
  int32_t m_bMono = 0;
  int32_t m_bInvert = 0;
  int32_t m_bCutOut = 0;
  int32_t m_bEmphasis = 0;
  int32_t m_nRegionScope = 0;       // bit 0 inside the region, bit 1 outside

  // The document's copy starts with narrower colour ranges than a view's.
  static ImageConvertSettings ForDocument() {
    ImageConvertSettings s;
    s.m_nColorRange = 5;
    s.m_nContinuityRange = 5;
    return s;
  }
};

static_assert(sizeof(ImageConvertSettings) == 50 * 4, "the block is fifty 32-bit fields");

// Runs the image-conversion settings dialog on a copy of the block; OK copies every
// field back and sets the block active (1), Cancel changes nothing (0).
int RunImageConvertDialog(ImageConvertSettings* settings);
