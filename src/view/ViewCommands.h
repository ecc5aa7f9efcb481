// The text pane's command rows (see frame/CommandTable.h).
#pragma once

#include "frame/CommandTable.h"

CommandRows ViewCommands();
