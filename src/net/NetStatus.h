// Status texts of the internet operations: pane 0 of the status bar.
#pragma once

#include <string>

#include "base/StringIds.h"

void ShowNetStatus(const std::string& text);
void ShowNetStatus(int stringId);
// String 227, 230 or 231 with its values filled in.
std::string NetStatusText(int stringId, const std::string& first, const std::string& second);
std::string NetStatusText(int stringId, int number);
// Why a page answered 401 did not come: the server asked for a login (CP932).
std::string LoginAskedText();
