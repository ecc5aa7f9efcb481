// Character and line formatting of the rich-text selection: effect toggles, text and
// background colours, raised and lowered characters, wider and narrower lines.
#pragma once

#include "frame/CommandTable.h"

class CQelView;

CommandRows FormatCommands();
// Effect 0 clears bold, italic, underline and strike-out; 1 bold, 2 underline (none,
// single, dotted), 3 italic, 4 strike-out toggle; 5 adds bold and underline, 6 bold
// and italic. Only with a selection; -1 without one.
int ToggleCharEffect(CQelView& view, int effect);
// Mode 1 wider, 2 narrower; value 0 one step, above 0 the spacing in twips.
int ChangeLineSpacing(CQelView& view, int mode, int value);
