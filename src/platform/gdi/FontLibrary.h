// FreeType and fontconfig, opened on first use: the functions the text layer calls.
// A start that draws no text loads neither (nor their own libraries: PNG, zlib,
// Brotli, expat), which is most of the dynamic loader's work at every start.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include <fontconfig/fontconfig.h>

#include <string>

namespace plat {

struct FontFunctions {
  decltype(&::FT_Init_FreeType) FT_Init_FreeType;
  decltype(&::FT_Done_FreeType) FT_Done_FreeType;
  decltype(&::FT_New_Face) FT_New_Face;
  decltype(&::FT_Done_Face) FT_Done_Face;
  decltype(&::FT_Request_Size) FT_Request_Size;
  decltype(&::FT_Set_Transform) FT_Set_Transform;
  decltype(&::FT_Get_Char_Index) FT_Get_Char_Index;
  decltype(&::FT_Load_Glyph) FT_Load_Glyph;
  decltype(&::FT_Outline_Embolden) FT_Outline_Embolden;
  decltype(&::FT_Render_Glyph) FT_Render_Glyph;
  decltype(&::FcInitLoadConfigAndFonts) FcInitLoadConfigAndFonts;
  decltype(&::FcConfigDestroy) FcConfigDestroy;
  decltype(&::FcPatternCreate) FcPatternCreate;
  decltype(&::FcPatternAddString) FcPatternAddString;
  decltype(&::FcPatternAddInteger) FcPatternAddInteger;
  decltype(&::FcConfigSubstitute) FcConfigSubstitute;
  decltype(&::FcDefaultSubstitute) FcDefaultSubstitute;
  decltype(&::FcFontMatch) FcFontMatch;
  decltype(&::FcPatternGetString) FcPatternGetString;
  decltype(&::FcPatternDestroy) FcPatternDestroy;
};

// The table, loaded on the first call; nullptr when FreeType, fontconfig or one of
// their functions is missing, with the system's text in *why.
const FontFunctions* Fonts(std::string* why = nullptr);

}  // namespace plat
