// FTP on libcurl. Each operation is one transfer on the connection's multi handle,
// whose connection cache keeps the one login alive between them. libcurl is told
// not to change folders (NOCWD): the path in the URL goes whole into RETR, MLSD or
// LIST, and a folder change is checked with a CWD sent as a quote command.
#include <curl/curl.h>

#include <algorithm>
#include <chrono>

#include "platform/text/CodePage.h"
#include "platform/os/Files.h"
#include "platform/inet/CurlLibrary.h"
#include "platform/inet/Inet.h"

namespace {

constexpr int64_t kMaxListingBytes = 16 << 20;

struct SlistDeleter {
  void operator()(curl_slist* list) const { plat::Curl()->curl_slist_free_all(list); }
};
using Slist = std::unique_ptr<curl_slist, SlistDeleter>;

}  // namespace

CFtpConnection::CFtpConnection(const plat::InetTimeouts& timeouts, InetServer server, std::string user,
                               std::string password, bool passive)
    : timeouts_(timeouts),
      server_(std::move(server)),
      user_(std::move(user)),
      password_(std::move(password)),
      passive_(passive),
      multi_(std::make_unique<plat::InetMulti>()) {
  if (user_.empty()) {
    user_ = server_.user;
    password_ = server_.password;
  }
  if (user_.empty()) user_ = "anonymous";
}

std::string CFtpConnection::UrlOf(const std::string& name) const {
  // The path as it is (CP932, nothing escaped): the address opens the file when it is
  // given back, as every FTP address here is read.
  std::string url = "ftp://" + server_.host;
  if (server_.port != 0 && server_.port != INTERNET_DEFAULT_FTP_PORT) {
    url += ':';
    url += std::to_string(server_.port);
  }
  return url + AbsolutePath(name);
}

std::string CFtpConnection::TransferUrlOf(const std::string& name) const {
  std::string path = AbsolutePath(name);
  if (utf8_) path = plat::Cp932ToUtf8(path);
  // "%2F" makes the path absolute: the server sees it from its root, not from the
  // folder the login starts in.
  return "ftp://" + server_.host + "/%2F" + PercentEncodePath(path.substr(1));
}

std::string CFtpConnection::AbsolutePath(const std::string& name) const {
  if (!name.empty() && name[0] == '/') return name;
  std::string dir = currentDir_;
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir + name;
}

std::unique_ptr<plat::InetTransfer> CFtpConnection::NewTransfer(const std::string& absPath) {
  if (!multi_) throw CInternetException(ERROR_INTERNET_CONNECTION_ABORTED, "the FTP connection is closed");
  const plat::CurlFunctions& curl = plat::CurlApi();
  auto t = std::make_unique<plat::InetTransfer>(*multi_, timeouts_);
  CURL* e = t->Easy();
  const std::string url = TransferUrlOf(absPath);
  curl.curl_easy_setopt(e, CURLOPT_URL, url.c_str());
  curl.curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "ftp");
  if (server_.port != 0) curl.curl_easy_setopt(e, CURLOPT_PORT, static_cast<long>(server_.port));
  curl.curl_easy_setopt(e, CURLOPT_USERNAME, user_.c_str());
  curl.curl_easy_setopt(e, CURLOPT_PASSWORD, password_.c_str());
  curl.curl_easy_setopt(e, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
  // A reply the server keeps dribbling (continuation lines without its last) is bounded
  // by the session's time to answer, in whole seconds, as every other wait is: not by
  // libcurl's own two minutes.
  const uint32_t answerMs = std::max(timeouts_.receiveMs, timeouts_.connectMs);
  curl.curl_easy_setopt(e, CURLOPT_SERVER_RESPONSE_TIMEOUT, static_cast<long>(std::max<uint32_t>(1, (answerMs + 999) / 1000)));
  // Active: the server connects back (EPRT, then PORT); passive: EPSV, then PASV.
  curl.curl_easy_setopt(e, CURLOPT_FTPPORT, passive_ ? nullptr : "-");
  return t;
}

