#include "platform/inet/HtmlBrowser.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <string_view>

#include "base/AsciiCase.h"
#include "platform/inet/Inet.h"
#include "platform/os/Files.h"
#include "platform/text/CodePage.h"

namespace {

constexpr size_t kTitleSearch = 65536;
constexpr size_t kMaxTitle = 1024;

// The text with its character references read: the five of XML, "&nbsp;" and the
// numbers of ASCII characters; any other stays as written. ('&' and ';' are never
// the trail byte of a double-byte character.)
std::string ReadReferences(const std::string& text) {
  static constexpr struct {
    std::string_view name;
    char c;
  } kNamed[] = {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}, {"nbsp", ' '}};
  constexpr size_t kLongestReference = 8;
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const size_t end = text[i] == '&' ? text.find(';', i) : std::string::npos;
    int c = -1;
    if (end != std::string::npos && end - i <= kLongestReference) {
      const std::string_view name(text.data() + i + 1, end - i - 1);
      for (const auto& named : kNamed) {
        if (name == named.name) c = named.c;
      }
      if (name.size() > 1 && name[0] == '#') {
        const bool hex = name[1] == 'x' || name[1] == 'X';
        const std::string_view digits = name.substr(hex ? 2 : 1);
        int value = 0;
        const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, hex ? 16 : 10);
        if (ec == std::errc() && ptr == digits.data() + digits.size() && value > 0 && value < 0x80) c = value;
      }
    }
    if (c < 0) {
      out += text[i];
    } else {
      out += static_cast<char>(c);
      i = end;
    }
  }
  return out;
}

