// The document's internet fields: the one internet session with its FTP or HTTP
// connection (owned; null until a site or page is opened), the browser modes, and
// the address history.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace plat {
struct DirEntry;  // platform/os/Files.h: an entry of a listed folder
}
class CInternetSession;
class CHttpConnection;
class CFtpConnection;
class CQelHtmlView;  // net/QelHtmlView.h

struct NetState {
  NetState();
  ~NetState();  // closes the session
  NetState(const NetState&) = delete;
  NetState& operator=(const NetState&) = delete;

  std::unique_ptr<CInternetSession> m_pInetSession;
  std::unique_ptr<CHttpConnection> m_pHttpConnection;
  std::unique_ptr<CFtpConnection> m_pFtpConnection;
  int m_bFtpConnected = 0;
  // The pseudo-drive site (1 to 3) the FTP connection was made for; 0 for none or
  // an address's. A path on another site's drive gets a connection of its own.
  int ftpSite_ = 0;
  // The last pseudo-drive download stopped past its volume and holds the file's head.
  bool ftpFetchCut_ = false;
  int m_bInternalBrowser = 0;
  int m_nHtmlBrowserMode = 0;  // 0 off, 1 the HTML pane is on, 2 set by the browser view
  std::string m_strHtmlAddress;
  // The HTML pane, which the document asks to show an address (CQelHtmlView::
  // ShowAddress): set by the pane while it exists, null without one.
  CQelHtmlView* htmlPane_ = nullptr;
  // The address of the page the HTML pane shows ("" while none came): an address
  // without a scheme given to the pane is resolved against it.
  std::string paneLocation_;
  int m_nAddrListRequest = 0;
  int m_bUpdateShown = 0;      // the update information was shown
  std::string m_strHomeAddress;  // the home page shown last
  // The maker's pages: the index page that carries the update notice, and the top page.
  std::string m_strInfoPage;
  std::string m_strTopPage;

  // The web page the program fetched and shows: its address (after redirects) and the
  // work copy it is shown from. An address without "://" is resolved against it.
  std::string pageAddress_;
  std::string pageCopy_;

  // AddressHistory: the oldest first; at most 29 after an addition.
  std::array<std::string, 30> m_astrAddrHistory;
  int m_nAddrHistoryCount = 0;

  // Internet time-outs in thousandths of the program's own (30 s to connect and
  // answer, 60 s a page pass, 360 s an FTP fetch); tests make them short.
  int m_nNetTimeScale = 1000;
};
