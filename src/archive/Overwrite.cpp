#include "archive/Overwrite.h"

#include <cstdio>

#include "app/StringTable.h"
#include "frame/MainFrame.h"

bool AskOverwrite(const std::string& path) {
  char text[1200];
  std::snprintf(text, sizeof text, LoadString(IDS_OVERWRITE_QUESTION).c_str(), path.substr(0, 1000).c_str());
  return AfxMessageBox(text, plat::MB_YESNO) == plat::IDYES;
}
