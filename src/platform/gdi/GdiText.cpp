#include "platform/gdi/GdiText.h"

#include <algorithm>
#include <cctype>

#include "platform/text/CodePage.h"
#include "platform/gdi/FontLibrary.h"
#include "platform/os/SharedLibrary.h"

namespace plat {

namespace {

constexpr const char* kFallbackFamily = "IPAGothic";

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The font file of a family, when fontconfig knows that family.
std::string FindFontFile(const FontFunctions& f, FcConfig* config, const std::string& family) {
  if (!config || family.empty()) return "";
  FcPattern* pattern = f.FcPatternCreate();
  f.FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const unsigned char*>(family.c_str()));
  f.FcConfigSubstitute(config, pattern, FcMatchPattern);
  f.FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = f.FcFontMatch(config, pattern, &result);
  std::string path;
  if (match) {
    // A match of another family is fontconfig's own fallback: not the face asked for.
    bool same = false;
    FcChar8* name = nullptr;
    for (int i = 0; f.FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
      if (Lower(reinterpret_cast<const char*>(name)) == Lower(family)) same = true;
    }
    FcChar8* file = nullptr;
    if (same && f.FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) path = reinterpret_cast<const char*>(file);
    f.FcPatternDestroy(match);
  }
  f.FcPatternDestroy(pattern);
  return path;
}

}  // namespace

struct TextPainter::Impl {
  const FontFunctions* f = nullptr;  // nullptr: the libraries could not be loaded, no text is drawn
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  FcConfig* config = nullptr;
  std::string file;
  LogFont font;
  int ascent = 0;
  int cell = 0;
  ~Impl() {
    if (face) f->FT_Done_Face(face);
    if (library) f->FT_Done_FreeType(library);
    if (config) f->FcConfigDestroy(config);
  }
};

TextPainter::TextPainter() : impl_(std::make_unique<Impl>()) {
  std::string why;
  impl_->f = Fonts(&why);
  if (!impl_->f) {
    ReportLibraryError(why);
    return;
  }
  if (impl_->f->FT_Init_FreeType(&impl_->library) != 0) impl_->library = nullptr;
  impl_->config = impl_->f->FcInitLoadConfigAndFonts();
}

TextPainter::~TextPainter() = default;

bool TextPainter::SelectFont(const LogFont& requested) {
  Impl& m = *impl_;
  LogFont font = requested;
  font.height = std::clamp(font.height, 1, kMaxFontHeight);
  if (!m.f) return false;
  const FontFunctions& f = *m.f;
  std::string file = FindFontFile(f, m.config, plat::Cp932ToUtf8(font.faceName));
  if (file.empty()) file = FindFontFile(f, m.config, kFallbackFamily);
  if (!m.library || file.empty()) return false;
  if (file != m.file) {
    if (m.face) f.FT_Done_Face(m.face);
    m.face = nullptr;
    m.file.clear();
    if (f.FT_New_Face(m.library, file.c_str(), 0, &m.face) != 0) {
      m.face = nullptr;
      return false;
    }
    m.file = file;
  }
  FT_Size_RequestRec size{};
  size.type = font.emHeight ? FT_SIZE_REQUEST_TYPE_NOMINAL : FT_SIZE_REQUEST_TYPE_CELL;
  size.height = static_cast<FT_Long>(font.height) * 64;
  if (f.FT_Request_Size(m.face, &size) != 0) return false;
  m.ascent = static_cast<int>((m.face->size->metrics.ascender + 63) / 64);
  m.cell = font.emHeight ? std::clamp(static_cast<int>((m.face->size->metrics.ascender - m.face->size->metrics.descender + 63) / 64),
                                      1, 2 * kMaxFontHeight)
                         : font.height;
  FT_Matrix slant{0x10000, font.italic ? 0x3333 : 0, 0, 0x10000};
  f.FT_Set_Transform(m.face, &slant, nullptr);
  m.font = font;
  return true;
}

