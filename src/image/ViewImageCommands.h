// The image view's command rows (see frame/CommandTable.h): display filters, the
// conversion settings, zoom, rotation, fit and the saves of what is shown.
#pragma once

#include "frame/CommandTable.h"

CommandRows ViewImageCommands();
