// One libcurl transfer driven on its connection's multi handle from the one
// user-interface thread (no threads, no callbacks into the program). The body goes
// into a pull buffer: the transfer pauses while the buffer is full and resumes as
// the reader drains it, so a reader takes exactly what it asks for and a short read
// means the end of the data. Server replies (HTTP headers, FTP response lines) are
// kept line by line within a bound. A transfer that breaks, stalls longer than the
// receive time-out or oversteps a bound throws CInternetException: it never looks
// like an end of file. A caller's deadline bounds every wait, however slowly the
// server keeps sending: at it a read returns what has come (PastDeadline tells).
// Waits sleep on the transfer's sockets for as long as libcurl asks, and only
// briefly right after the server spoke.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/inet/InetError.h"

typedef void CURL;
typedef void CURLM;

namespace plat {

struct CurlFunctions;

// libcurl's functions, loaded on first use; throws CInternetException with the
// system's text when libcurl cannot be loaded.
const CurlFunctions& CurlApi();

// Time-outs in milliseconds, as the session's options set them. transferMs bounds
// a whole FTP folder listing or file download (GetFile), the headers of an HTTP
// answer are bounded by connectMs + receiveMs.
struct InetTimeouts {
  uint32_t connectMs = 30000;
  uint32_t receiveMs = 30000;
  uint32_t sendMs = 30000;
  uint32_t transferMs = 360000;
};

// A multi handle with its connection cache: the FTP login and HTTP keep-alive
// connections live here between transfers.
class InetMulti {
 public:
  InetMulti();
  ~InetMulti();
  InetMulti(const InetMulti&) = delete;
  InetMulti& operator=(const InetMulti&) = delete;
  CURLM* Handle() const { return multi_; }

 private:
  CURLM* multi_;
};

class InetTransfer {
 public:
  // Bytes held before the transfer pauses, and the most reply text kept.
  static constexpr size_t kPullBufferBytes = 65536;
  static constexpr size_t kMaxReplyBytes = 65536;

  // Throws CInternetException when libcurl cannot be loaded.
  InetTransfer(InetMulti& multi, const InetTimeouts& timeouts);
  ~InetTransfer();
  InetTransfer(const InetTransfer&) = delete;
  InetTransfer& operator=(const InetTransfer&) = delete;

  // The easy handle, for the caller's options before Start.
  CURL* Easy() const { return easy_; }
  void Start();
  // Ends the transfer where it stands (its connection is dropped when unfinished).
  void Stop();

  using Clock = std::chrono::steady_clock;
  // Waits end there from now on (nullopt: no deadline).
  void SetDeadline(std::optional<Clock::time_point> deadline) { deadline_ = deadline; }
  bool PastDeadline() const { return deadline_ && Clock::now() >= *deadline_; }

  // Drives the transfer until `ready` holds, it ends or the deadline passes. Throws
  // on a stall longer than the receive time-out.
  void DriveUntil(const std::function<bool()>& ready);
  // Drives it to its end and throws when it failed or the deadline passed.
  void Finish();

  // Fills buf with n bytes; fewer only at the end of the data or at the deadline.
  // Throws on a failed transfer, also when part of the request could be filled.
  int64_t Read(void* buf, int64_t n);

  bool Done() const { return done_; }
  int Result() const { return result_; }  // CURLcode once done
  // The error of a failed transfer as the session reports it.
  CInternetException Error() const;

  // Reply lines seen so far (CR LF removed), and whether an HTTP reply's header
  // block is complete (a final status line and its blank line).
  const std::vector<std::string>& ReplyLines() const { return replyLines_; }
  bool HeadersComplete() const { return headersComplete_; }
  long StatusCode() const { return status_; }
  // The length the server gave for the body (an FTP server's SIZE, an HTTP
  // Content-Length); nullopt while it is not known.
  std::optional<int64_t> ContentLength() const;
  // Whether a reply line begins with this text ("213 ").
  bool Replied(const std::string& start) const;
  int64_t BufferedBytes() const { return static_cast<int64_t>(buffer_.size() - readPos_); }

 private:
  static size_t OnBody(char* data, size_t size, size_t count, void* self);
  static size_t OnHeader(char* data, size_t size, size_t count, void* self);
  void Step(std::chrono::milliseconds wait);
  void Resume();

  const CurlFunctions& curl_;
  InetMulti& multi_;
  InetTimeouts timeouts_;
  CURL* easy_;
  bool started_ = false;
  bool done_ = false;
  bool paused_ = false;
  int result_ = 0;
  char errorText_[256] = {};
  std::string buffer_;
  size_t readPos_ = 0;
  size_t pullLimit_ = kPullBufferBytes;
  std::vector<std::string> replyLines_;
  size_t replyBytes_ = 0;
  bool replyOverflow_ = false;
  bool headersComplete_ = false;
  long status_ = 0;
  Clock::time_point lastActivity_;
  int quietSteps_ = 0;  // waits since the server last sent something
  std::optional<Clock::time_point> deadline_;
};

}  // namespace plat
