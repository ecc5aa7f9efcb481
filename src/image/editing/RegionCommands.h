// The image region's command rows. Its keys (Ctrl+C copy, Ctrl+X cut, Ctrl+E crop,
// Ctrl+V paste, Ctrl+L paste from a file, Ctrl+S save, Ctrl+D clear, Ctrl+U and Esc
// restore, Ctrl+A fill, Ctrl+R frame, Ctrl+T text) are CQelView::OnImageEditKey.
#pragma once

#include "frame/CommandTable.h"

class CQelView;

CommandRows RegionCommands();
// True, and said in a box, when the region marked lies wholly outside the picture,
// so that a command that would act on it has nothing to act on.
bool RegionOutsidePicture(CQelView& view);
