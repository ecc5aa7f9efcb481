// The home page and the update information: the notice cut from the maker's index
// page, and the commands that show them.
#pragma once

#include <string>

#include "frame/CommandTable.h"

// The update notice in a fetched index page: after its first 14 bytes, up to 8,000
// bytes are collected, ending after "-->"; with 500 to 7,999 of them, the text
// before "@@" is the notice and the bytes from two characters after "@@" up to the
// closing "-->" its page. False (no notice) for fewer or more bytes, for no "@@",
// or for an "@@" so near the end that no page follows it.
bool ReadUpdateNotice(const std::string& page, std::string* notice, std::string* body);

// The document's rows: 32880 the internet command (home page on and off) with its
// check mark, 33012 the update information.
CommandRows HomePageCommands();
