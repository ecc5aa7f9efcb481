// The address dispatcher: file-list addresses, the browser pane or the outside
// program, "file://" addresses, and the program's own fetch of web and FTP pages.
#include <algorithm>

#include "app/FileKind.h"
#include "app/Globals.h"
#include "app/QelDoc.h"
#include "base/AsciiCase.h"
#include "frame/MainFrame.h"
#include "net/Address.h"
#include "net/FtpSite.h"
#include "net/NetState.h"
#include "net/NetStatus.h"
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

// Hands an address (its login apart) to the HTML pane. An address without "://" is
// resolved against the page shown (the pane's, else the page or file the text pane
// shows) or refused; whatever the pane does not show leaves its reason for the caller.
void ShowInHtmlPane(CQelDoc& doc, const std::string& address, const std::string& user, const std::string& password) {
  NetState& net = doc.Net();
  std::string target = address;
  if (address.find("://") == std::string::npos) {
    const bool pageShown = !net.pageAddress_.empty() && doc.m_strPathName == net.pageCopy_;
    const std::string& base = !net.paneLocation_.empty() ? net.paneLocation_ : pageShown ? net.pageAddress_ : doc.m_strPathName;
    std::string why;
    target = PaneAddress(base, address, &why);
    if (target.empty()) {
      net.browseFailure_ = plat::Utf8ToCp932Lossy(why);
      ShowNetStatus(IDS_NET_NO_PAGE);
      return;
    }
  }
  // The login goes to the pane inside the address, and the pane takes it apart.
  net.m_strBrowseAddress = WithUrlCredentials(target, user, password);
  net.m_bBrowseRequest = 1;
  net.paneTook_ = false;
  doc.m_nViewRequest = kRefreshAll;
  doc.UpdateAllViews();
  if (!net.paneTook_ && net.browseFailure_.empty()) {
    net.browseFailure_ = plat::Utf8ToCp932Lossy(
        target.starts_with("\\") ? "the HTML pane does not show a path that begins with \\ (give it as a file:// address)"
                                 : "the HTML pane shows a local file only while the text pane shows a page, an Office "
                                   "document or a picture");
  }
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

}  // namespace

bool BrowserPaneTakes(const CQelDoc& doc, const std::string& address) {
  const int n = ParseAddressIndex(address);
  std::string opened = n > 0 && n <= doc.Net().m_nAddrHistoryCount ? doc.Net().m_astrAddrHistory[n - 1] : address;
  if (opened.empty() || opened[0] == '%') return false;
  if (const size_t at = opened.find(";USER="); at != std::string::npos && at > 0) opened.erase(at);
  return doc.Net().m_bInternalBrowser == 0 && doc.Net().m_nHtmlBrowserMode != 0 && !IsPlayList(opened);
}

