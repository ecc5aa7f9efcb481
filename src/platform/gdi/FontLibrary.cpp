#include "platform/gdi/FontLibrary.h"

#include "platform/os/SharedLibrary.h"
#include "platform/os/Sonames.h"

namespace plat {

const FontFunctions* Fonts(std::string* why) {
  static const LoadedLibrary<FontFunctions> loaded = [] {
    LoadedLibrary<FontFunctions> l;
    SharedLibrary ft(kFreeTypeSoname);
    SharedLibrary fc(kFontconfigSoname);
    FontFunctions& f = l.functions;
    l.ok = ft.Resolve("FT_Init_FreeType", f.FT_Init_FreeType) && ft.Resolve("FT_Done_FreeType", f.FT_Done_FreeType) &&
           ft.Resolve("FT_New_Face", f.FT_New_Face) && ft.Resolve("FT_Done_Face", f.FT_Done_Face) &&
           ft.Resolve("FT_Request_Size", f.FT_Request_Size) && ft.Resolve("FT_Set_Transform", f.FT_Set_Transform) &&
           ft.Resolve("FT_Get_Char_Index", f.FT_Get_Char_Index) && ft.Resolve("FT_Load_Glyph", f.FT_Load_Glyph) && ft.Resolve("FT_Outline_Embolden", f.FT_Outline_Embolden) &&
           ft.Resolve("FT_Render_Glyph", f.FT_Render_Glyph);
    l.error = ft.Error();
    if (l.ok) {
      l.ok = fc.Resolve("FcInitLoadConfigAndFonts", f.FcInitLoadConfigAndFonts) &&
             fc.Resolve("FcConfigDestroy", f.FcConfigDestroy) && fc.Resolve("FcPatternCreate", f.FcPatternCreate) &&
             fc.Resolve("FcPatternAddString", f.FcPatternAddString) &&
             fc.Resolve("FcPatternAddInteger", f.FcPatternAddInteger) &&
             fc.Resolve("FcConfigSubstitute", f.FcConfigSubstitute) &&
             fc.Resolve("FcDefaultSubstitute", f.FcDefaultSubstitute) && fc.Resolve("FcFontMatch", f.FcFontMatch) &&
             fc.Resolve("FcPatternGetString", f.FcPatternGetString) && fc.Resolve("FcPatternDestroy", f.FcPatternDestroy);
      l.error = fc.Error();
    }
    return l;
  }();
  return loaded.Get(why);
}

}  // namespace plat