void CFtpConnection::Login() {
  const plat::CurlFunctions& curl = plat::CurlApi();
  auto t = NewTransfer("/");
  Slist feat(curl.curl_slist_append(nullptr, "FEAT"));
  // A listing needs of each entry its type and size only: a server that takes the
  // choice of MLSD facts (RFC 3659) then leaves out the dates, permissions and ids it
  // would work out for every entry. "*": a server without the choice may refuse it.
  feat.reset(curl.curl_slist_append(feat.release(), "*OPTS MLST type;size;"));
  curl.curl_easy_setopt(t->Easy(), CURLOPT_NOBODY, 1L);
  curl.curl_easy_setopt(t->Easy(), CURLOPT_QUOTE, feat.get());
  t->Start();
  try {
    t->Finish();
  } catch (const CInternetException&) {
    // A server without FEAT still logs in: try once more without it.
    if (t->Result() != CURLE_QUOTE_ERROR) throw;
    auto plain = NewTransfer("/");
    curl.curl_easy_setopt(plain->Easy(), CURLOPT_NOBODY, 1L);
    plain->Start();
    plain->Finish();
    return;
  }
  for (const std::string& line : t->ReplyLines()) {
    if (line == " UTF8" || line.starts_with(" UTF8 ")) utf8_ = true;
  }
}

bool CFtpConnection::SetCurrentDirectory(const std::string& dir) {
  std::string path = AbsolutePath(dir);
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const std::string wire = utf8_ ? plat::Cp932ToUtf8(path) : path;
  if (wire.find_first_of("\r\n") != std::string::npos) return false;
  try {
    const plat::CurlFunctions& curl = plat::CurlApi();
    auto t = NewTransfer("/");
    Slist cwd(curl.curl_slist_append(nullptr, ("CWD " + wire).c_str()));
    curl.curl_easy_setopt(t->Easy(), CURLOPT_NOBODY, 1L);
    curl.curl_easy_setopt(t->Easy(), CURLOPT_QUOTE, cwd.get());
    t->Start();
    t->Finish();
  } catch (const CInternetException&) {
    return false;
  }
  currentDir_ = path;
  return true;
}

bool CFtpConnection::GetCurrentDirectory(std::string& dir) const {
  dir = currentDir_;
  return true;
}

