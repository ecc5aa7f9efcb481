#include "convert/markup/MarkupEntities.h"

#include "base/AsciiCase.h"

namespace {

// In the order they are tried: the first prefix that matches wins, so "#91" is a TAB
// and "#160" is the bullet of "#16".
constexpr MarkupEntity kEntities[] = {
    {"quot", "'", ""},
    {"reg", "[R]", ""},
    {"gt", ">", ""},
    {"lt", "<", ""},
    {"copy", "[C]", ""},
    {"amp", "&", ""},
    {"rarr", "->", "\x81\xA8"},
    {"larr", "<-", "\x81\xA9"},
    {"uarr", "^ ", "\x81\xAA"},
    {"darr", "v ", "\x81\xAB"},
    {"nbsp", " ", ""},
    {"emsp", " ", ""},
    {"ensp", " ", ""},
    {"hellip", "**", "\x81\x64"},
    {"#9", "\t", ""},
    {"#149", "* ", "\x81\x45"},
    {"#148", " \"", "\x81\x68"},
    {"#147", "\" ", "\x81\x67"},
    {"#146", " '", "\x81\x66"},
    {"#145", "' ", "\x81\x65"},
    {"#14", "* ", "\x81\x45"},
    {"#18", "* ", "\x81\x45"},
    {"#16", "* ", "\x81\x45"},
};

}  // namespace

const MarkupEntity* FindMarkupEntity(std::string_view text, bool withEnsp) {
  for (const auto& entity : kEntities) {
    if (!withEnsp && entity.name == "ensp") continue;
    if (StartsWithNoCase(text, entity.name)) return &entity;
  }
  return nullptr;
}
