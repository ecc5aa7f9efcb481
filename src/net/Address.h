// AddressHistory and the address forms: "adrs://" + one character + six digits
// names a history entry; "%" + a digit + a path a file-list address; "file://" a
// local file.
#pragma once

#include <string>

constexpr int kAddressHistorySlots = 30;

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
// outside the history is refused: -1); another is added to the history and opened.
// -2 when the browser pane could not show it (NetState::browseFailure_ says why) or
// the program's own fetch of it failed (the status bar says why).
int RunAddressCommand(CQelDoc& doc, const std::string& address);
// Whether the address command hands address (an "adrs://" one: the history entry it
// names) to the browser pane: the pane is on, the program does not fetch pages
// itself, and it is neither a file-list address nor a play list.
bool BrowserPaneTakes(const CQelDoc& doc, const std::string& address);
