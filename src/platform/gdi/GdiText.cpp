#include "platform/gdi/GdiText.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_map>

#include "base/AsciiCase.h"
#include "platform/gdi/FontLibrary.h"
#include "platform/os/SharedLibrary.h"
#include "platform/text/CodePage.h"

namespace plat {

namespace {

constexpr const char* kFallbackFamily = "IPAGothic";
// Rendered glyphs kept before the cache starts again; faces and lookups kept.
constexpr size_t kGlyphBudgetBytes = size_t{64} << 20;
constexpr size_t kMaxFaces = 16;
constexpr size_t kMaxLookups = 1024;
constexpr double kPi = 3.14159265358979323846;

// A family name as fontconfig compares it: case and blanks ignored, so "DejaVuSans"
// (as metafiles written by some programs carry it) names "DejaVu Sans".
std::string FamilyKey(std::string_view s) {
  std::string key;
  for (char c : s) {
    if (c != ' ') key += AsciiLower(c);
  }
  return key;
}

// The font file fontconfig gives for a family (of the weight and slant asked for,
// when the family has such a face); "" when fontconfig falls back to another family.
std::string FindFontFile(const FontFunctions& f, FcConfig* config, const std::string& family, bool bold, bool italic) {
  std::string out;
  if (!config || family.empty()) return out;
  FcPattern* pattern = f.FcPatternCreate();
  f.FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const unsigned char*>(family.c_str()));
  if (bold) f.FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_BOLD);
  if (italic) f.FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ITALIC);
  f.FcConfigSubstitute(config, pattern, FcMatchPattern);
  f.FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = f.FcFontMatch(config, pattern, &result);
  if (match) {
    bool same = false;
    FcChar8* name = nullptr;
    for (int i = 0; f.FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
      if (FamilyKey(reinterpret_cast<const char*>(name)) == FamilyKey(family)) same = true;
    }
    FcChar8* file = nullptr;
    if (same && f.FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
      out = reinterpret_cast<const char*>(file);
    }
    f.FcPatternDestroy(match);
  }
  f.FcPatternDestroy(pattern);
  return out;
}

// The stretch [from, to) of the line (x, y) + (ux, uy) s, s in [0, length), that
// lies within a pixel of the bitmap; false when none does.
bool LineInside(double x, double y, double ux, double uy, double length, const Bitmap& b, double& from, double& to) {
  from = 0, to = length;
  for (const auto& [p, q] : {std::pair{-ux, x + 1}, std::pair{ux, b.width + 1 - x}, std::pair{-uy, y + 1},
                            std::pair{uy, b.height + 1 - y}}) {
    if (p == 0) {
      if (q < 0) return false;
      continue;
    }
    if (p < 0) {
      from = std::max(from, q / p);
    } else {
      to = std::min(to, q / p);
    }
  }
  return from < to;
}

// One glyph of a font at a size and angle: its advance (26.6 pixels, turned with the
// glyph) and, once drawn, its 1-bit rows.
struct Glyph {
  FT_Vector advance{};
  bool loaded = false, rendered = false;
  int left = 0, top = 0, width = 0, rows = 0, pitch = 0;
  std::vector<uint8_t> bits;
};

}  // namespace

struct TextPainter::Impl {
  // A selected font: its face, size request, metrics and the glyphs drawn with it.
  struct Font {
    FT_Face face = nullptr;
    FT_Size_RequestRec request{};
    bool bold = false, italic = false;  // drawn by widening and slanting
    bool askedFor = false;
    int ascent = 0, cell = 0;
    LogFont logFont;
    std::unordered_map<uint64_t, Glyph> glyphs;  // key: angle in tenths of a degree << 32 | glyph index
  };

  const FontFunctions* f = nullptr;  // nullptr: the libraries could not be loaded, no text is drawn
  FT_Library library = nullptr;
  FcConfig* config = nullptr;
  // Family, bold and italic -> the file and whether it is that family's.
  std::map<std::string, std::pair<std::string, bool>> lookups;
  std::map<std::string, FT_Face> faces;       // file -> face
  std::map<FT_Face, const Font*> sizedFor;    // the font whose size each face has now
  std::map<std::string, Font> fonts;          // file and size -> font
  Font* font = nullptr;
  size_t glyphBytes = 0;

