// The address dispatcher: file-list addresses, the browser pane or the outside
// program, "file://" addresses, and the program's own fetch of web and FTP pages.
#include <algorithm>

#include "app/FileKind.h"
#include "app/Globals.h"
#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "base/AsciiCase.h"
#include "frame/MainFrame.h"
#include "net/Address.h"
#include "net/NetState.h"
#include "net/NetStatus.h"
#include "net/QelHtmlView.h"
#include "platform/inet/Inet.h"
#include "platform/text/CodePage.h"

namespace {

bool EndsWith(const std::string& text, const char* tail) {
  const std::string t(tail);
  return text.size() >= t.size() && text.compare(text.size() - t.size(), t.size(), t) == 0;
}

// A play list is fetched or opened by the program, never handed to a browser.
bool IsPlayList(const std::string& address) { return EndsWith(address, "m3u") || EndsWith(address, "asx"); }

// The view pane, then list pane `list` (1 or 2), as an address opens a file.
void ActivatePanes(int list) {
  if (!g_pMainFrame) return;
  g_pMainFrame->ActivateViewPane(0, 0);
  g_pMainFrame->ActivateListPane(0, list - 1);
}

void ActivateViewPane() {
  if (g_pMainFrame) g_pMainFrame->ActivateViewPane(0, 0);
}

// Folder part of a Windows path ("" without a separator).
std::string FolderOf(const std::string& path) {
  const size_t sep = plat::FindLastSeparator(path);
  return sep == std::string::npos ? "" : sep == 0 ? std::string("\\") : path.substr(0, sep);
}

// Asks the HTML pane to show an address (its login goes to the pane inside it). An
// address without "://" is resolved against the page shown (the pane's, else the
// page or file the text pane shows) or refused; what the pane does not take says why.
NetStatus ShowInHtmlPane(CQelDoc& doc, const ParsedAddress& parsed) {
  NetState& net = doc.Net();
  std::string target = parsed.address;
  if (target.find("://") == std::string::npos) {
    const bool pageShown = !net.pageAddress_.empty() && doc.m_strPathName == net.pageCopy_;
    const std::string& base = !net.paneLocation_.empty() ? net.paneLocation_ : pageShown ? net.pageAddress_ : doc.m_strPathName;
    std::string why;
    target = PaneAddress(base, target, &why);
    if (target.empty()) {
      ShowNetStatus(IDS_NET_NO_PAGE);
      return NetStatus::NotShown(plat::Utf8ToCp932Lossy(why));
    }
  }
  NetStatus status = NetStatus::NotShown("");
  if (net.htmlPane_) status = net.htmlPane_->ShowAddress(WithUrlCredentials(target, parsed.user, parsed.password));
  if (!status.Shown() && status.reason.empty()) {
    status.reason = plat::Utf8ToCp932Lossy(
        target.starts_with("\\") ? "the HTML pane does not show a path that begins with \\ (give it as a file:// address)"
                                 : "the HTML pane shows a local file only while the text pane shows a page, an Office "
                                   "document or a picture");
  }
  return status;
}

// The display text a failed load left, on one line: why the file was not shown.
std::string DisplayTextReason(const CQelDoc& doc) {
  std::string text(doc.m_pText ? doc.m_pText : "", doc.m_pText ? static_cast<size_t>(std::max(doc.m_nTextLen, 0)) : 0);
  std::string line;
  for (char c : text) {
    const bool end = c == '\r' || c == '\n';
    if (end && !line.empty() && line.back() != ' ') line += "  ";
    if (!end) line += c;
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

// A list address: the file goes into list 1 or 2 ("%0": the active one) and is shown.
void OpenListAddress(CQelDoc& doc, const std::string& address) {
  const char digit = address.size() > 1 ? address[1] : '1';
  const std::string path = address.size() > 2 ? address.substr(2) : "";
  const int list = digit == '1' ? 1 : digit == '0' ? (doc.m_nActiveList == 1 ? 1 : 2) : 2;
  (list == 1 ? doc.m_strFileName1 : doc.m_strFileName2) = path;
  doc.m_nActiveList = list;
  ActivatePanes(list);
  if (!path.empty()) {
    doc.LoadDocument(path);
    if (const std::string folder = FolderOf(path); !folder.empty()) ChangeDirectory(folder);
    ActivateViewPane();
  }
}

// A "file://" address: the file goes into the other list and is shown; one that
// cannot be shown is not, its display text the reason.
NetStatus OpenFileAddress(CQelDoc& doc, const std::string& address) {
  std::string path = address.substr(7);
  // "file:///C:/a.txt" names C:\a.txt; "file:///tmp/a.txt" keeps its root.
  const bool drive = path.size() >= 3 && (path[0] == '/' || path[0] == '\\') && path[2] == ':';
  if (!path.empty() && (path[0] == ' ' || (drive && (path[0] == '/' || path[0] == '\\')))) path.erase(0, 1);
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  const int list = doc.m_nActiveList == 1 ? 2 : 1;
  (list == 1 ? doc.m_strFileName1 : doc.m_strFileName2) = path;
  doc.m_nActiveList = list;
  ActivatePanes(list);
  const bool shown = doc.LoadDocument(path) >= 0;
  doc.m_nViewRequest = kRefreshAll;
  doc.UpdateAllViews();
  if (shown && IsImageKind(doc.m_nFileKind)) doc.LoadDocument(path);
  return shown ? NetStatus{} : NetStatus::NotShown(DisplayTextReason(doc));
}

// The address as no fetch serves it: "<scheme> addresses are not fetched here".
NetStatus NotFetched(const std::string& scheme) {
  return NetStatus::NotShown(scheme + plat::Utf8ToCp932Lossy(" addresses are not fetched here"));
}

}  // namespace

NetStatus CQelDoc::OpenAddress(const std::string& address) {
  if (m_nDisplayState == 0) m_nDisplayState = 1;
  if (address.empty()) return {};
  ParsedAddress parsed = ParseAddress(address);
  if (parsed.kind == AddressKind::kList) {
    OpenListAddress(*this, address);
    return {};
  }

  if (Net().m_bInternalBrowser == 0 && !IsPlayList(parsed.address)) {
    // A terminal has no outside browser to hand the address to: nothing shows it.
    if (Net().m_nHtmlBrowserMode == 0) {
      return NetStatus::NotShown(plat::Utf8ToCp932Lossy(
          "no outside program shows addresses here (set inbrowser=1 to fetch them, or htmlpane=1 to show them)"));
    }
    return ShowInHtmlPane(*this, parsed);
  }

  if (parsed.kind == AddressKind::kFile) return OpenFileAddress(*this, parsed.address);

  // Without "://" it is no server's address: a reference to a place of the page shown
  // ("foo.htm"), or something no fetch serves ("javascript:..."). Neither is a host to
  // look up.
  if (parsed.kind == AddressKind::kReference) {
    const bool pageShown = !Net().pageAddress_.empty() && m_strPathName == Net().pageCopy_;
    const std::string reference = parsed.address;
    parsed.address = pageShown ? ResolveAddress(Net().pageAddress_, reference) : "";
    if (parsed.address.empty()) {
      ShowNetStatus(IDS_NET_NO_PAGE);
      return HasScheme(reference) ? NotFetched(reference.substr(0, reference.find(':') + 1))
                                  : NetStatus::NotShown(LoadString(IDS_NET_NO_PAGE));
    }
    ReadServerPart(parsed);
  }

  // "mailto://" or "javascript://" names no server to connect to or look up, and no
  // login goes anywhere for it.
  if (parsed.kind == AddressKind::kOtherScheme) {
    ShowNetStatus(IDS_NET_NO_PAGE);
    return NotFetched(parsed.address.substr(0, parsed.address.find("://") + 3));
  }
  return FetchHttpPage(parsed);
}

bool BrowserPaneTakes(const CQelDoc& doc, const std::string& address) {
  const int n = ParseAddressIndex(address);
  const std::string& opened = n > 0 && n <= doc.Net().m_nAddrHistoryCount ? doc.Net().m_astrAddrHistory[n - 1] : address;
  if (opened.empty()) return false;
  const ParsedAddress parsed = ParseAddress(opened);
  return parsed.kind != AddressKind::kList && doc.Net().m_bInternalBrowser == 0 && doc.Net().m_nHtmlBrowserMode != 0 &&
         !IsPlayList(parsed.address);
}
