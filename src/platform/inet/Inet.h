// The internet classes the program's logic calls (sessions, FTP connections, files
// and finds, HTTP connections and requests), on libcurl's multi interface. They
// keep the names and the behaviour the callers rely on:
// - GetFtpConnection connects and logs in at once: a refused port or a bad login
//   throws there. The connection keeps its current folder itself and addresses
//   every operation by absolute URL ("%2F" for the root), names percent-encoded and
//   sent as UTF-8 when the server's FEAT lists UTF8, else as the CP932 bytes.
// - SetCurrentDirectory returns false instead of throwing.
// - OpenFile fails at open time for a missing file; Read fills the request and is
//   short only at the end of the data; a broken transfer throws.
// - An HTTP request is sent by SendRequest (a refused port throws there) and its
//   status is known once the headers are complete; redirects to the same scheme
//   are followed (at most 10), any other stays the answer's status.
// A server's host may carry ":port"; text after the first '/' is not part of it.
// User names and passwords reach libcurl only as options, never inside a URL: a
// "user:password@" in front of a host is taken out of it (and out of every address
// this layer shows) and used as the login.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/inet/FtpListing.h"
#include "platform/inet/InetError.h"
#include "platform/inet/InetTransfer.h"

enum : unsigned { INTERNET_OPTION_CONNECT_TIMEOUT = 2, INTERNET_OPTION_SEND_TIMEOUT = 5, INTERNET_OPTION_RECEIVE_TIMEOUT = 6 };
// This layer's own option: the most one FTP listing or GetFile may take.
constexpr unsigned kInternetOptionTransferTimeout = 0x10001;
enum : uint32_t {
  FTP_TRANSFER_TYPE_ASCII = 1,
  FTP_TRANSFER_TYPE_BINARY = 2,
  INTERNET_FLAG_TRANSFER_ASCII = 1,
  INTERNET_FLAG_NO_CACHE_WRITE = 0x04000000,
  INTERNET_FLAG_RELOAD = 0x80000000,
};
constexpr int INTERNET_INVALID_PORT_NUMBER = 0;
constexpr int INTERNET_DEFAULT_FTP_PORT = 21;
constexpr int INTERNET_DEFAULT_HTTP_PORT = 80;

// A server text split into host and port ("user:pw@host:port/path" gives host and
// port, and the user and password, percent-decoded). A port that is not a number
// from 1 to 65535 is kept in badPort and the server is not to be reached at all:
// no other port stands in for it.
struct InetServer {
  std::string host;
  int port = 0;  // 0: the scheme's default
  bool secure = false;  // "https://" in front
  std::string user;
  std::string password;
  std::string badPort;  // the port as written when it is no port number
};
InetServer ParseInetServer(const std::string& server, int defaultPort);
// Throws CInternetException for a server whose port is no port number.
void RefuseBadPort(const InetServer& server);
// An address ("scheme://...") without the "user:password@" in front of its host; the
// two parts (percent-decoded) go to *user and *password when given. Other texts
// stay as they are.
std::string StripUrlCredentials(const std::string& address, std::string* user = nullptr,
                                std::string* password = nullptr);
// The address ("scheme://host/...") with "user:password@" (percent-encoded) in front of
// its host, as a login for the browser control; other texts and an empty user stay.
std::string WithUrlCredentials(const std::string& address, const std::string& user, const std::string& password);
// Percent-encodes a path ('/' kept), and decodes "%XX" escapes (others stay).
std::string PercentEncodePath(const std::string& path);
std::string PercentDecode(std::string_view text);
// Whether two addresses name the same server: scheme, host (without case) and port
// (the scheme's own when none is written). A login goes to its own server only.
bool SameServer(const std::string& a, const std::string& b);

// A file being read from a server.
class CInternetFile {
 public:
  explicit CInternetFile(std::unique_ptr<plat::InetTransfer> transfer) : transfer_(std::move(transfer)) {}
  virtual ~CInternetFile() = default;
  // Fills buf with n bytes, fewer only at the end or at the deadline; throws
  // CInternetException.
  int64_t Read(void* buf, int64_t n) { return transfer_ ? transfer_->Read(buf, n) : 0; }
  // Reads wait until then at the most (nullopt: as long as data keeps coming).
  void SetDeadline(std::optional<plat::InetTransfer::Clock::time_point> deadline) {
    if (transfer_) transfer_->SetDeadline(deadline);
  }
  // The length the server gave for the data; nullopt when it gave none.
  std::optional<int64_t> Length() const { return transfer_ ? transfer_->ContentLength() : std::nullopt; }
  // All of the data has been read.
  bool AtEnd() const { return !transfer_ || (transfer_->Done() && transfer_->BufferedBytes() == 0); }
  virtual void Close() { transfer_.reset(); }

 protected:
  std::unique_ptr<plat::InetTransfer> transfer_;
};

class CFtpConnection {
 public:
  CFtpConnection(const plat::InetTimeouts& timeouts, InetServer server, std::string user, std::string password,
                 bool passive);
  // Connects and logs in, reads the server's features; throws.
  void Login();