  ~Impl() {
    for (auto& [file, face] : faces) f->FT_Done_Face(face);
    if (library) f->FT_Done_FreeType(library);
    if (config) f->FcConfigDestroy(config);
  }
  void DropFaces() {
    fonts.clear();
    sizedFor.clear();
    font = nullptr;
    glyphBytes = 0;
    for (auto& [file, face] : faces) f->FT_Done_Face(face);
    faces.clear();
  }
  // The glyph at an angle, loaded (and rendered when draw is set); nullptr when the
  // face has none.
  const Glyph* Load(uint32_t index, int angleTenths, bool draw);
};

const Glyph* TextPainter::Impl::Load(uint32_t index, int angleTenths, bool draw) {
  Font& ft = *font;
  Glyph& g = ft.glyphs[uint64_t{static_cast<uint32_t>(angleTenths)} << 32 | index];
  if (g.rendered || (!draw && g.loaded)) return &g;
  if (sizedFor[ft.face] != &ft) {
    if (f->FT_Request_Size(ft.face, &ft.request) != 0) return nullptr;
    sizedFor[ft.face] = &ft;
  }
  // Slant, then turn: 16.16 fixed point, y up as FreeType has it.
  const double a = angleTenths * kPi / 1800, c = std::cos(a), s = std::sin(a), k = ft.italic ? 0x3333 / 65536.0 : 0;
  const auto fixed = [](double v) { return static_cast<FT_Fixed>(std::lround(v * 65536)); };
  FT_Matrix m{fixed(c), fixed(c * k - s), fixed(s), fixed(s * k + c)};
  if (angleTenths == 0) m = FT_Matrix{0x10000, ft.italic ? 0x3333 : 0, 0, 0x10000};
  f->FT_Set_Transform(ft.face, &m, nullptr);
  if (f->FT_Load_Glyph(ft.face, index, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_MONO) != 0) return nullptr;
  FT_GlyphSlot slot = ft.face->glyph;
  if (ft.bold && slot->format == FT_GLYPH_FORMAT_OUTLINE) f->FT_Outline_Embolden(&slot->outline, 1 << 6);
  g.advance = slot->advance;
  g.loaded = true;
  if (!draw) return &g;
  g.rendered = true;
  if (f->FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0 || slot->bitmap.pixel_mode != FT_PIXEL_MODE_MONO) return &g;
  const FT_Bitmap& bm = slot->bitmap;
  g.left = slot->bitmap_left, g.top = slot->bitmap_top;
  g.width = static_cast<int>(bm.width), g.rows = static_cast<int>(bm.rows), g.pitch = std::abs(bm.pitch);
  g.bits.resize(static_cast<size_t>(g.pitch) * static_cast<size_t>(g.rows));
  for (int row = 0; row < g.rows; ++row) {
    std::copy_n(bm.buffer + static_cast<ptrdiff_t>(row) * bm.pitch, g.pitch,
                g.bits.begin() + static_cast<ptrdiff_t>(row) * g.pitch);
  }
  glyphBytes += g.bits.size() + sizeof(Glyph);
  return &g;
}

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
  m.font = nullptr;
  if (!m.f || !m.library) return false;
  const FontFunctions& f = *m.f;
  const bool bold = font.weight >= 600;
  const std::string family = plat::Cp932ToUtf8(font.faceName);
  const std::string lookup = family + '\n' + (bold ? 'b' : '-') + (font.italic ? 'i' : '-');
  if (m.lookups.size() > kMaxLookups) m.lookups.clear();
  auto found = m.lookups.find(lookup);
  if (found == m.lookups.end()) {
    std::string asked = FindFontFile(f, m.config, family, bold, font.italic);
    const bool same = !asked.empty();
    if (!same) asked = FindFontFile(f, m.config, kFallbackFamily, bold, font.italic);
    found = m.lookups.emplace(lookup, std::pair{asked, same}).first;
  }
  const auto& [file, askedFor] = found->second;
  if (file.empty()) return false;

  const std::string key = file + '\n' + std::to_string(font.height) + (font.emHeight ? 'e' : 'c') +
                          (bold ? 'b' : '-') + (font.italic ? 'i' : '-');
  if (auto known = m.fonts.find(key); known != m.fonts.end()) {
    m.font = &known->second;
    m.font->askedFor = askedFor;
    m.font->logFont = font;
    return true;
  }
  if (!m.faces.contains(file) && m.faces.size() >= kMaxFaces) m.DropFaces();
  auto face = m.faces.find(file);
  if (face == m.faces.end()) {
    FT_Face opened = nullptr;
    if (f.FT_New_Face(m.library, file.c_str(), 0, &opened) != 0) return false;
    face = m.faces.emplace(file, opened).first;
  }
  Impl::Font made;
  made.face = face->second;
  made.request.type = font.emHeight ? FT_SIZE_REQUEST_TYPE_NOMINAL : FT_SIZE_REQUEST_TYPE_CELL;
  made.request.height = static_cast<FT_Long>(font.height) * 64;
  if (f.FT_Request_Size(made.face, &made.request) != 0) return false;
  const FT_Size_Metrics& metrics = made.face->size->metrics;
  made.ascent = static_cast<int>((metrics.ascender + 63) / 64);
  made.cell = font.emHeight ? std::clamp(static_cast<int>((metrics.ascender - metrics.descender + 63) / 64), 1,
                                         2 * kMaxFontHeight)
                            : font.height;
  // A face that is bold or slanted itself is not widened or slanted again.
  made.bold = bold && (made.face->style_flags & FT_STYLE_FLAG_BOLD) == 0;
  made.italic = font.italic && (made.face->style_flags & FT_STYLE_FLAG_ITALIC) == 0;
  made.askedFor = askedFor;
  made.logFont = font;
  m.font = &m.fonts.emplace(key, std::move(made)).first->second;
  m.sizedFor[m.font->face] = m.font;
  return true;
}

