// Text on a memory bitmap: fonts found by fontconfig (the IPA Gothic and Mincho
// families), glyphs rendered monochrome by FreeType so that every text pixel is
// exactly the text colour (the figure layer's key-colour transparency relies on
// it). A font's positive height is its cell height in pixels (ascent + descent);
// weight 700 is bold (the family's bold face when it has one, else each glyph
// widened by one pixel), italic slants the glyphs; underline and strike-out are
// one-pixel lines. Text is Shift-JIS. A face that fontconfig does not know becomes
// IPA Gothic; with no font at all nothing is drawn and extents are 0.
// Faces, sizes and rendered glyphs are kept across calls (the glyphs up to a
// budget of memory), so that a metafile of many text records renders each glyph
// of a font once.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gdi/GdiDraw.h"
#include "platform/gdi/Region.h"
#include "platform/gdi/Types.h"

namespace plat {

constexpr int kMaxFontHeight = 2000;

struct LogFont {
  int height = 16;  // cell height in pixels; clamped to 1..kMaxFontHeight
  int weight = 400;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  int charSet = 128;  // Shift-JIS; the IPA fonts cover it whatever is asked
  bool emHeight = false;  // height is the character (em) height; the cell follows the face
  std::string faceName;  // CP932
};

struct CSize {
  int cx = 0;
  int cy = 0;
};

// A run of glyphs placed by its baseline, for the metafile player.
struct TextRun {
  double x = 0, y = 0;  // the first glyph's origin on the baseline
  double angle = 0;     // of the baseline, radians counter-clockwise
  std::span<const double> advances;  // pixels along the baseline, one a code; empty: the font's own
  bool glyphIndices = false;         // the codes are glyph indices of the face, not characters
};

class TextPainter {
 public:
  TextPainter();
  ~TextPainter();
  TextPainter(const TextPainter&) = delete;
  TextPainter& operator=(const TextPainter&) = delete;

  // False when no font could be opened.
  bool SelectFont(const LogFont& font);
  // Whether the selected face is the family the font asked for (not the fallback).
  bool FaceIsAskedFor() const;
  void SetTextColor(COLORREF color) { color_ = color & 0xFFFFFF; }
  // The text's cells are filled with the background colour in OPAQUE mode.
  void SetBkMode(int mode) { bkMode_ = mode; }
  void SetBkColor(COLORREF color) { bk_ = color & 0xFFFFFF; }
  // Paints only inside clip (which must outlive the drawing); nullptr: everywhere.
  void SetClip(const Region* clip) { clip_ = clip; }

  // Draws text with its cell's top-left at (x, y).
  CSize TextOut(Bitmap& target, int x, int y, std::string_view text);
  // As TextOut, a tab moving to the next stop: stops[i] pixels from origin x.
  CSize TabbedTextOut(Bitmap& target, int x, int y, std::string_view text, const std::vector<int>& stops, int origin);
  // One line centred horizontally and vertically in rect.
  CSize DrawTextCentered(Bitmap& target, const CRect& rect, std::string_view text);
  CSize GetTextExtentPoint32(std::string_view text, const std::vector<int>* stops = nullptr, int origin = 0);
  // Draws a run (target null: measures it); returns its advance along the baseline.
  double DrawRun(Bitmap* target, const TextRun& run, std::u16string_view codes);
  // The selected font's ascent in pixels: from the cell's top to the baseline; and
  // the cell's height.
  int Ascent() const;
  int CellHeight() const;

 private:
  struct Impl;
  double Draw(Bitmap* target, const TextRun& run, std::u16string_view codes, const std::vector<int>* stops,
              int origin);
  CSize Run(Bitmap* target, int x, int y, std::u16string_view text, const std::vector<int>* stops, int origin);
  std::unique_ptr<Impl> impl_;
  COLORREF color_ = 0;
  COLORREF bk_ = 0xFFFFFF;
  int bkMode_ = TRANSPARENT;
  const Region* clip_ = nullptr;
};

}  // namespace plat
