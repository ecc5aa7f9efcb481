// The media commands of the text pane (see frame/CommandTable.h): play/stop, pause,
// rewind, fast forward, repeat marks and repeat play, recording, and the pane's zoom
// commands, which are the volume or the video zoom in media kinds.
#pragma once

#include "frame/CommandTable.h"

CommandRows MediaCommands();
