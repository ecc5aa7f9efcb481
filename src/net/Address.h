// AddressHistory and the address forms: "adrs://" + one character + six digits
// names a history entry; "%" + a digit + a path a file-list address; "file://" a
// local file.
#pragma once

#include <string>

#include "net/NetStatus.h"

constexpr int kAddressHistorySlots = 30;

// The servers the program fetches from itself, by the scheme of their address.
enum class NetScheme : int {
  kNone = 0,  // no server's address
  kWeb = 1,   // "http://" and "https://"
  kFtp = 2,   // "ftp://"
};

// The road an address takes.
enum class AddressKind {
  kList,         // "%" + a digit + a path: a file opened into a file list
  kFile,         // "file://": a local file
  kReference,    // no "://": a place of the page shown, or another scheme's ("javascript:")
  kServer,       // a web or FTP server's address
  kOtherScheme,  // "mailto://" and the like: no server is asked
};

// An address read once: its road, its scheme, the server and the object on it
// ("https://" stays with its server, "http://" and "ftp://" do not; no '/' at the
// end), and the login given with it as ";USER=name;PWRD=password" or
// "user:password@" before the host (";USER=" first), which the address itself no
// longer carries.
struct ParsedAddress {
  AddressKind kind = AddressKind::kReference;
  NetScheme scheme = NetScheme::kNone;
  std::string address;
  std::string server;
  std::string object;
  std::string user;
  std::string password;
};
ParsedAddress ParseAddress(const std::string& address);
// Sets the kind, scheme, server and object of parsed from its address, the login kept.
void ReadServerPart(ParsedAddress& parsed);

// The history number of an "adrs://" address (its six characters must be digits,
// else 0); -1 for an address beginning with "%" or "file://"; 0 otherwise. A
// caller uses a number only when 0 < n <= the history count.
int ParseAddressIndex(const std::string& address);
// The address as the history keeps it: cut before ";USER=" and without a
// "user:password@" before its host, so that no user name or password is kept.
std::string AddressForHistory(const std::string& address);

// Whether an address begins with a scheme and its ':' ("http:", "javascript:").
bool HasScheme(const std::string& address);
// A reference without "://" resolved against a page's address as a link of the page
// is ("c.htm" on http://h/a/b.htm is http://h/a/c.htm); "" for a reference with a
// scheme of its own ("javascript:...", "mailto:...") or a base that is no address.
std::string ResolveAddress(const std::string& base, const std::string& reference);
// What the HTML pane is to show for an address without "://": a local path ("\a\b.htm",
// "C:\a.htm", or "/a/b.htm" while no web page is the base) as it is; "about:blank"; a
// reference ("b.htm") resolved against base, the page shown (an address or a local
// path). "" with the reason in *why (UTF-8) for another scheme ("javascript:",
// "mailto:") or a reference with no page to resolve it against.
std::string PaneAddress(const std::string& base, const std::string& address, std::string* why);

class CQelDoc;
// The view's address command: an "adrs://" address opens its history entry (one
// outside the history is refused: kNotInHistory); another is added to the history
// and opened. kNotShown, with the reason, when the browser pane or the program's own
// fetch did not show it.
NetStatus RunAddressCommand(CQelDoc& doc, const std::string& address);
// Whether the address command hands address (an "adrs://" one: the history entry it
// names) to the browser pane: the pane is on, the program does not fetch pages
// itself, and it is neither a file-list address nor a play list.
bool BrowserPaneTakes(const CQelDoc& doc, const std::string& address);