bool TextPainter::FaceIsAskedFor() const { return impl_->font && impl_->font->askedFor; }

double TextPainter::Draw(Bitmap* target, const TextRun& run, std::u16string_view codes, const std::vector<int>* stops,
                         int origin) {
  Impl& m = *impl_;
  if (!m.font) return 0;
  if (m.glyphBytes > kGlyphBudgetBytes) {
    for (auto& [key, font] : m.fonts) font.glyphs.clear();
    m.glyphBytes = 0;
  }
  const Impl::Font& font = *m.font;
  const LogFont& lf = font.logFont;
  // The angle in tenths of a degree, in [0, 3600); none is the upright road of the text layer.
  const double degrees = std::isfinite(run.angle) ? run.angle * 180 / kPi : 0;
  int tenths = static_cast<int>(std::lround(std::fmod(degrees, 360.0) * 10));
  if (tenths < 0) tenths += 3600;
  if (tenths == 3600) tenths = 0;
  const double a = tenths * kPi / 1800;
  const double ux = std::cos(a), uy = -std::sin(a);  // along the baseline, on the bitmap
  const double dx = -uy, dy = ux;                   // towards the glyphs' feet
  const int cell = font.cell, ascent = font.ascent;
  const uint32_t ink = PixelOfColor(color_), paper = PixelOfColor(bk_);
  const auto put = [&](int px, int py, uint32_t pixel) {
    if (px < 0 || py < 0 || px >= target->width || py >= target->height) return;
    if (clip_ && !clip_->Contains(px, py)) return;
    target->Row(py)[px] = pixel;
  };
  // A quadrilateral of the cell from s to s + length along the baseline.
  const auto fillCell = [&](double ox, double oy, double length) {
    const auto at = [&](double along, double down) {
      return CPoint{static_cast<int>(std::lround(ox + ux * along + dx * down)),
                    static_cast<int>(std::lround(oy + uy * along + dy * down))};
    };
    ScanPolygon({{at(0, -ascent), at(length, -ascent), at(length, cell - ascent), at(0, cell - ascent)}}, ALTERNATE,
                target->width, target->height, [&](int y, int from, int to) {
                  for (int x = from; x <= to; ++x) put(x, y, paper);
                });
  };
  double pen = 0;  // along the baseline from the run's origin
  for (size_t i = 0; i < codes.size(); ++i) {
    const char16_t ch = codes[i];
    const double start = pen;
    const bool spaced = i < run.advances.size();
    if (!run.glyphIndices && ch < 0x20 && ch != u'\t') {
      if (spaced) pen += run.advances[i];
      continue;
    }
    const double ox = tenths == 0 ? std::floor(run.x + pen + 0.5) : run.x + ux * pen;
    const double oy = tenths == 0 ? std::floor(run.y + 0.5) : run.y + uy * pen;
    int advance = 0;
    if (ch == u'\t' && stops && !run.glyphIndices) {
      int next = static_cast<int>(run.x + pen) + 1;
      for (const int stop : *stops) {
        if (origin + stop > run.x + pen) {
          next = origin + stop;
          break;
        }
      }
      pen = next - run.x;
    } else {
      const uint32_t index = run.glyphIndices ? ch : m.f->FT_Get_Char_Index(font.face, ch);
      const Glyph* g = m.Load(index, tenths, false);
      if (!g) {
        if (spaced) pen += run.advances[i];
        continue;
      }
      const long own = tenths == 0 ? (g->advance.x + 32) >> 6 : std::lround(std::hypot(g->advance.x, g->advance.y) / 64);
      advance = static_cast<int>(own) + (font.bold ? 1 : 0);
      // Only a glyph whose cell meets the bitmap is painted (a huge font costs no more).
      const double reach = advance + cell;
      const bool visible = target && ox + reach > 0 && ox - reach < target->width && oy + reach > 0 &&
                           oy - reach < target->height;
      if (visible && bkMode_ == OPAQUE) {
        if (tenths == 0) {
          const int top = static_cast<int>(oy) - ascent, left = static_cast<int>(ox);
          for (int py = std::max(top, 0); py < std::min(top + cell, target->height); ++py) {
            for (int px = std::max(left, 0); px < std::min(left + advance, target->width); ++px) put(px, py, paper);
          }
        } else {
          fillCell(ox, oy, advance);
        }
      }
      if (visible && (g = m.Load(index, tenths, true)) != nullptr) {
        // The glyph's rows and columns on the bitmap; empty bytes are passed whole.
        const int left = static_cast<int>(std::lround(ox)) + g->left, top = static_cast<int>(std::lround(oy)) - g->top;
        const int rowTo = std::min(g->rows, target->height - top), colTo = std::min(g->width, target->width - left);
        for (int row = std::max(0, -top); row < rowTo; ++row) {
          const uint8_t* bits = g->bits.data() + static_cast<ptrdiff_t>(row) * g->pitch;
          uint32_t* out = target->Row(top + row);
          for (int col = std::max(0, -left); col < colTo; ++col) {
            const uint8_t byte = bits[col >> 3];
            if (byte == 0) {
              col |= 7;
            } else if ((byte >> (7 - (col & 7)) & 1) != 0 && (!clip_ || clip_->Contains(left + col, top + row))) {
              out[left + col] = ink;
            }
          }
        }
      }
      pen += spaced ? run.advances[i] : advance;
    }
    if (!target) continue;
    const double length = tenths == 0 ? std::floor(run.x + pen + 0.5) - ox : std::max(pen - start, 0.0);
    for (const auto& [on, down] : {std::pair{lf.underline, 1}, std::pair{lf.strikeOut, -(ascent / 3)}}) {
      double from = 0, to = 0;
      if (!on || !LineInside(ox + dx * down, oy + dy * down, ux, uy, length, *target, from, to)) continue;
      for (double s = std::ceil(from); s < to; ++s) {
        put(static_cast<int>(std::lround(ox + ux * s + dx * down)),
            static_cast<int>(std::lround(oy + uy * s + dy * down)), ink);
      }
    }
  }
  return pen;
}

CSize TextPainter::Run(Bitmap* target, int x, int y, std::u16string_view text, const std::vector<int>* stops,
                       int origin) {
  if (!impl_->font) return CSize{};
  const TextRun run{double{1} * x, double{1} * (y + impl_->font->ascent), 0, {}, false};
  return CSize{static_cast<int>(std::lround(Draw(target, run, text, stops, origin))), impl_->font->cell};
}

double TextPainter::DrawRun(Bitmap* target, const TextRun& run, std::u16string_view codes) {
  return Draw(target, run, codes, nullptr, 0);
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

int TextPainter::Ascent() const { return impl_->font ? impl_->font->ascent : 0; }

int TextPainter::CellHeight() const { return impl_->font ? impl_->font->cell : 0; }

}  // namespace plat
