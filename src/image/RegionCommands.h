// The image region's command rows, and its keys: Ctrl+C copy, Ctrl+X cut, Ctrl+E
// crop, Ctrl+V paste, Ctrl+L paste from a file, Ctrl+S save, Ctrl+D clear, Ctrl+U
// and Esc restore, Ctrl+A fill, Ctrl+R frame, Ctrl+T text.
#pragma once

#include "frame/CommandTable.h"

class CQelView;

CommandRows RegionCommands();
// True when the key was the image editor's (the view shows an image).
bool OnImageEditKey(CQelView& view, int key);