std::unique_ptr<CInternetFile> CFtpConnection::OpenFile(const std::string& name, uint32_t flags) {
  const plat::CurlFunctions& curl = plat::CurlApi();
  const std::string path = AbsolutePath(name);
  // libcurl asks the file's SIZE before RETR and takes a 550 there for a missing
  // file; a server may refuse SIZE for a file it sends, so without a "213" size the
  // file is asked for once more, by RETR alone. When that finds no file either, the
  // first refusal is the reason (a server's SIZE answer names the file).
  std::optional<CInternetException> sizeRefused;
  for (const bool askSize : {true, false}) {
    auto t = NewTransfer(path);
    if (flags & FTP_TRANSFER_TYPE_ASCII) curl.curl_easy_setopt(t->Easy(), CURLOPT_TRANSFERTEXT, 1L);
    if (!askSize) curl.curl_easy_setopt(t->Easy(), CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
    t->Start();
    // The file is open once the server starts sending it (or has sent all of it).
    plat::InetTransfer* raw = t.get();
    raw->DriveUntil([raw] { return raw->BufferedBytes() > 0; });
    if (raw->Done() && raw->Result() != CURLE_OK) {
      const bool notFound = raw->Result() == CURLE_REMOTE_FILE_NOT_FOUND;
      if (askSize && notFound && !raw->Replied("213 ")) {
        sizeRefused = raw->Error();
        continue;
      }
      throw notFound && sizeRefused ? *sizeRefused : raw->Error();
    }
    return std::make_unique<CInternetFile>(std::move(t));
  }
  throw *sizeRefused;
}

bool CFtpConnection::GetFile(const std::string& remote, const std::string& localWinPath, bool failIfExists,
                             int64_t maxBytes, GetFileEnd* end, std::string* why) {
  GetFileEnd how = GetFileEnd::Failed;
  if (end) *end = how;
  if (failIfExists && plat::Exists(localWinPath)) return false;
  plat::File local;
  if (!local.Open(localWinPath, plat::File::Mode::Write)) return false;
  try {
    auto file = OpenFile(remote);
    file->SetDeadline(plat::InetTransfer::Clock::now() + std::chrono::milliseconds(timeouts_.transferMs));
    std::vector<char> block(65536);
    if (const std::optional<int64_t> length = file->Length(); length && *length > maxBytes) how = GetFileEnd::TooLarge;
    for (int64_t total = 0; how != GetFileEnd::TooLarge;) {
      const int64_t got = file->Read(block.data(), static_cast<int64_t>(block.size()));
      total += got;
      if (total > maxBytes) {
        how = GetFileEnd::TooLarge;
        break;
      }
      if (got > 0 && !local.Write(block.data(), got)) break;
      if (got < static_cast<int64_t>(block.size())) {
        how = file->AtEnd() ? GetFileEnd::Done : GetFileEnd::Late;
        break;
      }
    }
  } catch (const CInternetException& e) {
    how = GetFileEnd::Failed;
    if (why) *why = e.GetErrorMessage();
  }
  local.Close();
  if (end) *end = how;
  if (how != GetFileEnd::Done) plat::RemoveFile(localWinPath);
  return how == GetFileEnd::Done;
}

std::vector<FtpListEntry> CFtpConnection::List(const std::string& dir) {
  std::string path = AbsolutePath(dir);
  if (path.back() != '/') path += '/';
  // The whole listing, both tries, within the transfer time.
  const auto deadline = plat::InetTransfer::Clock::now() + std::chrono::milliseconds(timeouts_.transferMs);
  auto readAll = [&](const char* command) {
    auto t = NewTransfer(path);
    if (command) plat::CurlApi().curl_easy_setopt(t->Easy(), CURLOPT_CUSTOMREQUEST, command);
    t->SetDeadline(deadline);
    t->Start();
    std::string text;
    std::vector<char> block(65536);
    for (;;) {
      const int64_t got = t->Read(block.data(), static_cast<int64_t>(block.size()));
      if (t->PastDeadline() && !t->Done()) {
        throw CInternetException(ERROR_INTERNET_TIMEOUT, "the folder listing did not come in time");
      }
      if (static_cast<int64_t>(text.size()) + got > kMaxListingBytes) {
        throw CInternetException(ERROR_HTTP_INVALID_SERVER_RESPONSE, "the folder listing is too long");
      }
      text.append(block.data(), static_cast<size_t>(got));
      if (got < static_cast<int64_t>(block.size())) break;
    }
    return text;
  };
  std::vector<FtpListEntry> entries;
  try {
    entries = ParseFtpListing(readAll("MLSD"), true);
  } catch (const CInternetException& e) {
    // A server without MLSD refuses the command: LIST serves instead.
    if (e.m_dwError != ERROR_INTERNET_EXTENDED_ERROR && e.m_dwError != ERROR_HTTP_INVALID_SERVER_RESPONSE) throw;
    entries = ParseFtpListing(readAll(nullptr), false);
  }
  leftOut_ = 0;
  if (utf8_) {
    // A name CP932 cannot express is left out (and counted): under its lossy form it
    // would name another file.
    leftOut_ = std::erase_if(entries, [](FtpListEntry& entry) {
      // An ASCII name is the same in both.
      if (std::all_of(entry.name.begin(), entry.name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        return false;
      }
      std::optional<std::string> name = plat::Utf8ToCp932(entry.name);
      if (name) entry.name = std::move(*name);
      return !name;
    });
  }
  return entries;
}

void CFtpConnection::Close() { multi_.reset(); }

std::string FtpLeftOutNote(size_t count) {
  if (count == 0) return "";
  return plat::Utf8ToCp932Lossy(std::to_string(count) + (count == 1 ? " name" : " names") +
                                " of the folder left out: CP932 (Shift-JIS) cannot express " +
                                (count == 1 ? "it" : "them"));
}

bool CFtpFileFind::FindFile(const std::string& dir) {
  std::string current;
  connection_.GetCurrentDirectory(current);
  dir_ = dir.empty() ? current : dir;
  entries_ = connection_.List(dir_);
  current_ = -1;
  next_ = 0;
  return !entries_.empty();
}

bool CFtpFileFind::FindNextFile() {
  if (next_ >= entries_.size()) return false;
  current_ = static_cast<int>(next_++);
  return next_ < entries_.size();
}

std::string CFtpFileFind::GetFileName() const { return current_ >= 0 ? entries_[current_].name : ""; }

std::string CFtpFileFind::GetFileURL() const {
  if (current_ < 0) return "";
  std::string dir = dir_;
  if (dir.empty() || dir.back() != '/') dir += '/';
  return connection_.UrlOf(dir + entries_[current_].name);
}

bool CFtpFileFind::IsDirectory() const { return current_ >= 0 && entries_[current_].isDirectory; }

int64_t CFtpFileFind::GetLength() const { return current_ >= 0 ? entries_[current_].size : 0; }
