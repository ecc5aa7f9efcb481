#include "platform/inet/InetTransfer.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/text/CodePage.h"
#include "platform/inet/CurlLibrary.h"

namespace plat {

namespace {

// A libcurl failure that is ours rather than the server's: a callback refused the data.
constexpr int kReplyTooLong = CURLE_WRITE_ERROR;
constexpr char kActiveModeNote[] = "sa_addr inet_ntop()";
constexpr int kQuietDoublings = 7;
constexpr long kLongestQuietWait = 100;
constexpr size_t kMaxReasonBytes = 400;

}  // namespace

uint32_t InetErrorOfCurl(int code) {
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST: return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT: return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT: return ERROR_INTERNET_TIMEOUT;
    case CURLE_LOGIN_DENIED: return ERROR_INTERNET_LOGIN_FAILURE;
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL: return ERROR_INTERNET_INVALID_URL;
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR: return ERROR_INTERNET_CONNECTION_RESET;
    case CURLE_GOT_NOTHING:
    case CURLE_WEIRD_SERVER_REPLY: return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    case CURLE_ABORTED_BY_CALLBACK: return ERROR_INTERNET_OPERATION_CANCELLED;
    default: return ERROR_INTERNET_EXTENDED_ERROR;
  }
}

const CurlFunctions& CurlApi() {
  std::string why;
  const CurlFunctions* curl = Curl(&why);
  if (!curl) throw CInternetException(ERROR_INTERNET_EXTENDED_ERROR, why);
  return *curl;
}

InetMulti::InetMulti() {
  if (const CurlFunctions* curl = Curl()) multi_ = curl->curl_multi_init();
}

InetMulti::~InetMulti() {
  if (multi_) Curl()->curl_multi_cleanup(multi_);
}

InetTransfer::InetTransfer(InetMulti& multi, const InetTimeouts& timeouts)
    : curl_(CurlApi()), multi_(multi), timeouts_(timeouts), easy_(curl_.curl_easy_init()) {
  if (!easy_) return;
  curl_.curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
  curl_.curl_easy_setopt(easy_, CURLOPT_VERBOSE, 0L);
  curl_.curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, errorText_);
  curl_.curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &InetTransfer::OnBody);
  curl_.curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
  curl_.curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &InetTransfer::OnHeader);
  curl_.curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
  curl_.curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(std::max<uint32_t>(timeouts.connectMs, 1)));
}

InetTransfer::~InetTransfer() {
  Stop();
  if (easy_) curl_.curl_easy_cleanup(easy_);
}

void InetTransfer::Start() {
  if (!easy_ || !multi_.Handle()) throw CInternetException(ERROR_INTERNET_EXTENDED_ERROR, "no transfer handle");
  lastActivity_ = Clock::now();
  if (curl_.curl_multi_add_handle(multi_.Handle(), easy_) != CURLM_OK) {
    throw CInternetException(ERROR_INTERNET_EXTENDED_ERROR, "the transfer cannot start");
  }
  started_ = true;
}

void InetTransfer::Stop() {
  if (started_) {
    curl_.curl_multi_remove_handle(multi_.Handle(), easy_);
    started_ = false;
  }
  if (!done_) {
    done_ = true;
    result_ = CURLE_ABORTED_BY_CALLBACK;
  }
}

size_t InetTransfer::OnBody(char* data, size_t size, size_t count, void* self) {
  auto* t = static_cast<InetTransfer*>(self);
  const size_t bytes = size * count;
  t->lastActivity_ = Clock::now();
  t->quietSteps_ = 0;
  if (t->buffer_.size() - t->readPos_ >= t->pullLimit_) {
    t->paused_ = true;
    return CURL_WRITEFUNC_PAUSE;
  }
  t->buffer_.append(data, bytes);
  return bytes;
}

size_t InetTransfer::OnHeader(char* data, size_t size, size_t count, void* self) {
  auto* t = static_cast<InetTransfer*>(self);
  const size_t bytes = size * count;
  t->lastActivity_ = Clock::now();
  t->quietSteps_ = 0;
  t->replyBytes_ += bytes;
  if (t->replyBytes_ > kMaxReplyBytes) {
    t->replyOverflow_ = true;
    return 0;
  }
  std::string line(data, bytes);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  if (line.starts_with("HTTP/")) {
    // A new status line: an interim (1xx) or redirect reply's headers are over.
    t->headersComplete_ = false;
    const size_t blank = line.find(' ');
    t->status_ = blank == std::string::npos ? 0 : std::strtol(line.c_str() + blank + 1, nullptr, 10);
  } else if (line.empty() && t->status_ >= 200) {
    t->headersComplete_ = true;
  }
  t->replyLines_.push_back(std::move(line));
  return bytes;
}

void InetTransfer::Resume() {
  if (!paused_ || buffer_.size() - readPos_ >= pullLimit_) return;
  paused_ = false;
  lastActivity_ = Clock::now();
  curl_.curl_easy_pause(easy_, CURLPAUSE_CONT);
}

