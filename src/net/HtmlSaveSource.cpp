// Saving the shown page's source: its bytes as they came (decoded when they came
// compressed) into a file the user names. Nothing to save, a page cut short, a
// target on an FTP pseudo-drive and an existing file the user does not let go are
// refused with their reason; the file is written beside itself and renamed into
// place only when whole, so that a failed save leaves an earlier file as it was.
#include <cstdio>

#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "frame/Dialogs.h"
#include "frame/MainFrame.h"
#include "net/NetStatus.h"
#include "net/QelHtmlView.h"
#include "platform/os/Files.h"
#include "platform/text/CodePage.h"

namespace {

// The name the dialog offers: the last part of the location, without its scheme.
std::string OfferedName(std::string location) {
  const size_t scheme = location.find("://");
  if (scheme != std::string::npos) location.erase(0, scheme + 3);
  while (!location.empty() && location.back() == '/') location.pop_back();
  const size_t slash = location.rfind('/');
  if (slash != std::string::npos) location.erase(0, slash + 1);
  return location;
}

}  // namespace

int CQelHtmlView::OnSaveSourceAs() {
  if (PageBytes().empty()) {
    AfxMessageBox(LoadString(IDS_NET_NO_DATA) + (failure_.empty() ? "" : "\n" + failure_));
    return -1;
  }
  if (PageCut()) {
    AfxMessageBox(LoadString(IDS_NET_READ_INCOMPLETE) + LoadString(IDS_SHOWN_IN_PART));
    return -1;
  }
  CFileDialog dialog(false, OfferedName(GetLocationURL()));
  if (dialog.DoModal() != plat::IDOK || dialog.GetPathName().empty()) return -1;
  const std::string path = dialog.GetPathName();
  if (!ConfirmOverwrite(path)) return -1;
  const auto old = plat::Stat(path);
  if (old && (old->isDirectory || old->readOnly)) {
    char text[1200];
    std::snprintf(text, sizeof text, LoadString(IDS_CANNOT_USE).c_str(), path.substr(0, 1000).c_str());
    AfxMessageBox(text);
    return -1;
  }
  // The page shown is saved, never a work file a later fetch may have left half written;
  // a file replaced keeps its permissions.
  std::string why;
  if (!plat::ReplaceWholeFile(path, PageBytes(), plat::kKeepPermissions, &why)) {
    AfxMessageBox(path + "\n" + LoadString(IDS_CANNOT_MAKE) + "  (" + plat::Utf8ToCp932Lossy(why) + ")");
    return -1;
  }
  return 0;
}
