// The internet subsystem's command rows (see frame/CommandTable.h) and the file
// list's FTP command handlers, whose rows filelist/ListCommands.cpp holds.
#pragma once

#include "frame/CommandTable.h"

CommandRows NetCommands();

// FTP接続: connects to the site of the list's pseudo-drive folder, or to the first
// configured site, and has the lists re-read.
int OnListFtpConnect(CommandContext& cx);
void OnUpdateListFtpConnect(CommandContext& cx, CCmdUI& ui);
// FTP切断: closes the session.
int OnListFtpClose(CommandContext& cx);
void OnUpdateListFtpClose(CommandContext& cx, CCmdUI& ui);
// FTP・ネットワーク設定: the dialog's fields ftp1, ftp2 and ftp3 become the site strings.
int OnListFtpSettings(CommandContext& cx);
