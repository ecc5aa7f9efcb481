// The image subsystem's command rows (see frame/CommandTable.h): the document's
// image save and display-conversion settings commands, and the file list's batch
// conversion handler.
#pragma once

#include "frame/CommandTable.h"

CommandRows ImageCommands();

// The file list's batch conversion: the selected files (or the current one) are
// converted to the format whose extension the user gives, beside their sources.
int OnListBatchConvert(CommandContext& cx);
