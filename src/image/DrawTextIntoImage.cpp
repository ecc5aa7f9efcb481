// The figure and text layer: a tagged text painted into a bitmap of the region's
// size. Tags set the size, style, colours, a background figure and a frame; a
// layer pixel left in the key colour is transparent when the executor lays the
// layer over the picture. The layer replaces the copy buffer (a 24-bit BMP image).
#include <algorithm>
#include <array>
#include <cctype>
#include <string>
#include <vector>

#include "app/Globals.h"
#include "frame/MainFrame.h"
#include "image/DrawingTools.h"
#include "platform/text/CodePage.h"
#include "platform/gdi/GdiText.h"
#include "view/QelView.h"

namespace {

constexpr char kEscapedLess = 31;
constexpr int kMaxTagSize = 1000;      // a tag's size beyond this draws as this
constexpr size_t kMaxPieceBytes = 2000;
constexpr int kTabStops = 32;

struct ColourLetter {
  char letter;
  COLORREF text, light;
};
constexpr std::array<ColourLetter, 12> kColours = {{
    {'r', 0x0000FF, 0x8080FF}, {'g', 0x008000, 0x80C080}, {'b', 0xFF0000, 0xFF8080}, {'o', 0x0080FF, 0x80C0FF},
    {'s', 0xFF8000, 0xFFC080}, {'i', 0xFF00FF, 0xFF80FF}, {'u', 0xC00080, 0xE080C0}, {'t', 0x404080, 0xA0A0C0},
    {'y', 0xC0FFFF, 0x80F0F0}, {'a', 0x808080, 0xC0C0C0}, {'w', 0xFFFFFF, 0xFFFFFF}, {'d', 0x000000, 0x000000},
}};

const ColourLetter* ColourOf(char c) {
  for (const ColourLetter& k : kColours) {
    if (k.letter == c) return &k;
  }
  return nullptr;
}

// At most max bytes, never ending inside a double-byte character.
std::string CutSjis(const std::string& s, size_t max) {
  if (s.size() <= max) return s;
  size_t at = 0;
  while (at < s.size()) {
    const size_t n = IsSjisLeadByte(static_cast<unsigned char>(s[at])) && at + 1 < s.size() ? 2 : 1;
    if (at + n > max) break;
    at += n;
  }
  return s.substr(0, at);
}

COLORREF KeyOf(COLORREF background) {
  const int r = background & 0xFF, g = background >> 8 & 0xFF, b = background >> 16 & 0xFF;
  const int kr = r + 1 > 255 ? r - 1 : r + 1, kg = g + 2 > 255 ? g - 2 : g + 2, kb = b + 3 > 255 ? b - 3 : b + 3;
  return RGB(kr, kg, kb);
}

}  // namespace