  bool SetCurrentDirectory(const std::string& dir);
  bool GetCurrentDirectory(std::string& dir) const;
  // Opens a file of the current folder (or an absolute name) for reading; throws
  // when it is missing or cannot be read. A file whose size the server will not
  // tell (SIZE answered 550 or 502) opens all the same, its length unknown.
  std::unique_ptr<CInternetFile> OpenFile(const std::string& name, uint32_t flags = FTP_TRANSFER_TYPE_BINARY);
  // How a download ended.
  enum class GetFileEnd { Done, Failed, TooLarge, Late };
  // Downloads a remote file into a local one, stopping past maxBytes (at once when the
  // server's size passes it) or the session's transfer time; false on any failure (no
  // partial file stays), how it ended in *end and, for a failure the server or the
  // library gave, its error-box text in *why.
  bool GetFile(const std::string& remote, const std::string& localWinPath, bool failIfExists,
               int64_t maxBytes = INT64_MAX, GetFileEnd* end = nullptr, std::string* why = nullptr);
  // The entries of a folder (absolute, or relative to the current one); throws. A
  // UTF-8 server's name that CP932 cannot express is left out, and counted.
  std::vector<FtpListEntry> List(const std::string& dir);
  // The names the last listing left out.
  size_t LeftOutNames() const { return leftOut_; }
  // The address of a name as a user writes it (without credentials, the path in CP932
  // as it is), for listings shown: given back, it opens that file.
  std::string UrlOf(const std::string& name) const;
  bool Utf8Names() const { return utf8_; }
  void Close();

 private:
  std::unique_ptr<plat::InetTransfer> NewTransfer(const std::string& absPath);
  std::string AbsolutePath(const std::string& name) const;
  // The URL a transfer goes to (the port is an option of its own).
  std::string TransferUrlOf(const std::string& name) const;

  plat::InetTimeouts timeouts_;
  InetServer server_;
  std::string user_;
  std::string password_;
  bool passive_;
  bool utf8_ = false;
  std::string currentDir_ = "/";
  size_t leftOut_ = 0;
  std::unique_ptr<plat::InetMulti> multi_;
};

// The note that says a listing left out count names ("" for none), in CP932.
std::string FtpLeftOutNote(size_t count);

// Iterates over a folder's entries, as the file-find classes do.
class CFtpFileFind {
 public:
  explicit CFtpFileFind(CFtpConnection& connection) : connection_(connection) {}
  // Lists a folder (empty: the current one); false when nothing was found. Throws
  // on a broken transfer.
  bool FindFile(const std::string& dir = "");
  bool FindNextFile();
  std::string GetFileName() const;
  std::string GetFileURL() const;
  bool IsDirectory() const;
  int64_t GetLength() const;
  // The names the folder's listing left out (LeftOutNames).
  size_t LeftOutNames() const { return connection_.LeftOutNames(); }

 private:
  CFtpConnection& connection_;
  std::string dir_;
  std::vector<FtpListEntry> entries_;
  int current_ = -1;
  size_t next_ = 0;
};

class CHttpFile : public CInternetFile {
 public:
  CHttpFile(const plat::InetTimeouts& timeouts, plat::InetMulti& multi, std::string url, std::string agent,
            std::string user = "", std::string password = "");
  bool AddRequestHeaders(const std::string& headers);
  // Asks for the body compressed (gzip or deflate) and reads it decoded, as the
  // browser control does; a server that compresses unasked is decoded too.
  void AcceptCompressed() { compressed_ = true; }
  // Sends the request and waits for the answer's headers (connect and receive
  // time-outs together bound them, however slowly they come); throws.
  void SendRequest();
  bool QueryInfoStatusCode(uint32_t& code) const;
  const std::string& GetFileURL() const { return url_; }
  // The character set the answer's Content-Type names ("utf-8"), letters, digits and
  // "-_.:" only; "" when it names none.
  std::string Charset() const;

 private:
  plat::InetTimeouts timeouts_;
  plat::InetMulti& multi_;
  std::string url_;
  std::string agent_;
  std::string user_;
  std::string password_;
  std::vector<std::string> headers_;
  bool compressed_ = false;
  uint32_t status_ = 0;
};

class CHttpConnection {
 public:
  CHttpConnection(const plat::InetTimeouts& timeouts, InetServer server, std::string agent);
  std::unique_ptr<CHttpFile> OpenRequest(const std::string& verb, const std::string& object, uint32_t flags = 0);
  void Close() {}

 private:
  plat::InetTimeouts timeouts_;
  InetServer server_;
  std::string agent_;
  plat::InetMulti multi_;
};

class CInternetSession {
 public:
  explicit CInternetSession(std::string agent, uint32_t context = 1);
  void SetOption(unsigned option, uint32_t milliseconds);
  // Connects and logs in; throws CInternetException.
  std::unique_ptr<CFtpConnection> GetFtpConnection(const std::string& server, const std::string& user,
                                                   const std::string& password, int port = INTERNET_INVALID_PORT_NUMBER,
                                                   bool passive = false);
  // Nothing goes to the network before a request is sent. A user name (given, or
  // in front of the host) logs in with basic authentication.
  std::unique_ptr<CHttpConnection> GetHttpConnection(const std::string& server, int port = INTERNET_INVALID_PORT_NUMBER,
                                                     const std::string& user = "", const std::string& password = "");
  void Close() {}
  const plat::InetTimeouts& Timeouts() const { return timeouts_; }

 private:
  std::string agent_;
  plat::InetTimeouts timeouts_;
};