void CQelDoc::OpenAddress(std::string address) {
  if (m_nDisplayState == 0) m_nDisplayState = 1;
  Net().addressFailed_ = false;
  if (address.empty()) return;

  if (address[0] == '%') {
    const char digit = address.size() > 1 ? address[1] : '1';
    const std::string path = address.size() > 2 ? address.substr(2) : "";
    const int list = digit == '1' ? 1 : digit == '0' ? (m_nActiveList == 1 ? 1 : 2) : 2;
    (list == 1 ? m_strFileName1 : m_strFileName2) = path;
    m_nActiveList = list;
    ActivatePanes(list);
    if (!path.empty()) {
      LoadDocument(path);
      if (const std::string folder = FolderOf(path); !folder.empty()) ChangeDirectory(folder, 0);
      ActivateViewPane();
    }
    return;
  }

  std::string user, password;
  if (const size_t at = address.find(";USER="); at != std::string::npos && at > 0) {
    user = ParseFtpSiteSpec(address, 1);
    password = ParseFtpSiteSpec(address, 2);
    address.erase(at);
  }
  // "user:password@" in front of the host is a login, never shown: the browser pane
  // takes the address with it (and shows it without), the program's own fetch
  // takes it apart as ";USER=" is.
  std::string urlUser, urlPassword;
  address = StripUrlCredentials(address, &urlUser, &urlPassword);
  if (user.empty() && !urlUser.empty()) {
    user = urlUser;
    password = urlPassword;
  }

  if (Net().m_bInternalBrowser == 0 && !IsPlayList(address)) {
    if (Net().m_nHtmlBrowserMode != 0) {
      ShowInHtmlPane(*this, address, user, password);
    } else {
      // A terminal has no outside browser to hand the address to: nothing shows it.
      Net().browseFailure_ = plat::Utf8ToCp932Lossy(
          "no outside program shows addresses here (set inbrowser=1 to fetch them, or htmlpane=1 to show them)");
    }
    return;
  }

  if (StartsWithNoCase(address, "file://")) {
    std::string path = address.substr(7);
    // "file:///C:/a.txt" names C:\a.txt; "file:///tmp/a.txt" keeps its root.
    const bool drive = path.size() >= 3 && (path[0] == '/' || path[0] == '\\') && path[2] == ':';
    if (!path.empty() && (path[0] == ' ' || (drive && (path[0] == '/' || path[0] == '\\')))) path.erase(0, 1);
    for (char& c : path) {
      if (c == '/') c = '\\';
    }
    const int list = m_nActiveList == 1 ? 2 : 1;
    (list == 1 ? m_strFileName1 : m_strFileName2) = path;
    m_nActiveList = list;
    ActivatePanes(list);
    // A file that cannot be shown fails the address, its display text the reason.
    const bool shown = LoadDocument(path) >= 0;
    m_nViewRequest = kRefreshAll;
    UpdateAllViews();
    if (shown && IsImageKind(m_nFileKind)) LoadDocument(path);
    if (!shown) {
      Net().addressFailed_ = true;
      Net().browseFailure_ = DisplayTextReason(*this);
    }
    return;
  }

  // Without "://" it is no server's address: a reference to a place of the page shown
  // ("foo.htm"), or something no fetch serves ("javascript:..."). Neither is a host to
  // look up.
  if (address.find("://") == std::string::npos) {
    const bool pageShown = !Net().pageAddress_.empty() && m_strPathName == Net().pageCopy_;
    const std::string reference = address;
    address = pageShown ? ResolveAddress(Net().pageAddress_, address) : "";
    if (address.empty()) {
      if (HasScheme(reference)) {
        Net().browseFailure_ =
            reference.substr(0, reference.find(':') + 1) + plat::Utf8ToCp932Lossy(" addresses are not fetched here");
      }
      ShowNetStatus(IDS_NET_NO_PAGE);
      Net().addressFailed_ = true;
      return;
    }
  }

  // The program fetches it: the scheme is what stands before "://".
  int kind = 0;
  std::string rest = address;
  const size_t scheme = address.find("://");
  if (scheme != std::string::npos) {
    if (StartsWithNoCase(address, "https://")) {
      kind = 1;  // the server keeps its scheme: the connection is made secure
      rest = "https://" + address.substr(8);
    } else {
      kind = StartsWithNoCase(address, "http://") ? 1 : StartsWithNoCase(address, "ftp://") ? 2 : 0;
      rest = address.substr(scheme + 3);
    }
  }
  // Only web and FTP servers are asked: "mailto://" or "javascript://" names no server
  // to connect to or look up, and no login goes anywhere for it.
  if (kind == 0 && scheme != std::string::npos) {
    Net().browseFailure_ = address.substr(0, scheme + 3) + plat::Utf8ToCp932Lossy(" addresses are not fetched here");
    ShowNetStatus(IDS_NET_NO_PAGE);
    Net().addressFailed_ = true;
    return;
  }
  if (!rest.empty() && rest.back() == '/') rest.pop_back();
  const size_t hostStart = rest.starts_with("https://") ? 8 : 0;
  const size_t slash = rest.find('/', hostStart);
  std::string server = rest, object;
  if (slash != std::string::npos && slash > hostStart + 1) {
    server = rest.substr(0, slash);
    object = rest.substr(slash + 1);
  }
  FetchHttpPage(server, object, kind, user, password);
}
