// Every subsystem's command rows, gathered in one list (see frame/CommandTable.h).
#pragma once

#include "frame/CommandTable.h"

CommandTables AllCommandTables();
