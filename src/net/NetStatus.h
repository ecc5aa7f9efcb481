// Status texts of the internet operations: pane 0 of the status bar.
#pragma once

#include <string>

enum : int {
  IDS_FTP_FETCHING = 217,
  IDS_NET_INITIALIZING = 224,
  IDS_NET_CONNECTING = 225,
  IDS_NET_CANNOT_CONNECT = 226,
  IDS_NET_WAITING = 227,
  IDS_NET_NO_ANSWER = 228,
  IDS_NET_NO_PAGE = 229,
  IDS_NET_READING_FROM = 230,
  IDS_NET_READING_KB = 231,
  IDS_NET_READ_INCOMPLETE = 232,
  IDS_NET_TIME_OVER = 233,
  IDS_NET_NO_DATA = 234,
  IDS_NET_PARTIAL = 235,
  IDS_NET_SAVE_FILTER = 236,
};

void ShowNetStatus(const std::string& text);
void ShowNetStatus(int stringId);
// String 227, 230 or 231 with its values filled in.
std::string NetStatusText(int stringId, const std::string& first, const std::string& second);
std::string NetStatusText(int stringId, int number);
// Why a page answered 401 did not come: the server asked for a login (CP932).
std::string LoginAskedText();