void InetTransfer::Step(std::chrono::milliseconds cap) {
  int running = 0;
  curl_.curl_multi_perform(multi_.Handle(), &running);
  int left = 0;
  while (CURLMsg* msg = curl_.curl_multi_info_read(multi_.Handle(), &left)) {
    if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy_) {
      done_ = true;
      result_ = replyOverflow_ ? kReplyTooLong : msg->data.result;
    }
  }
  if (done_ || paused_) return;
  // Sleep on the sockets until libcurl's own next deadline, within the caller's.
  // libcurl 7.88 does not wait on an FTP data connection that is still being made
  // (after "229 Entering extended passive mode" it would sleep to its connect
  // time-out): right after the server spoke the wait is a millisecond, then it
  // doubles while nothing comes, up to kLongestQuietWait.
  long curlMs = -1;
  curl_.curl_multi_timeout(multi_.Handle(), &curlMs);
  const long quiet = std::min<long>(1L << quietSteps_, kLongestQuietWait);
  quietSteps_ = std::min(quietSteps_ + 1, kQuietDoublings);
  long wait = std::min<long>(static_cast<long>(cap.count()), quiet);
  if (curlMs >= 0) wait = std::min(wait, curlMs);
  if (wait > 0) curl_.curl_multi_poll(multi_.Handle(), nullptr, 0, static_cast<int>(wait), nullptr);
}

void InetTransfer::DriveUntil(const std::function<bool()>& ready) {
  using namespace std::chrono;
  while (!done_ && !ready()) {
    if (paused_) return;  // the reader has to make room first
    const auto now = Clock::now();
    if (deadline_ && now >= *deadline_) return;
    const auto idle = duration_cast<milliseconds>(now - lastActivity_);
    const auto limit = milliseconds(std::max(timeouts_.receiveMs, timeouts_.connectMs));
    if (idle >= limit) {
      Stop();
      result_ = CURLE_OPERATION_TIMEDOUT;
      throw CInternetException(ERROR_INTERNET_TIMEOUT, "the server did not answer in time");
    }
    auto cap = limit - idle;
    if (deadline_) cap = std::min(cap, duration_cast<milliseconds>(*deadline_ - now) + milliseconds(1));
    Step(cap);
  }
}

void InetTransfer::Finish() {
  while (!done_) {
    readPos_ = buffer_.size();  // nobody reads this body
    Resume();
    DriveUntil([] { return false; });
    if (!done_ && PastDeadline()) {
      Stop();
      result_ = CURLE_OPERATION_TIMEDOUT;
      throw CInternetException(ERROR_INTERNET_TIMEOUT, "the transfer did not end in time");
    }
  }
  if (result_ != CURLE_OK) throw Error();
}

int64_t InetTransfer::Read(void* buf, int64_t n) {
  if (n <= 0) return 0;
  const size_t want = static_cast<size_t>(n);
  pullLimit_ = std::max(kPullBufferBytes, want);
  while (buffer_.size() - readPos_ < want && !done_) {
    if (readPos_ > 0) {
      buffer_.erase(0, readPos_);
      readPos_ = 0;
    }
    Resume();
    DriveUntil([&] { return buffer_.size() - readPos_ >= want || paused_; });
    if (PastDeadline()) break;
  }
  const size_t have = buffer_.size() - readPos_;
  if (have < want && result_ != CURLE_OK) throw Error();
  const size_t take = std::min(have, want);
  std::memcpy(buf, buffer_.data() + readPos_, take);
  readPos_ += take;
  return static_cast<int64_t>(take);
}

std::optional<int64_t> InetTransfer::ContentLength() const {
  curl_off_t length = -1;
  if (!easy_ || curl_.curl_easy_getinfo(easy_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) != CURLE_OK || length < 0) {
    return std::nullopt;
  }
  return static_cast<int64_t>(length);
}

bool InetTransfer::Replied(const std::string& start) const {
  return std::any_of(replyLines_.begin(), replyLines_.end(), [&](const std::string& line) { return line.starts_with(start); });
}

CInternetException InetTransfer::Error() const {
  if (replyOverflow_) return CInternetException(ERROR_HTTP_INVALID_SERVER_RESPONSE, "the server's reply is too long");
  // libcurl refuses a header line longer than it keeps (100 KB) as "out of memory"
  // before the line reaches the reply callback: it is the server's answer that is at fault.
  if (result_ == CURLE_OUT_OF_MEMORY && !headersComplete_) {
    return CInternetException(ERROR_HTTP_INVALID_SERVER_RESPONSE, "a header line of the server's reply is too long");
  }
  // A server that refused the last command said why ("550 No such file"): its word
  // is the reason.
  if (!replyLines_.empty()) {
    const std::string& last = replyLines_.back();
    if (last.size() >= 4 && (last[0] == '4' || last[0] == '5') && std::isdigit(static_cast<unsigned char>(last[1])) &&
        std::isdigit(static_cast<unsigned char>(last[2])) && last[3] == ' ') {
      // A server that does not speak UTF-8 replies in its own code page (CP932).
      std::string reason = IsUtf8(last) ? last : Cp932ToUtf8(last);
      if (reason.size() > kMaxReasonBytes) {
        size_t cut = kMaxReasonBytes;
        while (cut > 0 && (static_cast<unsigned char>(reason[cut]) & 0xC0) == 0x80) --cut;
        reason.resize(cut);
      }
      return CInternetException(InetErrorOfCurl(result_), reason);
    }
  }
  // libcurl 7.88 notes a harmless failure to name the listening socket of an
  // active-mode data connection; being first, that note would stay the reason.
  const bool note = std::strncmp(errorText_, kActiveModeNote, sizeof kActiveModeNote - 1) == 0;
  std::string reason = errorText_[0] && !note ? errorText_ : curl_.curl_easy_strerror(static_cast<CURLcode>(result_));
  return CInternetException(InetErrorOfCurl(result_), reason);
}

}  // namespace plat

std::string CInternetException::GetErrorMessage() const {
  return plat::Utf8ToCp932Lossy("インターネットのエラー " + std::to_string(m_dwError) + ": " + m_strReason);
}
