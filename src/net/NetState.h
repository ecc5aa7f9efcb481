// The document's internet fields. The session and connection objects belong to the
// internet layer; until a site or page is opened they are null.
#pragma once

#include <string>

class CInternetSession;
class CHttpConnection;
class CFtpConnection;

struct NetState {
  CInternetSession* m_pInetSession = nullptr;
  CHttpConnection* m_pHttpConnection = nullptr;
  CFtpConnection* m_pFtpConnection = nullptr;
  int m_bFtpConnected = 0;
  int m_bInternalBrowser = 0;
  int m_nHtmlBrowserMode = 0;  // 0 off, 1 the HTML pane is on, 2 set by the browser view
  std::string m_strBrowseAddress;
  std::string m_strHtmlAddress;
  int m_nAddrListRequest = 0;
};
