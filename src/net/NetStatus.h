// Status texts of the internet operations: pane 0 of the status bar; and the one
// status an address returns to whoever asked for it.
#pragma once

#include <string>
#include <utility>

// How an address went.
enum class NetCode : int {
  kShown = 0,
  kNotInHistory = -1,  // an "adrs://" address outside the history: nothing was opened
  kNotShown = -2,      // the pane or the program's own fetch did not show it
};

// What an address came to, up to the statement that asked for it: its code, and
// for an address not shown the reason (CP932; "" while the one that asked has yet
// to name it).
struct NetStatus {
  NetCode code = NetCode::kShown;
  std::string reason;

  bool Shown() const { return code == NetCode::kShown; }
  static NetStatus NotShown(std::string why) { return {NetCode::kNotShown, std::move(why)}; }
};

#include "base/StringIds.h"

void ShowNetStatus(const std::string& text);
void ShowNetStatus(int stringId);
// String 227, 230 or 231 with its values filled in.
std::string NetStatusText(int stringId, const std::string& first, const std::string& second);
std::string NetStatusText(int stringId, int number);
// Why a page answered 401 did not come: the server asked for a login (CP932).
std::string LoginAskedText();
