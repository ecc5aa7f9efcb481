// The internet subsystem's command rows (see frame/CommandTable.h): the browser
// pane's, and the file list's FTP commands.
#pragma once

#include "frame/CommandTable.h"

CommandRows NetCommands();
CommandRows FtpListCommands();
