// The 30-slot address history and the history addresses.
#include "app/QelDoc.h"
#include "net/Address.h"
#include "net/NetState.h"
#include "platform/inet/Inet.h"

void CQelDoc::AddAddressHistory(std::string address) {
  if (Net().m_nAddrHistoryCount < 0 || Net().m_nAddrHistoryCount >= kAddressHistorySlots) Net().m_nAddrHistoryCount = kAddressHistorySlots - 1;
  Net().m_astrAddrHistory[Net().m_nAddrHistoryCount] = std::move(address);
  ++Net().m_nAddrHistoryCount;
  if (Net().m_nAddrHistoryCount >= kAddressHistorySlots) {
    for (int i = 0; i + 1 < kAddressHistorySlots; ++i) Net().m_astrAddrHistory[i] = std::move(Net().m_astrAddrHistory[i + 1]);
    Net().m_astrAddrHistory[kAddressHistorySlots - 1].clear();
    Net().m_nAddrHistoryCount = kAddressHistorySlots - 1;
  }
}

int ParseAddressIndex(const std::string& address) {
  if (address.starts_with("adrs://")) {
    // "adrs://", one character that is skipped, then exactly six digits.
    if (address.size() != 14) return 0;
    int n = 0;
    for (size_t i = 8; i < 14; ++i) {
      if (address[i] < '0' || address[i] > '9') return 0;
      n = n * 10 + (address[i] - '0');
    }
    return n;
  }
  if (address.starts_with("%") || address.starts_with("file://")) return -1;
  return 0;
}

std::string AddressForHistory(const std::string& address) {
  const size_t user = address.find(";USER=");
  return StripUrlCredentials(user == std::string::npos ? address : address.substr(0, user));
}

int RunAddressCommand(CQelDoc& doc, const std::string& address) {
  const int n = ParseAddressIndex(address);
  doc.Net().browseFailure_.clear();
  if (n > 0) {
    if (n > doc.Net().m_nAddrHistoryCount) return -1;
    doc.OpenAddress(doc.Net().m_astrAddrHistory[n - 1]);
  } else {
    if (address.starts_with("adrs://")) return -1;
    if (n == 0) doc.AddAddressHistory(AddressForHistory(address));
    doc.OpenAddress(address);
  }
  return doc.Net().browseFailure_.empty() && !doc.Net().addressFailed_ ? 0 : -2;
}
