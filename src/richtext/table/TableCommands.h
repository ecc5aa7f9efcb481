// The table-mode commands of the text pane: rules, rows, columns, table mode, the
// table undo, and the tables made from text.
#pragma once

#include "frame/CommandTable.h"

CommandRows TableCommands();
