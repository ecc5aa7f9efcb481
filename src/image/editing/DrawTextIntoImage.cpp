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
#include "image/ViewImageState.h"
#include "image/ViewRegionState.h"
#include "image/editing/DrawingTools.h"
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

// One layer being painted: the pen position, the current tag's font, size and
// colours, and the figure and frame the tags ask for (kept in the view's fields).
class TextLayer {
 public:
  TextLayer(CQelView& view, const CQelDoc& doc, plat::Bitmap& layer, COLORREF background, COLORREF key)
      : v_(view), doc_(doc), layer_(layer), dc_(layer), background_(background), key_(key) {
    textColour_ = frameColour_ = v_.Image().m_ImageSettings.m_clrText & 0xFFFFFF;
    backColour_ = background;
    painter_.SetTextColor(textColour_);
    painter_.SetBkColor(backColour_);
    painter_.SetBkMode(plat::TRANSPARENT);
    dc_.SetBkColor(backColour_);
    dc_.SetBkMode(plat::TRANSPARENT);
    font_.faceName = doc_.m_strProFont;
    v_.Region().m_nLayerMode = 0;
  }

  // One piece of the text: an optional tag ("<letters>") and the text up to the next one.
  void Piece(const std::string& piece) {
    std::string text = piece;
    const size_t close = piece.find('>');
    if (!piece.empty() && piece[0] == '<' && close != std::string::npos && close >= 2) {
      const std::string letters = piece.substr(1, close - 1);
      text = piece.substr(close + 1);
      if (letters[0] == 'n') {
        NewLine(!text.empty());
      } else {
        ApplyTag(letters);
      }
      if (size_ == 0) size_ = 12;
    }
    // A face name ends before a '<' or '[' that follows its first character.
    for (const char stop : {'<', '['}) {
      const size_t at = font_.faceName.find(stop);
      if (at != std::string::npos && at > 0) font_.faceName.resize(at);
    }
    const int mode = v_.Region().m_nLayerMode;
    if (mode == 2 || mode == 3 || mode == 12 || mode == 13) DrawBackgroundFigure(mode);
    painter_.SetBkMode(mode == 1 || mode == 11 ? plat::OPAQUE : plat::TRANSPARENT);
    if (!text.empty()) DrawText(std::move(text));
  }

  // The frame a tag asked for goes round the whole layer at the end.
  void Finish() {
    if (v_.Region().m_nLayerMode > 9) {
      v_.DrawFigure(dc_, Whole(), v_.Region().m_nFigure, 1, frameColour_, backColour_, key_);
    }
  }

 private:
  CRect Whole() const { return CRect{0, 0, layer_.width, layer_.height}; }

  void NewLine(bool textFollows) {
    if (lineHeight_ == 0) lineHeight_ = size_ > 0 ? size_ + size_ / 3 : 16;
    x_ = lineStart_;
    y_ += lineHeight_;
    if (textFollows) lineHeight_ = 0;
  }

  // A tag sets the size, the style, the face, the text and background colours from
  // its letters, and asks for a background figure (D, A, H) or a frame (R, F).
  void ApplyTag(const std::string& letters) {
    int tagSize = 0;
    font_.weight = 400;
    font_.italic = font_.underline = font_.strikeOut = false;
    centre_ = false;
    COLORREF tagText = 0, tagBack = 0;
    std::string face;
    if (v_.Region().m_nLayerMode != 9) v_.Region().m_nLayerMode = 0;
    for (size_t i = 0; i < letters.size(); ++i) {
      const char c = letters[i];
      const char after = i + 1 < letters.size() ? letters[i + 1] : '\0';
      if (std::isdigit(static_cast<unsigned char>(c))) {
        tagSize = std::min(tagSize * 10 + (c - '0'), kMaxTagSize);
      } else if (c == 'B') {
        font_.weight = 700;
      } else if (c == 'I') {
        font_.italic = true;
      } else if (c == 'U') {
        font_.underline = true;
      } else if (c == 'S') {
        font_.strikeOut = true;
      } else if (c == 'C') {
        centre_ = true;
      } else if (c == 'T') {
        face = doc_.m_strTableFont;
      } else if (c == 'P') {
        face = doc_.m_strProFont;
      } else if (c == 'D') {
        v_.Region().m_nLayerMode += 1;
      } else if (c == 'A') {
        v_.Region().m_nLayerMode += 2;
      } else if (c == 'H') {
        v_.Region().m_nLayerMode += 8;
      } else if (c == 'R' || c == 'F') {
        i += FrameLetters(letters, i);
      } else if (c == '-') {
        if (const ColourLetter* k = ColourOf(after)) {
          tagBack = k->light;
          ++i;
        }
      } else if (const ColourLetter* k = ColourOf(c)) {
        tagText = k->text;
      }
    }
    if (tagSize > 0) size_ = tagSize;
    lastTagSize_ = tagSize;
    textColour_ = tagText != 0 ? tagText : v_.Image().m_ImageSettings.m_clrText & 0xFFFFFF;
    backColour_ = tagBack != 0 ? tagBack : background_;
    painter_.SetTextColor(textColour_);
    painter_.SetBkColor(backColour_);
    dc_.SetBkColor(backColour_);
    if (!face.empty()) font_.faceName = face;
  }

