// Key names of scripts: "A", "7", "Esc", "Enter", "Up", "F5", "PageDown", with
// "Ctrl+", "Shift+" and "Alt+" before them ("Ctrl+P", "Shift+Tab"); any case.
#pragma once

#include <optional>
#include <string_view>

// The key-queue code of a name (platform/ui/Keys.h), or nullopt for an unknown name.
std::optional<int> ParseKeyName(std::string_view name);
// The character a key types into text (a letter, lower case without Shift, a digit,
// a blank), or 0 when it types none.
char CharOfKey(int key);
// The key names a script may use, for the help text.
const char* KeyNamesHelp();
