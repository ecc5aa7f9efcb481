// The text pane's edit commands on its rich or plain text: copy, cut, paste and undo.
#pragma once

#include "frame/CommandTable.h"

CommandRows RichTextCommands();
