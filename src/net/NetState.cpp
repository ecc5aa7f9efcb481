#include "net/NetState.h"

#include "platform/inet/Inet.h"

NetState::NetState() = default;

// The connections go before the session that made them.
NetState::~NetState() {
  m_pFtpConnection.reset();
  m_pHttpConnection.reset();
  m_pInetSession.reset();
}
