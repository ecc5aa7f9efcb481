// The image view's drawing-tool command rows: figure, pattern, line and point
// tools, block fill, fill, frame, text and the clearing of the set colours.
#pragma once

#include <string>

#include "frame/CommandTable.h"

CommandRows DrawingToolCommands();

// Replaces every `from` that starts on a character of the Shift-JIS text (never
// one that begins on the trail byte of a double-byte character).
std::string ReplaceSjis(const std::string& text, const std::string& from, const std::string& to);
