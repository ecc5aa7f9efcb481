// The internet session and HTTP on libcurl. A request is one transfer; SendRequest
// drives it until the answer's headers are complete, following a redirect only to
// the scheme the request had (at most kMaxRedirects), as the original host follows
// them itself: any other redirect stays the answer, with its status.
#include <curl/curl.h>

#include <algorithm>
#include <charconv>
#include <chrono>

#include "base/AsciiCase.h"
#include "platform/inet/CurlLibrary.h"
#include "platform/inet/Inet.h"

namespace {

constexpr int kMaxRedirects = 10;

bool IsRedirect(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string SchemeOf(const std::string& url) {
  const size_t at = url.find("://");
  return at == std::string::npos ? "" : AsciiLowerCopy(std::string_view(url).substr(0, at));
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

struct SlistDeleter {
  void operator()(curl_slist* list) const { plat::Curl()->curl_slist_free_all(list); }
};

struct UrlDeleter {
  void operator()(CURLU* url) const { plat::Curl()->curl_url_cleanup(url); }
};

// A header of the last answer ("name:" in lower case), its value without the blanks
// around it; "" when it has none.
std::string LastAnswerHeader(const std::vector<std::string>& lines, std::string_view name) {
  std::string value;
  for (const std::string& line : lines) {
    if (line.starts_with("HTTP/")) value.clear();
    if (line.size() < name.size() || !StartsWithNoCase(line, name)) continue;
    const size_t start = line.find_first_not_of(" \t", name.size());
    const size_t end = line.find_last_not_of(" \t");
    value = start == std::string::npos ? "" : line.substr(start, end + 1 - start);
  }
  return value;
}

// The Location of the last answer's headers ("" when it has none). libcurl makes the
// redirect's address only once the answer's body has come, which may be long after
// its headers: the header is read here as soon as the headers are complete.
std::string LocationHeader(const std::vector<std::string>& lines) { return LastAnswerHeader(lines, "location:"); }

// The address a Location names, resolved against the address that answered, without
// any "user:password@": a login goes only as an option, to the server it was given for.
// "" when it names no address.
std::string RedirectTarget(const std::string& current, const std::string& location) {
  const plat::CurlFunctions& curl = plat::CurlApi();
  std::unique_ptr<CURLU, UrlDeleter> url(curl.curl_url());
  if (!url || location.empty()) return "";
  const unsigned flags = CURLU_NON_SUPPORT_SCHEME | CURLU_URLENCODE | CURLU_ALLOW_SPACE;
  if (curl.curl_url_set(url.get(), CURLUPART_URL, current.c_str(), flags) != CURLUE_OK ||
      curl.curl_url_set(url.get(), CURLUPART_URL, location.c_str(), flags) != CURLUE_OK) {
    return "";
  }
  curl.curl_url_set(url.get(), CURLUPART_USER, nullptr, 0);
  curl.curl_url_set(url.get(), CURLUPART_PASSWORD, nullptr, 0);
  curl.curl_url_set(url.get(), CURLUPART_OPTIONS, nullptr, 0);
  char* text = nullptr;
  if (curl.curl_url_get(url.get(), CURLUPART_URL, &text, 0) != CURLUE_OK || !text) return "";
  std::string out = StripUrlCredentials(text);
  curl.curl_free(text);
  return out;
}

}  // namespace

namespace {

// The text without the "user:password@" that stands between hostStart and the end of
// the host (the first '/' after it).
std::string SplitCredentials(const std::string& text, size_t hostStart, std::string* user, std::string* password) {
  const size_t hostEnd = std::min(text.find('/', hostStart), text.size());
  if (hostEnd == hostStart) return text;
  const size_t at = text.rfind('@', hostEnd - 1);
  if (at == std::string::npos || at < hostStart) return text;
  const std::string_view info(text.data() + hostStart, at - hostStart);
  const size_t colon = info.find(':');
  if (user) *user = PercentDecode(info.substr(0, colon));
  if (password) *password = colon == std::string_view::npos ? "" : PercentDecode(info.substr(colon + 1));
  return text.substr(0, hostStart) + text.substr(at + 1);
}

}  // namespace

std::string StripUrlCredentials(const std::string& address, std::string* user, std::string* password) {
  const size_t scheme = address.find("://");
  return scheme == std::string::npos ? address : SplitCredentials(address, scheme + 3, user, password);
}

std::string WithUrlCredentials(const std::string& address, const std::string& user, const std::string& password) {
  const size_t scheme = address.find("://");
  if (scheme == std::string::npos || user.empty()) return address;
  std::string login = PercentEncodePath(user);
  if (!password.empty()) {
    login += ':';
    login += PercentEncodePath(password);
  }
  for (size_t at = login.find('/'); at != std::string::npos; at = login.find('/', at)) login.replace(at, 1, "%2F");
  return address.substr(0, scheme + 3) + login + "@" + StripUrlCredentials(address).substr(scheme + 3);
}

InetServer ParseInetServer(const std::string& server, int defaultPort) {
  InetServer out;
  const size_t hostStart = server.find("://");
  std::string rest = SplitCredentials(server, hostStart == std::string::npos ? 0 : hostStart + 3, &out.user, &out.password);
  const size_t scheme = rest.find("://");
  if (scheme != std::string::npos) {
    out.secure = SchemeOf(rest) == "https";
    rest = rest.substr(scheme + 3);
  }
  rest = rest.substr(0, rest.find('/'));
  const size_t colon = rest.rfind(':');
  out.host = rest;
  out.port = defaultPort;
  if (colon != std::string::npos && rest.find(']', colon) == std::string::npos) {
    int port = 0;
    const std::string digits = rest.substr(colon + 1);
    const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
    // "host:" keeps the scheme's port, as a URL's empty port does.
    if (ec == std::errc() && ptr == digits.data() + digits.size() && port > 0 && port < 65536) {
      out.port = port;
    } else if (!digits.empty()) {
      out.badPort = digits;
    }
    out.host = rest.substr(0, colon);
  }
  return out;
}

void RefuseBadPort(const InetServer& server) {
  if (server.badPort.empty()) return;
  constexpr size_t kShownDigits = 20;
  const std::string shown = server.badPort.size() > kShownDigits ? server.badPort.substr(0, kShownDigits) + "..." : server.badPort;
  throw CInternetException(ERROR_INTERNET_INVALID_URL, "the port \"" + shown + "\" is not a port number from 1 to 65535");
}

std::string PercentEncodePath(const std::string& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(path.size() * 3);
  for (unsigned char c : path) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                       c == '.' || c == '_' || c == '~' || c == '/';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string PercentDecode(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

bool SameServer(const std::string& a, const std::string& b) {
  const InetServer x = ParseInetServer(a, 0);
  const InetServer y = ParseInetServer(b, 0);
  const auto port = [](const InetServer& s) { return s.port != 0 ? s.port : s.secure ? 443 : INTERNET_DEFAULT_HTTP_PORT; };
  return x.secure == y.secure && port(x) == port(y) && EqualsNoCase(x.host, y.host);
}

CInternetSession::CInternetSession(std::string agent, uint32_t) : agent_(std::move(agent)) {}

void CInternetSession::SetOption(unsigned option, uint32_t milliseconds) {
  switch (option) {
    case INTERNET_OPTION_CONNECT_TIMEOUT: timeouts_.connectMs = milliseconds; break;
    case INTERNET_OPTION_RECEIVE_TIMEOUT: timeouts_.receiveMs = milliseconds; break;
    case INTERNET_OPTION_SEND_TIMEOUT: timeouts_.sendMs = milliseconds; break;
    case kInternetOptionTransferTimeout: timeouts_.transferMs = milliseconds; break;
    default: break;
  }
}

std::unique_ptr<CFtpConnection> CInternetSession::GetFtpConnection(const std::string& server, const std::string& user,
                                                                   const std::string& password, int port, bool passive) {
  InetServer where = ParseInetServer(server, port == INTERNET_INVALID_PORT_NUMBER ? INTERNET_DEFAULT_FTP_PORT : port);
  RefuseBadPort(where);
  if (where.host.empty()) throw CInternetException(ERROR_INTERNET_INVALID_URL, "no server name");
  auto connection = std::make_unique<CFtpConnection>(timeouts_, where, user, password, passive);
  connection->Login();
  return connection;
}

std::unique_ptr<CHttpConnection> CInternetSession::GetHttpConnection(const std::string& server, int port,
                                                                     const std::string& user, const std::string& password) {
  InetServer where = ParseInetServer(server, port);
  RefuseBadPort(where);
  if (!user.empty()) {
    where.user = user;
    where.password = password;
  }
  if (where.port == INTERNET_INVALID_PORT_NUMBER) where.port = where.secure ? 443 : INTERNET_DEFAULT_HTTP_PORT;
  if (where.host.empty()) throw CInternetException(ERROR_INTERNET_INVALID_URL, "no server name");
  return std::make_unique<CHttpConnection>(timeouts_, where, agent_);
}

CHttpConnection::CHttpConnection(const plat::InetTimeouts& timeouts, InetServer server, std::string agent)
    : timeouts_(timeouts), server_(std::move(server)), agent_(std::move(agent)) {}

std::unique_ptr<CHttpFile> CHttpConnection::OpenRequest(const std::string&, const std::string& object, uint32_t) {
  std::string url = (server_.secure ? "https://" : "http://") + server_.host;
  const int defaultPort = server_.secure ? 443 : INTERNET_DEFAULT_HTTP_PORT;
  if (server_.port != defaultPort) {
    url += ':';
    url += std::to_string(server_.port);
  }
  std::string path = object;
  if (path.empty() || path[0] != '/') path = "/" + path;
  // Characters a URL cannot hold are encoded; what the object already encodes stays.
  std::string encoded;
  for (unsigned char c : path) {
    if (c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>' || c == '\\' || c == '^' || c == '`' ||
        c == '{' || c == '|' || c == '}') {
      static constexpr char kHex[] = "0123456789ABCDEF";
      encoded += '%';
      encoded += kHex[c >> 4];
      encoded += kHex[c & 15];
    } else {
      encoded += static_cast<char>(c);
    }
  }
  return std::make_unique<CHttpFile>(timeouts_, multi_, url + encoded, agent_, server_.user, server_.password);
}

CHttpFile::CHttpFile(const plat::InetTimeouts& timeouts, plat::InetMulti& multi, std::string url, std::string agent,
                     std::string user, std::string password)
    : CInternetFile(nullptr),
      timeouts_(timeouts),
      multi_(multi),
      url_(std::move(url)),
      agent_(std::move(agent)),
      user_(std::move(user)),
      password_(std::move(password)) {}

bool CHttpFile::AddRequestHeaders(const std::string& headers) {
  size_t start = 0;
  while (start < headers.size()) {
    size_t end = headers.find("\r\n", start);
    if (end == std::string::npos) end = headers.size();
    if (end > start) headers_.push_back(headers.substr(start, end - start));
    start = end + 2;
  }
  return true;
}

void CHttpFile::SendRequest() {
  const plat::CurlFunctions& curl = plat::CurlApi();
  const std::string scheme = SchemeOf(url_);
  std::unique_ptr<curl_slist, SlistDeleter> list;
  for (const std::string& h : headers_) list.reset(curl.curl_slist_append(list.release(), h.c_str()));
  const std::string asked = url_;
  std::string url = url_;
  for (int hop = 0;; ++hop) {
    transfer_ = std::make_unique<plat::InetTransfer>(multi_, timeouts_);
    CURL* e = transfer_->Easy();
    curl.curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl.curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl.curl_easy_setopt(e, CURLOPT_USERAGENT, agent_.c_str());
    curl.curl_easy_setopt(e, CURLOPT_HTTPHEADER, list.get());
    curl.curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
    if (compressed_) curl.curl_easy_setopt(e, CURLOPT_ACCEPT_ENCODING, "gzip, deflate");
    if (!user_.empty() && SameServer(url, asked)) {
      // Basic authentication, sent to the server of the request only: never to
      // another that a redirect names.
      curl.curl_easy_setopt(e, CURLOPT_USERNAME, user_.c_str());
      curl.curl_easy_setopt(e, CURLOPT_PASSWORD, password_.c_str());
    }
    transfer_->Start();
    plat::InetTransfer* t = transfer_.get();
    t->SetDeadline(plat::InetTransfer::Clock::now() +
                   std::chrono::milliseconds(uint64_t{timeouts_.connectMs} + timeouts_.receiveMs));
    t->DriveUntil([t] { return t->HeadersComplete(); });
    if (!t->HeadersComplete()) {
      if (t->Done() && t->Result() != CURLE_OK) throw t->Error();
      if (t->PastDeadline()) {
        t->Stop();
        throw CInternetException(ERROR_INTERNET_TIMEOUT, "the server's answer did not come in time");
      }
      throw CInternetException(ERROR_HTTP_INVALID_SERVER_RESPONSE, "the server's answer has no headers");
    }
    t->SetDeadline(std::nullopt);
    status_ = static_cast<uint32_t>(t->StatusCode());
    if (!IsRedirect(t->StatusCode()) || hop >= kMaxRedirects) break;
    const std::string next = RedirectTarget(url, LocationHeader(t->ReplyLines()));
    // A redirect to another scheme, or to a port that is no port number, stays the answer.
    if (next.empty() || SchemeOf(next) != scheme || !ParseInetServer(next, 0).badPort.empty()) break;
    url = next;
    url_ = url;
  }
}

std::string CHttpFile::Charset() const {
  constexpr size_t kLongestCharset = 40;
  if (!transfer_) return "";
  const std::string type = AsciiLowerCopy(LastAnswerHeader(transfer_->ReplyLines(), "content-type:"));
  const size_t at = type.find("charset=");
  if (at == std::string::npos) return "";
  std::string charset;
  for (size_t i = at + 8; i < type.size() && charset.size() < kLongestCharset; ++i) {
    const char c = type[i];
    if (c == '"' && charset.empty()) continue;
    if (!IsAsciiLetter(c) && !(c >= '0' && c <= '9') && c != '-' && c != '_' && c != '.' && c != ':') break;
    charset += c;
  }
  return charset;
}

bool CHttpFile::QueryInfoStatusCode(uint32_t& code) const {
  code = status_;
  return status_ != 0;
}
