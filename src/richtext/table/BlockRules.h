// Vertical rules over a block of rows: '3' and '4' with a block put a 1-point rule
// slot at the block's left or right column in every text line of the block.
#pragma once

#include "platform/richedit/RichEdit.h"

namespace table {

struct BlockLines {
  int first = 0;  // the block's first line
  int last = 0;   // the line after the block's last
};

// The block [first, last) widened by the rule line directly above it and the one
// directly below it, when there are such lines.
BlockLines WidenBlockByRules(const plat::RichEdit& edit, int first, int last);

// Works the text lines of [first, last) at `distance` twips from each line's start:
// the character under the distance gets a rule slot before it, or, when it is a slot
// itself, the slot pair steps single, double, none. Returns the lines changed.
int SetBlockRule(plat::RichEdit& edit, int first, int last, int distance, COLORREF background);

}  // namespace table
