// A canonical text of the rich-text control's paragraphs, for scripts and tests: one
// line per paragraph with its class (text or rule: a rule line holds only 1-point
// runs), its line spacing, its tab stops and its cells (the runs between Tabs) with
// the rule slot and the format of each cell's text.
#pragma once

#include <string>

#include "platform/richedit/RichEdit.h"

std::string DumpTableParagraphs(const plat::RichEdit& edit);
