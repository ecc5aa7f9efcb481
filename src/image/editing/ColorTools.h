// The image view's colour commands: source, target, text and background colours
// through the colour dialog, and the colour replacement switch.
#pragma once

#include "frame/CommandTable.h"

CommandRows ColorToolCommands();
