// What the player and the recorder use of the host: the frame's media devices set
// to the document's audio device and work folder, command strings with their reply
// buffers, error texts, and the local time of the program clock.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

#include "platform/mci/Mci.h"

class CQelDoc;

// The devices, or nullptr when there is no frame.
plat::MciHost* MediaHost(CQelDoc& doc);
// Sends a command string; the reply (when asked for) is read into replyLength bytes.
plat::MCIERROR SendMci(CQelDoc& doc, std::string_view command, std::string* reply = nullptr, unsigned replyLength = 1000000);
// mciGetErrorString's text into a buffer of length bytes (CP932).
std::string MciErrorText(plat::MCIERROR error, unsigned length);
// The local date and time now: the "clock" setting plus the program clock, else the real time.
std::tm ProgramLocalTime(const CQelDoc& doc);
// A UTF-8 text of the player as CP932.
std::string Sjis(std::string_view utf8);
// A file named in a message as the user wrote it: its host path (CP932).
std::string UserFileName(const std::string& name);
