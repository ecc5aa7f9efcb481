// The frame's command rows, with File > Open of the document (see frame/CommandTable.h).
#pragma once

#include "frame/CommandTable.h"

CommandRows FrameCommands();
