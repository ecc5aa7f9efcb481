#include "net/NetState.h"

#include "app/QelDoc.h"
#include "platform/inet/Inet.h"

NetState::NetState() = default;

// The connections go before the session that made them.
NetState::~NetState() {
  m_pFtpConnection.reset();
  m_pHttpConnection.reset();
  m_pInetSession.reset();
}

bool CQelDoc::FtpConnected() const { return Net().m_bFtpConnected != 0; }