// The path of a "file://" address's rest: "/C:/my%20page.htm" names C:\my page.htm,
// "/tmp/a.htm" \tmp\a.htm. Escapes stand for UTF-8, as a browser writes them.
std::string FileAddressPath(std::string_view rest) {
  if (rest.size() >= 3 && rest[0] == '/' && rest[2] == ':') rest.remove_prefix(1);
  std::string path = PercentDecode(rest);
  if (auto sjis = plat::Utf8ToCp932(path)) path = std::move(*sjis);
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

// The page's <title>, blanks folded and references read, in CP932: a UTF-8 title is
// converted, '?' standing for a character CP932 lacks.
std::string TitleOf(const std::string& page) {
  const size_t open = FindNoCase(std::string_view(page).substr(0, kTitleSearch), "<title");
  if (open == std::string::npos) return "";
  const size_t start = page.find('>', open);
  if (start == std::string::npos) return "";
  const size_t close = FindNoCase(std::string_view(page).substr(0, start + 1 + kMaxTitle), "</title", start);
  std::string raw = page.substr(start + 1, (close == std::string::npos ? kMaxTitle : close - start - 1));
  std::string title;
  bool blank = false;
  for (char c : raw) {
    const bool space = c == ' ' || c == '\t' || c == '\r' || c == '\n';
    if (space) {
      blank = !title.empty();
      continue;
    }
    if (blank) title += ' ';
    blank = false;
    title += c;
  }
  title = ReadReferences(title);
  const bool wide = std::any_of(title.begin(), title.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
  return wide && plat::IsUtf8(title) ? plat::Utf8ToCp932Lossy(title) : title;
}


// A local file's full path: "\a\b.htm", "/a/b.htm" or "C:\a\b.htm".
bool IsFullPath(const std::string& text) {
  if (text.starts_with("\\") || text.starts_with("/")) return true;
  return text.size() >= 3 && IsAsciiLetter(text[0]) && text[1] == ':' && (text[2] == '\\' || text[2] == '/');
}

// The ':' that ends a scheme the text begins with ("mailto:"), else npos.
size_t SchemeEnd(const std::string& text) {
  if (text.empty() || !IsAsciiLetter(text[0])) return std::string::npos;
  for (size_t i = 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ':') return i;
    if (!IsAsciiLetter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') break;
  }
  return std::string::npos;
}

}  // namespace

std::string WithDeclaredCharset(std::string page, const std::string& charset) {
  if (charset.empty()) return page;
  const size_t bom = page.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  page.insert(bom, "<meta charset=" + charset + ">\n");
  return page;
}

void CHtmlView::Navigate2(const std::string& url, uint32_t flags) {
  if (flags & navOpenInNewWindow) {
    newWindows_.push_back(StripUrlCredentials(url));
    return;
  }
  if (travelIndex_ + 1 < static_cast<int>(travel_.size())) travel_.resize(static_cast<size_t>(travelIndex_ + 1));
  travel_.push_back(StripUrlCredentials(url));
  travelIndex_ = static_cast<int>(travel_.size()) - 1;
  Load(url);
  travel_[static_cast<size_t>(travelIndex_)] = location_;
}

void CHtmlView::GoBack() {
  if (travelIndex_ <= 0) return;
  --travelIndex_;
  Load(travel_[static_cast<size_t>(travelIndex_)]);
}

void CHtmlView::GoForward() {
  if (travelIndex_ + 1 >= static_cast<int>(travel_.size())) return;
  ++travelIndex_;
  Load(travel_[static_cast<size_t>(travelIndex_)]);
}

void CHtmlView::GoHome() { Navigate2(home_); }

void CHtmlView::Refresh() {
  if (!location_.empty()) Load(location_);
}

void CHtmlView::ExecWB(int command, int) {
  execLog_.push_back(command);
  if (command == OLECMDID_STOP) busy_ = false;
}

void CHtmlView::Load(const std::string& url) {
  busy_ = true;
  // A login in the address is used, never shown: the host keeps it for later pages.
  std::string user, password;
  const std::string address = StripUrlCredentials(url, &user, &password);
  if (!user.empty()) {
    loginServer_ = address;
    loginUser_ = user;
    loginPassword_ = password;
  }
  OnBeforeNavigate2(address);
  Fetch(address);
  pageLines_ = 1 + static_cast<int>(std::count(page_.begin(), page_.end(), '\n'));
  scrollLine_ = 0;
  for (long step = 250; step <= 1000; step += 250) OnProgressChange(step, 1000);
  OnNavigateComplete2(location_);
  OnTitleChange(title_.empty() ? location_ : title_);
  OnCommandStateChange(CSC_NAVIGATEBACK, travelIndex_ > 0);
  OnCommandStateChange(CSC_NAVIGATEFORWARD, travelIndex_ + 1 < static_cast<int>(travel_.size()));
  OnCommandStateChange(CSC_UPDATECOMMANDS, false);
  busy_ = false;
  OnProgressChange(-1, 1000);
}

void CHtmlView::Fetch(const std::string& url) {
  page_.clear();
  title_.clear();
  error_.clear();
  charset_.clear();
  errorNumber_ = 0;
  status_ = 0;
  cut_ = false;
  location_ = url;
  if (url.empty() || url == "about:blank") return;
  const size_t scheme = url.find("://");
  if (StartsWithNoCase(url, "http://") || StartsWithNoCase(url, "https://")) {
    FetchHttp(url);
  } else if (scheme != std::string::npos && scheme > 0 && !StartsWithNoCase(url, "file://")) {
    errorNumber_ = ERROR_INTERNET_INVALID_URL;
    error_ = url.substr(0, scheme + 3) + " addresses are not shown here";
  } else if (scheme == std::string::npos && !IsFullPath(url)) {
    // "javascript:...", "mailto:..." or a reference such as "b.htm": no address of a
    // page and no file's full path (the program's folder is no page's place).
    errorNumber_ = ERROR_INTERNET_INVALID_URL;
    const size_t colon = SchemeEnd(url);
    error_ = colon != std::string::npos ? url.substr(0, colon + 1) + " addresses are not shown here"
                                        : "it is neither an address nor a full path";
  } else {
    const std::string path = StartsWithNoCase(url, "file://") ? FileAddressPath(std::string_view(url).substr(7)) : url;
    // A pipe or a device tells no end: read as a page it would hold the pane for as
    // long as its writer pleases. Only a regular file is a page.
    if (const auto info = plat::Stat(path); info && info->isSpecial) {
      error_ = "not a regular file: a pipe or a device is not read";
    } else if (auto bytes = plat::ReadFileHead(path, kMaxPageBytes + 1)) {
      page_ = std::move(*bytes);
      cut_ = page_.size() > static_cast<size_t>(kMaxPageBytes);
      if (cut_) page_.resize(static_cast<size_t>(kMaxPageBytes));
    } else {
      error_ = "the file cannot be read";
    }
  }
  title_ = TitleOf(page_);
}

void CHtmlView::FetchHttp(const std::string& url) {
  const bool login = !loginServer_.empty() && SameServer(url, loginServer_);
  try {
    CInternetSession session("Pelnorix");
    session.SetOption(INTERNET_OPTION_CONNECT_TIMEOUT, timeouts_.connectMs);
    session.SetOption(INTERNET_OPTION_RECEIVE_TIMEOUT, timeouts_.receiveMs);
    auto connection = session.GetHttpConnection(url, INTERNET_INVALID_PORT_NUMBER, login ? loginUser_ : "",
                                                login ? loginPassword_ : "");
    const size_t hostStart = url.find("://") + 3;
    const size_t slash = url.find('/', hostStart);
    auto request = connection->OpenRequest("GET", slash == std::string::npos ? "" : url.substr(slash));
    request->AddRequestHeaders("Accept: */*\r\n");
    request->AcceptCompressed();
    request->SendRequest();
    request->QueryInfoStatusCode(status_);
    charset_ = request->Charset();
    location_ = request->GetFileURL();
    request->SetDeadline(plat::InetTransfer::Clock::now() + std::chrono::milliseconds(timeouts_.transferMs));
    std::vector<char> block(65536);
    for (;;) {
      const int64_t got = request->Read(block.data(), static_cast<int64_t>(block.size()));
      const int64_t room = kMaxPageBytes - static_cast<int64_t>(page_.size());
      page_.append(block.data(), static_cast<size_t>(std::min(got, room)));
      if (got < static_cast<int64_t>(block.size()) && !request->AtEnd()) {
        throw CInternetException(ERROR_INTERNET_TIMEOUT, "the page did not come in time");
      }
      if (got >= room) {
        cut_ = got > room || !request->AtEnd();
        break;
      }
      if (got < static_cast<int64_t>(block.size())) break;
    }
    if (status_ >= 400) {
      error_ = "HTTP " + std::to_string(status_);
    } else if (status_ >= 300) {
      // Redirects are followed to the same scheme ten times at the most.
      error_ = "HTTP " + std::to_string(status_) + ": a redirect that was not followed";
    }
  } catch (const CInternetException& e) {
    error_ = e.m_strReason;
    errorNumber_ = e.m_dwError;
    page_.clear();
  }
}

bool CHtmlView::OnMouseWheel(unsigned, short delta, CPoint) {
  const int lines = -delta * kWheelLines / kWheelDelta;
  scrollLine_ = std::clamp(scrollLine_ + lines, 0, std::max(pageLines_ - 1, 0));
  return true;
}
