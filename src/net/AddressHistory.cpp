// The address forms: the 30-slot address history and its addresses, an address
// read into its parts, and the address command.
#include "app/QelDoc.h"
#include "base/AsciiCase.h"
#include "net/Address.h"
#include "net/FtpSite.h"
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

ParsedAddress ParseAddress(const std::string& address) {
  ParsedAddress parsed;
  parsed.address = address;
  if (address.starts_with("%")) {
    parsed.kind = AddressKind::kList;
    return parsed;
  }
  if (const size_t at = address.find(";USER="); at != std::string::npos && at > 0) {
    parsed.user = ParseFtpSiteSpec(address, SitePart::kUser);
    parsed.password = ParseFtpSiteSpec(address, SitePart::kPassword);
    parsed.address.erase(at);
  }
  // "user:password@" in front of the host is a login too, never shown; ";USER="
  // given with it comes first.
  std::string urlUser, urlPassword;
  parsed.address = StripUrlCredentials(parsed.address, &urlUser, &urlPassword);
  if (parsed.user.empty() && !urlUser.empty()) {
    parsed.user = urlUser;
    parsed.password = urlPassword;
  }
  ReadServerPart(parsed);
  return parsed;
}

void ReadServerPart(ParsedAddress& parsed) {
  const std::string& address = parsed.address;
  parsed.scheme = NetScheme::kNone;
  parsed.server.clear();
  parsed.object.clear();
  const size_t scheme = address.find("://");
  if (StartsWithNoCase(address, "file://")) {
    parsed.kind = AddressKind::kFile;
    return;
  }
  if (scheme == std::string::npos) {
    parsed.kind = AddressKind::kReference;
    return;
  }
  std::string rest;
  if (StartsWithNoCase(address, "https://")) {
    parsed.scheme = NetScheme::kWeb;  // the server keeps its scheme: the connection is made secure
    rest = "https://" + address.substr(8);
  } else {
    const bool web = StartsWithNoCase(address, "http://");
    const bool ftp = StartsWithNoCase(address, "ftp://");
    parsed.scheme = web ? NetScheme::kWeb : ftp ? NetScheme::kFtp : NetScheme::kNone;
    rest = address.substr(scheme + 3);
  }
  // Only web and FTP servers are asked: "mailto://" or "javascript://" names no server.
  parsed.kind = parsed.scheme == NetScheme::kNone ? AddressKind::kOtherScheme : AddressKind::kServer;
  if (parsed.kind == AddressKind::kOtherScheme) return;
  if (!rest.empty() && rest.back() == '/') rest.pop_back();
  const size_t hostStart = rest.starts_with("https://") ? 8 : 0;
  const size_t slash = rest.find('/', hostStart);
  parsed.server = rest;
  if (slash != std::string::npos && slash > hostStart + 1) {
    parsed.server = rest.substr(0, slash);
    parsed.object = rest.substr(slash + 1);
  }
}

NetStatus RunAddressCommand(CQelDoc& doc, const std::string& address) {
  const int n = ParseAddressIndex(address);
  if (n > 0) {
    if (n > doc.Net().m_nAddrHistoryCount) return {NetCode::kNotInHistory, ""};
    return doc.OpenAddress(doc.Net().m_astrAddrHistory[n - 1]);
  }
  if (address.starts_with("adrs://")) return {NetCode::kNotInHistory, ""};
  if (n == 0) doc.AddAddressHistory(AddressForHistory(address));
  return doc.OpenAddress(address);
}