  // R (rectangle) or F (figure) at letters[at], with an optional colour letter and
  // pattern digit after it; the number of those it took.
  size_t FrameLetters(const std::string& letters, size_t at) {
    const auto letter = [&](size_t i) { return i < letters.size() ? letters[i] : '\0'; };
    const char c = letters[at];
    v_.Region().m_nLayerMode += 10;
    size_t taken = 0;
    if (const ColourLetter* k = ColourOf(letter(at + 1))) {
      frameColour_ = k->text;
      taken = 1;
    } else {
      frameColour_ = v_.Image().m_ImageSettings.m_clrText & 0xFFFFFF;
    }
    const char digit = letter(at + 1 + taken);
    if (std::isdigit(static_cast<unsigned char>(digit))) {
      v_.Region().m_nPattern = digit - '0';
      if (c == 'F') v_.Region().m_nFigure = 2;
      if (c == 'R' && v_.Region().m_nPattern >= 7) {
        v_.Region().m_nFigure = 1;
        v_.Region().m_nPattern -= 7;
      }
      ++taken;
    }
    return taken;
  }

  // The figure behind the text; the text then starts inside it.
  void DrawBackgroundFigure(int mode) {
    if (v_.Region().m_nEditStep == 0) v_.Region().m_nEditStep = 2;
    CRect rect = Whole();
    if (v_.Region().m_rcRegion.left > v_.Region().m_rcRegion.right) std::swap(rect.left, rect.right);
    if (v_.Region().m_rcRegion.top > v_.Region().m_rcRegion.bottom) std::swap(rect.top, rect.bottom);
    v_.DrawFigure(dc_, rect, v_.Region().m_nFigure, v_.Region().m_nEditStep, textColour_, backColour_, key_);
    x_ = lineStart_ = 4;
    y_ += 1;
    v_.Region().m_nLayerMode = mode <= 10 ? 0 : 10;
  }

  void DrawText(std::string text) {
    std::replace(text.begin(), text.end(), kEscapedLess, '<');
    text = CutSjis(text, kMaxPieceBytes);
    font_.height = std::max(size_ * 40 / 30, 1);
    font_.charSet = plat::SHIFTJIS_CHARSET;
    painter_.SelectFont(font_);
    plat::CSize drawn;
    if (centre_) {
      drawn = painter_.DrawTextCentered(layer_, Whole(), text);
    } else {
      // Tab stops every 6 sizes of the last tag, or of the current size when it gave none.
      const int step = 6 * (lastTagSize_ > 0 ? lastTagSize_ : size_);
      std::vector<int> stops(kTabStops);
      for (int i = 0; i < kTabStops; ++i) stops[static_cast<size_t>(i)] = i * step;
      drawn = painter_.TabbedTextOut(layer_, x_, y_, text, stops, 0);
    }
    x_ += drawn.cx + 2;
    lineHeight_ = std::max(lineHeight_, drawn.cy);
  }

  CQelView& v_;
  const CQelDoc& doc_;  // its fonts
  plat::Bitmap& layer_;
  plat::DrawContext dc_;
  plat::TextPainter painter_;
  const COLORREF background_;
  const COLORREF key_;
  COLORREF textColour_ = 0, backColour_ = 0, frameColour_ = 0;
  plat::LogFont font_;
  int x_ = 0, y_ = 0, lineStart_ = 0, lineHeight_ = 0, size_ = 0, lastTagSize_ = 0;
  bool centre_ = false;
};

}  // namespace

int CQelView::DrawTextIntoImage(std::vector<uint8_t>& copy, int width, int height, const std::string& input) {
  if (input.empty() || width <= 0 || height <= 0 || !g_pMainFrame) return -1;
  plat::GdiHost& gdi = g_pMainFrame->Ui().Gdi();
  plat::BitmapPtr layer = gdi.CreateCompatibleBitmap(width, height);
  if (!layer) return -1;
  const COLORREF background = Image().m_ImageSettings.m_clrBackground & 0xFFFFFF;
  const COLORREF key = KeyOf(background);
  Region().m_crLayerKey = key;
  if ((key >> 8 & 0xFF) + 2 * (key >> 16 & 0xFF) > 384) Image().m_ImageSettings.m_bCharMode = 2;
  if (Region().m_nPaintMode == 2) {
    plat::BitmapPtr source = CopyBufferBitmap(copy);
    if (source) plat::StretchBlt(*layer, 0, 0, width, height, *source, 0, 0, source->width, source->height, plat::COLORONCOLOR);
  } else {
    plat::FillRect(*layer, CRect{0, 0, width, height}, key);
  }

  std::string text = ReplaceSjis(ReplaceSjis(input, "\\n", "<n>"), "<<", std::string(1, kEscapedLess));
  if (text.empty() || text[0] != '<') text = "<12>" + text;
  TextLayer painter(*this, m_doc, *layer, background, key);
  // Pieces start at each '<' after the first two bytes of the one before.
  size_t start = 0, next = 0;
  do {
    next = text.find('<', start + 2);
    if (next == std::string::npos) next = text.size();
    painter.Piece(text.substr(start, next - start));
    start = next;
  } while (next > 0 && next < text.size());
  painter.Finish();

  std::vector<uint8_t> file;
  if (!BitmapToBmp(*layer, CRect{0, 0, width, height}, file)) return -1;
  copy = std::move(file);
  return 0;
}
