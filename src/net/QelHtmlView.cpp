#include "net/QelHtmlView.h"

#include <utility>

#include "app/FileKind.h"
#include "app/Globals.h"
#include "app/StringTable.h"
#include "frame/Dialogs.h"
#include "frame/MainFrame.h"
#include "net/Address.h"
#include "net/NetState.h"
#include "net/NetStatus.h"
#include "platform/inet/Inet.h"
#include "platform/ui/Clipboard.h"
#include "platform/text/CodePage.h"

namespace {

constexpr uint32_t kBrowserTimeoutMs = 30000;
constexpr uint32_t kBrowserPageMs = 60000;  // a whole page, however slowly it comes
constexpr const char* kScriptErrorTitle = "スクリプト エラー";  // the control's script-error window
constexpr int kScriptErrorLooks = 3;
constexpr uint64_t kScriptErrorWaitMs = 50;

// The kinds the pane shows as a local file: a page, an Office document or a picture.
bool Showable(int kind) {
  return (kind >= kKindPpt && kind <= kKindHtml) || IsImageKind(kind);
}

plat::InetTimeouts BrowserTimeouts(const CQelDoc& doc) {
  plat::InetTimeouts timeouts;
  timeouts.connectMs = timeouts.receiveMs = timeouts.sendMs = doc.NetTime(kBrowserTimeoutMs);
  timeouts.transferMs = doc.NetTime(kBrowserPageMs);
  return timeouts;
}

void ShowPane0(const std::string& text) {
  if (g_pStatusBar) g_pStatusBar->SetPaneText(0, text, true);
}

// A string of the table without the line ends some carry.
std::string StringText(int id) {
  std::string text = LoadString(id);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

// The string that says why the page shown did not come; 0 when it came.
int PageFailureId(const CHtmlView& page) {
  if (page.PageError().empty()) return 0;
  switch (page.PageErrorNumber()) {
    case 0: return page.PageStatus() != 0 ? int{IDS_NET_NO_PAGE} : int{IDS_CANNOT_OPEN};  // an answer without a page; a local file
    case ERROR_INTERNET_TIMEOUT: return IDS_NET_TIME_OVER;
    case ERROR_INTERNET_CANNOT_CONNECT:
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
    case ERROR_INTERNET_LOGIN_FAILURE: return IDS_NET_CANNOT_CONNECT;
    case ERROR_INTERNET_INVALID_URL: return IDS_NET_NO_PAGE;
    // The answer began and broke off, or never came as an answer.
    default: return page.PageStatus() != 0 ? int{IDS_NET_READ_INCOMPLETE} : int{IDS_NET_NO_ANSWER};
  }
}

}  // namespace

CQelHtmlView::CQelHtmlView(CQelDoc& doc) : m_doc(doc) {
  m_doc.AddView(this);
  m_doc.Net().htmlPane_ = this;
  SetTimeouts(BrowserTimeouts(m_doc));
}

CQelHtmlView::~CQelHtmlView() {
  if (m_doc.Net().htmlPane_ == this) m_doc.Net().htmlPane_ = nullptr;
  m_doc.RemoveView(this);
}

void CQelHtmlView::SetFrameTitle(const std::string& address, const std::string& title) {
  if (g_pMainFrame) g_pMainFrame->SetWindowText("[html]  " + address + "     [" + title + "]");
}

void CQelHtmlView::OnUpdate() { Take(m_strUrl); }

NetStatus CQelHtmlView::ShowAddress(const std::string& address) { return Take(address); }

NetStatus CQelHtmlView::Take(std::string address) {
  const NetStatus notTaken = NetStatus::NotShown("");
  if (m_doc.Net().m_nAddrListRequest > 1) return notTaken;
  if (!((m_doc.Net().m_nHtmlBrowserMode == 1 && m_doc.m_nActivePane == 4) || m_doc.m_nActivePane == 5)) return notTaken;
  if (g_pMainFrame && g_pMainFrame->m_nCompactMenu > 0) return notTaken;
  SetTimeouts(BrowserTimeouts(m_doc));
  m_nHistory = 1;
  bool showable = Showable(m_doc.m_nFileKind);
  // A login in the address goes to the control only; the document keeps it nowhere.
  const std::string plain = StripUrlCredentials(address);
  if (m_nUpdates == 0 || address.empty() || address == "init") {
    ++m_nUpdates;
    if (!address.empty() && m_doc.Net().m_bInternalBrowser) GoHome();
    m_strUrl = GetLocationURL();
    return notTaken;
  }
  if (address.starts_with("\\\\")) address = m_doc.m_strProgramDir + "\\KTdumy.txt";
  // An address with its scheme goes to the control, which says itself what it cannot show.
  if (address.starts_with("http") || address.find("://") != std::string::npos) showable = true;
  if (m_doc.Net().m_nHtmlBrowserMode < 1 || !showable) {
    m_doc.Net().m_strHtmlAddress = m_strUrl2;
    return notTaken;
  }
  if (plain == m_strUrl) {
    m_doc.Net().m_strHtmlAddress = m_strUrl2;
    return {};  // shown already
  }
  NetStatus status = notTaken;
  if (!address.starts_with("\\")) {
    status = {};
    const size_t asx = address.find(".asx");
    const size_t m3u = address.find(".m3u");
    const bool newWindow = (asx != std::string::npos && asx > 0) || (m3u != std::string::npos && m3u > 0);
    const int before = navigations_;
    Navigate2(address, newWindow ? uint32_t{navOpenInNewWindow} : uint32_t{0});
    if (navigations_ != before && !failure_.empty()) status = NetStatus::NotShown(failure_);
  }
  m_strUrl = GetLocationURL();
  return status;
}

void CQelHtmlView::OnNavigateComplete2(const std::string& url) {
  m_nLastMove = 0;
  ++navigations_;
  m_strUrl = GetLocationURL();
  const bool known = url == m_strHistory[1] || url == m_strHistory[2] || url == m_strHistory[3];
  if (!known && m_nHistory >= 0 && m_nHistory < 5) m_strHistory[static_cast<size_t>(m_nHistory++)] = url;
  ReadPage();
  m_doc.Net().paneLocation_ = failure_.empty() ? url : "";
  SetFrameTitle(url, m_strTitle);
}

void CQelHtmlView::ReadPage() {
  failureId_ = PageFailureId(*this);
  failure_ = failureId_ == 0 ? "" : FailureHead() + "  (" + plat::Utf8ToCp932Lossy(PageError()) + ")";
  if (failureId_ != 0) ShowPane0(failure_);
  bool cut = false;
  pageText_ = m_doc.HtmlPageText(WithDeclaredCharset(PageBytes(), PageCharset()), &cut);
  if (cut || PageCut()) {
    pageText_ += LoadString(IDS_DATA_OMITTED);
    if (failureId_ == 0) ShowPane0(GetLocationURL() + LoadString(IDS_SHOWN_IN_PART));
  }
}

std::string CQelHtmlView::FailureHead() const {
  // A 401 is a page that exists behind a login, not a missing one.
  return PageStatus() == 401 && PageErrorNumber() == 0 ? LoginAskedText() : StringText(failureId_);
}

std::string CQelHtmlView::FailureTitle() const { return failureId_ != 0 && PageTitle().empty() ? FailureHead() : ""; }

void CQelHtmlView::OnActivateView(bool activate) {
  if (!activate) return;
  m_strUrl = GetLocationURL();
  SetFrameTitle(m_strUrl, m_strTitle);
  m_doc.m_nActivePane = 5;
  if (m_doc.Net().m_nHtmlBrowserMode != 1) m_doc.Net().m_nHtmlBrowserMode = 2;
}

void CQelHtmlView::OnProgressChange(long progress, long maximum) {
  if (progress >= 251 && progress < maximum) ShowPane0(std::string(static_cast<size_t>((progress / 50) % 16), '*'));
}

void CQelHtmlView::OnCommandStateChange(long command, bool enable) {
  if (command != CSC_UPDATECOMMANDS || enable || !g_pMainFrame) return;
  plat::UiHost& ui = g_pMainFrame->Ui();
  plat::Screen& screen = ui.GetScreen();
  static const std::string title = plat::Utf8ToCp932Lossy(kScriptErrorTitle);
  uint64_t window = screen.ForegroundWindow(ui.NowMs());
  for (int look = 0; look < kScriptErrorLooks && screen.WindowTitle(window) != title; ++look) {
    // A short busy wait on the program clock, which never sleeps.
    ui.Advance(kScriptErrorWaitMs);
    window = screen.ForegroundWindow(ui.NowMs());
  }
  if (window != 0 && screen.WindowTitle(window) == title) screen.CloseWindow(window);
}

bool CQelHtmlView::OnMouseWheel(unsigned flags, short delta, CPoint point) {
  const CRect rect = GetWindowRect();
  if (point.y < rect.top) {
    if (g_pMainFrame) g_pMainFrame->ActivateViewPane(0, 1);
    return true;
  }
  if (point.y >= rect.bottom || point.x >= rect.right) return true;
  return CHtmlView::OnMouseWheel(flags, delta, point);
}

void CQelHtmlView::OnBrowserForward() {
  m_nLastMove = 1;
  GoForward();
}

void CQelHtmlView::OnBrowserBack() {
  m_nLastMove = 2;
  GoBack();
}

void CQelHtmlView::OnRecall() {
  ShowPane0("OnRecall");
  if (GetBusy()) {
    ExecWB(OLECMDID_STOP);
  } else {
    Refresh();
  }
}

void CQelHtmlView::OnAddressList() { m_doc.m_astrSysValue[25] = GetLocationURL(); }

int CQelHtmlView::OnEditCopy() {
  const std::string address = GetLocationURL();
  if (g_pMainFrame) {
    plat::Clipboard& clipboard = g_pMainFrame->Ui().GetClipboard();
    clipboard.Empty();
    clipboard.SetData(plat::CF_TEXT, address);
  }
  ShowPane0(address);
  return 0;
}

void CQelHtmlView::OnHomePage() { GoHome(); }

void CQelHtmlView::OnInsertAddress() {
  if (m_doc.Net().m_nAddrListRequest == 0) return;
  m_doc.Net().m_nAddrListRequest = 2;
  m_doc.Net().m_strHtmlAddress = m_strUrl2;
  m_doc.UpdateAllViews();
  m_doc.Net().m_nAddrListRequest = 1;
}

void CQelHtmlView::OnDeleteAddress() {
  if (m_doc.Net().m_nAddrListRequest == 0) return;
  m_doc.Net().m_nAddrListRequest = 3;
  m_doc.UpdateAllViews();
  m_doc.Net().m_nAddrListRequest = 1;
}

int CQelHtmlView::OnEditFind() {
  CInputDlg dialog("", LoadString(IDS_SEARCH_ADDRESS), GetLocationURL());
  if (dialog.DoModal() != plat::IDOK) return -1;
  std::string text = dialog.m_strText;
  // The pane goes to an address of 8 characters or more, and only while it is on
  // (htmlpane=1): anything else shows nothing, and says why.
  if (m_doc.Net().m_nHtmlBrowserMode != 1 || text.size() < 8) {
    AfxMessageBox(text + "\n" + plat::Utf8ToCp932Lossy(m_doc.Net().m_nHtmlBrowserMode != 1
                                                        ? "the HTML pane is off: set htmlpane=1 to enter addresses"
                                                        : "an address of fewer than 8 characters is not shown"));
    return -1;
  }
  // An address that names its scheme keeps it; a host name, with its port too
  // ("www.example.com:8080"), gets "http://". A text that begins with another scheme
  // ("mailto:", "javascript:") is no page's address: it is refused as the address
  // statement refuses it, with no request and no name lookup.
  if (text.find("://") == std::string::npos) {
    const std::string scheme = HasScheme(text) ? text.substr(0, text.find(':')) : "";
    if (!scheme.empty() && scheme.find('.') == std::string::npos) {
      AfxMessageBox(text + "\n" + scheme + plat::Utf8ToCp932Lossy(": addresses are not shown here"));
      return -1;
    }
    text = "http://" + text;
  }
  Navigate2(text);
  if (failure_.empty()) return 0;
  // The address and why it was not shown, as the address statement says it.
  AfxMessageBox(text + "\n" + failure_);
  return -1;
}

void CQelHtmlView::OnJump(int n) {
  if (n < 1 || n > 3 || m_strHistory[static_cast<size_t>(n)].empty()) return;
  Navigate2(m_strHistory[static_cast<size_t>(n)]);
}