int CQelView::DrawTextIntoImage(std::vector<uint8_t>& copy, int width, int height, const std::string& input) {
  if (input.empty() || width <= 0 || height <= 0 || !g_pMainFrame) return -1;
  plat::GdiHost& gdi = g_pMainFrame->Ui().Gdi();
  plat::BitmapPtr layer = gdi.CreateCompatibleBitmap(width, height);
  if (!layer) return -1;
  const COLORREF background = m_ImageSettings.m_clrBackground & 0xFFFFFF;
  const COLORREF key = KeyOf(background);
  m_crLayerKey = key;
  if ((key >> 8 & 0xFF) + 2 * (key >> 16 & 0xFF) > 384) m_ImageSettings.m_bCharMode = 2;
  if (m_nPaintMode == 2) {
    plat::BitmapPtr source = CopyBufferBitmap(copy);
    if (source) plat::StretchBlt(*layer, 0, 0, width, height, *source, 0, 0, source->width, source->height, plat::COLORONCOLOR);
  } else {
    plat::FillRect(*layer, CRect{0, 0, width, height}, key);
  }
  plat::DrawContext dc(*layer);
  plat::TextPainter painter;
  COLORREF textColour = m_ImageSettings.m_clrText & 0xFFFFFF, backColour = background;
  COLORREF frameColour = textColour;
  painter.SetTextColor(textColour);
  painter.SetBkColor(backColour);
  painter.SetBkMode(plat::TRANSPARENT);
  dc.SetBkColor(backColour);
  dc.SetBkMode(plat::TRANSPARENT);
  m_nLayerMode = 0;

  std::string text = ReplaceSjis(ReplaceSjis(input, "\\n", "<n>"), "<<", std::string(1, kEscapedLess));
  if (text.empty() || text[0] != '<') text = "<12>" + text;

  int x = 0, y = 0, lineStart = 0, lineHeight = 0, size = 0, lastTagSize = 0;
  plat::LogFont font;
  font.faceName = m_doc.m_strProFont;
  bool centre = false;
  size_t start = 0;
  size_t next = 0;
  do {
    next = text.find('<', start + 2);
    if (next == std::string::npos) next = text.size();
    const std::string piece = text.substr(start, next - start);
    start = next;
    std::string pieceText = piece;
    const size_t close = piece.find('>');
    const bool tag = !piece.empty() && piece[0] == '<' && close != std::string::npos && close >= 2;
    if (tag) {
      const std::string letters = piece.substr(1, close - 1);
      pieceText = piece.substr(close + 1);
      if (letters[0] == 'n') {
        if (lineHeight == 0) lineHeight = size > 0 ? size + size / 3 : 16;
        x = lineStart;
        y += lineHeight;
        if (!pieceText.empty()) lineHeight = 0;
      } else {
        int tagSize = 0;
        font.weight = 400;
        font.italic = font.underline = font.strikeOut = false;
        centre = false;
        COLORREF tagText = 0, tagBack = 0;
        std::string face;
        if (m_nLayerMode != 9) m_nLayerMode = 0;
        for (size_t i = 0; i < letters.size(); ++i) {
          const char c = letters[i];
          const char after = i + 1 < letters.size() ? letters[i + 1] : '\0';
          if (std::isdigit(static_cast<unsigned char>(c))) {
            tagSize = std::min(tagSize * 10 + (c - '0'), kMaxTagSize);
          } else if (c == 'B') {
            font.weight = 700;
          } else if (c == 'I') {
            font.italic = true;
          } else if (c == 'U') {
            font.underline = true;
          } else if (c == 'S') {
            font.strikeOut = true;
          } else if (c == 'C') {
            centre = true;
          } else if (c == 'T') {
            face = m_doc.m_strTableFont;
          } else if (c == 'P') {
            face = m_doc.m_strProFont;
          } else if (c == 'D') {
            m_nLayerMode += 1;
          } else if (c == 'A') {
            m_nLayerMode += 2;
          } else if (c == 'H') {
            m_nLayerMode += 8;
          } else if (c == 'R' || c == 'F') {
            m_nLayerMode += 10;
            if (const ColourLetter* k = ColourOf(after)) {
              frameColour = k->text;
              ++i;
            } else {
              frameColour = m_ImageSettings.m_clrText & 0xFFFFFF;
            }
            const char digit = i + 1 < letters.size() ? letters[i + 1] : '\0';
            if (std::isdigit(static_cast<unsigned char>(digit))) {
              m_nPattern = digit - '0';
              if (c == 'F') m_nFigure = 2;
              if (c == 'R' && m_nPattern >= 7) {
                m_nFigure = 1;
                m_nPattern -= 7;
              }
              ++i;
            }
          } else if (c == '-') {
            if (const ColourLetter* k = ColourOf(after)) {
              tagBack = k->light;
              ++i;
            }
          } else if (const ColourLetter* k = ColourOf(c)) {
            tagText = k->text;
          }
        }
        if (tagSize > 0) size = tagSize;
        lastTagSize = tagSize;
        textColour = tagText != 0 ? tagText : m_ImageSettings.m_clrText & 0xFFFFFF;
        backColour = tagBack != 0 ? tagBack : background;
        painter.SetTextColor(textColour);
        painter.SetBkColor(backColour);
        dc.SetBkColor(backColour);
        if (!face.empty()) font.faceName = face;
      }
      if (size == 0) size = 12;
    }
    // A face name ends before a '<' or '[' that follows its first character.
    for (const char stop : {'<', '['}) {
      const size_t at = font.faceName.find(stop);
      if (at != std::string::npos && at > 0) font.faceName.resize(at);
    }
    const int mode = m_nLayerMode;
    if (mode == 2 || mode == 3 || mode == 12 || mode == 13) {
      if (m_nEditStep == 0) m_nEditStep = 2;
      CRect rect{0, 0, width, height};
      if (m_rcRegion.left > m_rcRegion.right) std::swap(rect.left, rect.right);
      if (m_rcRegion.top > m_rcRegion.bottom) std::swap(rect.top, rect.bottom);
      DrawFigure(dc, rect, m_nFigure, m_nEditStep, textColour, backColour, key);
      x = lineStart = 4;
      y += 1;
      m_nLayerMode = mode <= 10 ? 0 : 10;
    }
    painter.SetBkMode(mode == 1 || mode == 11 ? plat::OPAQUE : plat::TRANSPARENT);
    if (!pieceText.empty()) {
      std::replace(pieceText.begin(), pieceText.end(), kEscapedLess, '<');
      pieceText = CutSjis(pieceText, kMaxPieceBytes);
      font.height = std::max(size * 40 / 30, 1);
      font.charSet = plat::SHIFTJIS_CHARSET;
      painter.SelectFont(font);
      plat::CSize drawn;
      if (centre) {
        drawn = painter.DrawTextCentered(*layer, CRect{0, 0, width, height}, pieceText);
      } else {
        // Tab stops every 6 sizes of the last tag, or of the current size when it gave none.
        const int step = 6 * (lastTagSize > 0 ? lastTagSize : size);
        std::vector<int> stops(kTabStops);
        for (int i = 0; i < kTabStops; ++i) stops[static_cast<size_t>(i)] = i * step;
        drawn = painter.TabbedTextOut(*layer, x, y, pieceText, stops, 0);
      }
      x += drawn.cx + 2;
      lineHeight = std::max(lineHeight, drawn.cy);
    }
  } while (next > 0 && next < text.size());
  if (m_nLayerMode > 9) DrawFigure(dc, CRect{0, 0, width, height}, m_nFigure, 1, frameColour, backColour, key);

  std::vector<uint8_t> file;
  if (!BitmapToBmp(*layer, CRect{0, 0, width, height}, file)) return -1;
  copy = std::move(file);
  return 0;
}
