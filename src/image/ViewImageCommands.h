// The image view's command rows (see frame/CommandTable.h): display filters, the
// conversion settings, zoom, rotation, fit and the saves of what is shown.
#pragma once

#include "frame/CommandTable.h"

CommandRows ViewImageCommands();
// The image-conversion settings dialog on the view's settings, then the re-render
// (of the region alone when it has edits); the region menu runs it too.
int OnImageConvertSettings(CommandContext& cx);
