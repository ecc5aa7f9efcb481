// The file list's archive commands (see frame/CommandTable.h).
#pragma once

#include "frame/CommandTable.h"

CommandRows ArchiveCommands();