CSize TextPainter::Run(Bitmap* target, int x, int y, std::u16string_view wide, const std::vector<int>* stops,
                       int origin) {
  Impl& m = *impl_;
  if (!m.face) return CSize{};
  const FontFunctions& f = *m.f;  // a face was made through it
  const bool bold = m.font.weight >= 600;
  const int cell = m.cell;
  const int baseline = y + m.ascent;
  const uint32_t ink = PixelOfColor(color_), paper = PixelOfColor(bk_);
  const auto put = [&](int px, int py, uint32_t pixel) {
    if (target && px >= 0 && py >= 0 && px < target->width && py < target->height) target->Row(py)[px] = pixel;
  };
  int pen = x;
  for (const char16_t ch : wide) {
    const int start = pen;
    if (ch < 0x20 && ch != u'\t') continue;
    if (ch == u'\t' && stops) {
      int next = pen + 1;
      for (const int stop : *stops) {
        if (origin + stop > pen) {
          next = origin + stop;
          break;
        }
      }
      pen = next;
    } else if (f.FT_Load_Char(m.face, ch, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_MONO) == 0) {
      FT_GlyphSlot g = m.face->glyph;
      if (bold && g->format == FT_GLYPH_FORMAT_OUTLINE) f.FT_Outline_Embolden(&g->outline, 1 << 6);
      const int advance = static_cast<int>((g->advance.x + 32) >> 6) + (bold ? 1 : 0);
      // Only a glyph whose cell meets the bitmap is painted (a huge font costs no more).
      const bool visible = target && pen + advance + cell > 0 && pen - cell < target->width && y + cell > 0 &&
                           y < target->height;
      if (visible && bkMode_ == OPAQUE) {
        for (int py = std::max(y, 0); py < std::min(y + cell, target->height); ++py) {
          for (int px = std::max(pen, 0); px < std::min(pen + advance, target->width); ++px) put(px, py, paper);
        }
      }
      if (visible && f.FT_Render_Glyph(g, FT_RENDER_MODE_MONO) == 0 && g->bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
        const FT_Bitmap& bm = g->bitmap;
        const int left = pen + g->bitmap_left, top = baseline - g->bitmap_top;
        for (unsigned row = 0; row < bm.rows; ++row) {
          const unsigned char* bits = bm.buffer + static_cast<ptrdiff_t>(row) * bm.pitch;
          for (unsigned col = 0; col < bm.width; ++col) {
            if ((bits[col / 8] >> (7 - col % 8) & 1) != 0) put(left + static_cast<int>(col), top + static_cast<int>(row), ink);
          }
        }
      }
      pen += advance;
    }
    if (target && (m.font.underline || m.font.strikeOut)) {
      for (int px = std::max(start, 0); px < std::min(pen, target->width); ++px) {
        if (m.font.underline) put(px, baseline + 1, ink);
        if (m.font.strikeOut) put(px, baseline - m.ascent / 3, ink);
      }
    }
  }
  return CSize{pen - x, cell};
}

CSize TextPainter::TextOut(Bitmap& target, int x, int y, std::string_view text) {
  return Run(&target, x, y, plat::Cp932ToWide(text), nullptr, 0);
}

CSize TextPainter::TabbedTextOut(Bitmap& target, int x, int y, std::string_view text, const std::vector<int>& stops,
                                 int origin) {
  return Run(&target, x, y, plat::Cp932ToWide(text), &stops, origin);
}

CSize TextPainter::DrawTextCentered(Bitmap& target, const CRect& rect, std::string_view text) {
  const std::u16string wide = plat::Cp932ToWide(text);
  const CSize size = Run(nullptr, 0, 0, wide, nullptr, 0);
  const int x = rect.left + (rect.right - rect.left - size.cx) / 2;
  const int y = rect.top + (rect.bottom - rect.top - size.cy) / 2;
  return Run(&target, x, y, wide, nullptr, 0);
}

CSize TextPainter::GetTextExtentPoint32(std::string_view text, const std::vector<int>* stops, int origin) {
  return Run(nullptr, 0, 0, plat::Cp932ToWide(text), stops, origin);
}

CSize TextPainter::TextOutWide(Bitmap& target, int x, int y, std::u16string_view text) {
  return Run(&target, x, y, text, nullptr, 0);
}

CSize TextPainter::GetTextExtentWide(std::u16string_view text) { return Run(nullptr, 0, 0, text, nullptr, 0); }

int TextPainter::Ascent() const { return impl_->face ? impl_->ascent : 0; }

}  // namespace plat
