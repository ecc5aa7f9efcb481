#include "cli/KeyNames.h"

#include <string>

#include "base/AsciiCase.h"
#include "platform/ui/Keys.h"
#include "platform/ui/Ui.h"

namespace {

struct NamedKey {
  const char* name;
  int code;
};

constexpr NamedKey kNames[] = {
    {"esc", plat::VK_ESCAPE},    {"escape", plat::VK_ESCAPE}, {"enter", plat::VK_RETURN},  {"return", plat::VK_RETURN},
    {"tab", plat::VK_TAB},       {"space", plat::VK_SPACE},   {"backspace", plat::VK_BACK}, {"delete", plat::VK_DELETE},
    {"del", plat::VK_DELETE},    {"insert", plat::VK_INSERT}, {"ins", plat::VK_INSERT},    {"home", plat::VK_HOME},
    {"end", plat::VK_END},       {"pageup", plat::VK_PRIOR},  {"pgup", plat::VK_PRIOR},    {"pagedown", plat::VK_NEXT},
    {"pgdn", plat::VK_NEXT},     {"up", plat::VK_UP},         {"down", plat::VK_DOWN},     {"left", plat::VK_LEFT},
    {"right", plat::VK_RIGHT},
};

// The signs of the comma and period keys: the sign and the key that gives it.
struct SignKey {
  char sign;
  int key;
};
constexpr SignKey kSigns[] = {
    {',', plat::VK_OEM_COMMA},
    {'.', plat::VK_OEM_PERIOD},
    {'<', plat::VK_OEM_COMMA | plat::KEY_SHIFT},
    {'>', plat::VK_OEM_PERIOD | plat::KEY_SHIFT},
};

std::optional<int> BaseKey(std::string_view name) {
  if (name.size() == 1) {
    const char c = name[0];
    if (IsAsciiLower(static_cast<unsigned char>(c))) return AsciiUpper(c);
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return c;
    for (const SignKey& s : kSigns) {
      if (c == s.sign) return s.key;
    }
    return std::nullopt;
  }
  const std::string lower = AsciiLowerCopy(name);
  for (const NamedKey& k : kNames) {
    if (lower == k.name) return k.code;
  }
  if (lower.size() >= 2 && lower.size() <= 3 && lower[0] == 'f') {
    int n = 0;
    for (size_t i = 1; i < lower.size(); ++i) {
      if (lower[i] < '0' || lower[i] > '9') return std::nullopt;
      n = n * 10 + (lower[i] - '0');
    }
    if (n >= 1 && n <= 12) return plat::VK_F1 + n - 1;
  }
  return std::nullopt;
}

}  // namespace

std::optional<int> ParseKeyName(std::string_view name) {
  int modifiers = 0;
  for (;;) {
    const size_t plus = name.find('+');
    if (plus == std::string_view::npos || plus == 0 || plus + 1 == name.size()) break;
    const std::string modifier = AsciiLowerCopy(name.substr(0, plus));
    const int bit = modifier == "ctrl" ? plat::KEY_CTRL : modifier == "shift" ? plat::KEY_SHIFT
                    : modifier == "alt"  ? plat::KEY_ALT : 0;
    if (bit == 0 || (modifiers & bit)) return std::nullopt;
    modifiers |= bit;
    name.remove_prefix(plus + 1);
  }
  const auto key = BaseKey(name);
  if (!key || (modifiers & *key)) return std::nullopt;
  return *key | modifiers;
}

char CharOfKey(int key) {
  if (plat::KeyHasCtrl(key) || plat::KeyHasAlt(key)) return 0;
  const int code = plat::KeyCode(key);
  if (code >= 'A' && code <= 'Z') return static_cast<char>(plat::KeyHasShift(key) ? code : code - 'A' + 'a');
  if (code >= '0' && code <= '9' && !plat::KeyHasShift(key)) return static_cast<char>(code);
  if (code == plat::VK_SPACE) return ' ';
  for (const SignKey& s : kSigns) {
    if (key == s.key) return s.sign;
  }
  return 0;
}

const char* KeyNamesHelp() {
  return "A-Z 0-9 , . < > Esc Enter Tab Space Backspace Delete Insert Home End PageUp PageDown\n"
         "Up Down Left Right F1-F12, with Ctrl+ Shift+ Alt+ before them";
}
