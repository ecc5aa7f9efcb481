// The image subsystem's command rows (see frame/CommandTable.h): the document's
// image save and display-conversion settings commands.
#pragma once

#include "frame/CommandTable.h"

CommandRows ImageCommands();
