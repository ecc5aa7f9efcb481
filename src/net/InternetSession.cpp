// The document's one internet session: connecting to an FTP site of a pseudo-drive,
// opening a session with its FTP or HTTP connection, and closing it.
#include <algorithm>

#include "app/QelDoc.h"
#include "frame/MainFrame.h"
#include "net/Address.h"
#include "net/FtpSite.h"
#include "net/NetState.h"
#include "net/NetStatus.h"
#include "platform/inet/Inet.h"

namespace {

constexpr uint32_t kSessionTimeoutMs = 30000;

}  // namespace

uint32_t CQelDoc::NetTime(uint32_t ms) const {
  const int scale = std::clamp(Net().m_nNetTimeScale, 1, 1000);
  return std::max<uint32_t>(1, static_cast<uint32_t>(static_cast<uint64_t>(ms) * static_cast<uint64_t>(scale) / 1000));
}

int CQelDoc::ConnectFtpSite(std::string path) {
  int site = 0;
  for (int i = 0; i < 3 && site == 0; ++i) {
    const std::string& s = m_astrSysValue[kFirstFtpSiteValue + i];
    if (path.size() >= 2 && s.size() >= 2 && s.compare(0, 2, path, 0, 2) == 0) site = i + 1;
  }
  if (site == 0) return -1;
  if (Net().m_bFtpConnected && Net().ftpSite_ == site) return 0;
  const std::string& entry = m_astrSysValue[kFirstFtpSiteValue + site - 1];
  const std::string host = ParseFtpSiteSpec(entry, SitePart::kHost);
  const std::string user = ParseFtpSiteSpec(entry, SitePart::kUser);
  const std::string password = ParseFtpSiteSpec(entry, SitePart::kPassword);
  const char flag = entry.size() > 3 ? entry[3] : 'x';
  const int passive = flag >= '0' && flag <= '3' ? (flag - '0' > 1 ? 1 : 0) : 1;
  if (host.empty()) return -1;
  if (OpenInternetConnection(host, user, password, NetScheme::kFtp, passive) < 0) return -1;
  Net().ftpSite_ = site;
  return 0;
}

int CQelDoc::OpenInternetConnection(std::string server, std::string user, std::string password, NetScheme scheme,
                                    int passive) {
  // One session at a time: a live one (a pseudo-drive's) is closed before a new one
  // takes its place, so that no connection outlives the session it came from.
  if (Net().m_pInetSession || Net().m_pFtpConnection || Net().m_pHttpConnection) CloseInternetSession();
  ShowNetStatus(IDS_NET_INITIALIZING);
  Net().m_pInetSession = std::make_unique<CInternetSession>("Pelnorix", 1);
  Net().m_pInetSession->SetOption(INTERNET_OPTION_CONNECT_TIMEOUT, NetTime(kSessionTimeoutMs));
  Net().m_pInetSession->SetOption(INTERNET_OPTION_RECEIVE_TIMEOUT, NetTime(kSessionTimeoutMs));
  Net().m_pInetSession->SetOption(INTERNET_OPTION_SEND_TIMEOUT, NetTime(kSessionTimeoutMs));
  Net().m_pInetSession->SetOption(kInternetOptionTransferTimeout, NetTime(kFtpTransferMs));
  ShowNetStatus(IDS_NET_CONNECTING);
  try {
    if (scheme == NetScheme::kFtp) {
      Net().m_pFtpConnection = Net().m_pInetSession->GetFtpConnection(server, user, password, INTERNET_INVALID_PORT_NUMBER, passive != 0);
      Net().m_bFtpConnected = 1;
    } else {
      Net().m_pHttpConnection = Net().m_pInetSession->GetHttpConnection(server, INTERNET_INVALID_PORT_NUMBER, user, password);
    }
  } catch (const CInternetException& e) {
    ShowNetStatus(IDS_NET_CANNOT_CONNECT);
    AfxMessageBox(e.GetErrorMessage());
    CloseInternetSession();
    return -1;
  }
  return 0;
}

void CQelDoc::CloseInternetSession() {
  Net().m_pFtpConnection.reset();
  Net().m_pHttpConnection.reset();
  if (Net().m_pInetSession) Net().m_pInetSession->Close();
  Net().m_pInetSession.reset();
  Net().m_bFtpConnected = 0;
  Net().ftpSite_ = 0;
}
