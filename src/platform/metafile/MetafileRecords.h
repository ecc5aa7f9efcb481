// What the EMF and WMF record players share inside the metafile layer.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/metafile/Metafile.h"
#include "platform/metafile/MetafileCanvas.h"

namespace plat {

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr int kPlaceableSize = 22;

// A WMF's logical window: the placeable box, else the first window origin and
// extent of its records; false when it has neither.
struct WmfWindow {
  DPoint org, ext;
  double unitsPerInch = 0;  // the placeable header's; 0 without one
};
bool FindWmfWindow(std::span<const uint8_t> bytes, WmfWindow& window);
bool IsEmf(std::span<const uint8_t> bytes);
// A WMF written from an enhanced metafile carries it whole in "WMFC" comments (the
// chunks in order, each stating the total): that metafile, when it is complete.
bool EmbeddedEmf(std::span<const uint8_t> bytes, std::vector<uint8_t>& emf);
bool IsWmf(std::span<const uint8_t> bytes);

// A packed DIB (header, colour table, rows) split into its info and its rows;
// false for headers this layer does not draw.
bool SplitPackedDib(std::span<const uint8_t> dib, std::span<const uint8_t>& bmi, std::span<const uint8_t>& bits);
// The mean colour of a DIB's rows (the stand-in for a pattern brush).
COLORREF MeanDibColor(std::span<const uint8_t> bmi, std::span<const uint8_t> bits);

void PlayEmfRecords(std::span<const uint8_t> bytes, MetafileCanvas& canvas, bool drawText);
void PlayWmfRecords(std::span<const uint8_t> bytes, MetafileCanvas& canvas, bool drawText);
int EmfObjectCount(std::span<const uint8_t> bytes);
int WmfObjectCount(std::span<const uint8_t> bytes);

}  // namespace plat
