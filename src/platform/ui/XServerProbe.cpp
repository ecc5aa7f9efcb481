#include "platform/ui/XServerProbe.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <optional>
#include <utility>

namespace plat {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kFirstTcpPort = 6000;

// Where a DISPLAY name points: a local socket, or a host reached by TCP.
struct XAddress {
  bool local = false;        // the socket path, in the abstract namespace first, then as a file
  bool tcpFallback = false;  // ":N" goes on to TCP on localhost when no local socket takes it
  std::string socketPath;
  std::string host;
  int display = 0;
};

// [protocol/]host:display[.screen] as libX11 reads it; nullopt for forms not probed
// (DECnet's "host::N", a display that is no number).
std::optional<XAddress> ParseDisplay(std::string_view name) {
  std::string protocol;
  if (!name.starts_with('/')) {
    const size_t slash = name.find('/');
    const size_t colon = name.rfind(':');
    if (slash != std::string_view::npos && colon != std::string_view::npos && slash < colon) {
      protocol = std::string(name.substr(0, slash));
      name.remove_prefix(slash + 1);
    }
  }
  const size_t colon = name.rfind(':');
  if (colon == std::string_view::npos) return std::nullopt;
  std::string_view host = name.substr(0, colon);
  std::string_view number = name.substr(colon + 1);
  number = number.substr(0, number.find('.'));
  if (host.ends_with(':') || number.empty() || number.size() > 5 ||
      !std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  XAddress a;
  a.display = std::stoi(std::string(number));
  if (host.starts_with('/')) {  // a socket named by its path
    a.local = true;
    a.socketPath = std::string(host);
    return a;
  }
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  const bool unixProtocol = protocol == "unix" || protocol == "local";
  if (unixProtocol || ((host.empty() || host == "unix") && protocol.empty())) {
    a.local = true;
    a.socketPath = "/tmp/.X11-unix/X" + std::string(number);
    a.tcpFallback = host.empty() && protocol.empty();
    return a;
  }
  a.host = std::string(host);
  return a;
}

int MsLeft(Clock::time_point end) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
  return static_cast<int>(std::clamp<int64_t>(left, 0, 1 << 30));
}

// Waits for events on fd until the deadline; false when it passed first.
bool WaitFor(int fd, short events, Clock::time_point end) {
  pollfd p{fd, events, 0};
  for (;;) {
    const int n = poll(&p, 1, MsLeft(end));
    if (n > 0) return true;
    if (n == 0) return false;
    if (errno != EINTR) return true;  // the call that follows tells the error
  }
}

class Socket {
 public:
  explicit Socket(int family) : fd_(socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)) {}
  ~Socket() {
    if (fd_ >= 0) close(fd_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  int Fd() const { return fd_; }
  int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

enum class Reached { kNobody, kSilent, kAnswered };

// Connects to addr, sends the connection set-up and waits for the reply's first
// bytes, all by the deadline. A connection that was answered is handed to held.
Reached Exchange(int family, const sockaddr* addr, socklen_t length, Clock::time_point end, XProbe& held) {
  Socket s(family);
  if (s.Fd() < 0) return Reached::kNobody;
  if (connect(s.Fd(), addr, length) != 0) {
    // A local socket whose queue is full refuses at once with EAGAIN: its server takes no one.
    if (errno == EAGAIN) return Reached::kSilent;
    if (errno != EINPROGRESS) return Reached::kNobody;
    if (!WaitFor(s.Fd(), POLLOUT, end)) return Reached::kSilent;
    int error = 0;
    socklen_t size = sizeof error;
    getsockopt(s.Fd(), SOL_SOCKET, SO_ERROR, &error, &size);
    if (error == ETIMEDOUT) return Reached::kSilent;
    if (error != 0) return Reached::kNobody;
  }
  // Byte order, protocol 11.0, no authorization (an X server answers even that).
  static constexpr char kSetup[12] = {'l', 0, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  for (size_t sent = 0; sent < sizeof kSetup;) {
    const ssize_t n = send(s.Fd(), kSetup + sent, sizeof kSetup - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      if (!WaitFor(s.Fd(), POLLOUT, end)) return Reached::kSilent;
    } else {
      return Reached::kAnswered;  // the server ended the connection: libX11 hears it at once
    }
  }
  // The reply opens with its status, the protocol version and its length: 8 bytes.
  char reply[8];
  for (size_t got = 0; got < sizeof reply;) {
    if (!WaitFor(s.Fd(), POLLIN, end)) return Reached::kSilent;
    const ssize_t n = recv(s.Fd(), reply + got, sizeof reply - got, 0);
    if (n > 0) {
      got += static_cast<size_t>(n);
    } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
      return Reached::kAnswered;
    }
  }
  held.Hold(s.Release());
  return Reached::kAnswered;
}

// The same through a local socket: the abstract name first, as libX11 tries it.
Reached ExchangeLocal(const std::string& path, Clock::time_point end, XProbe& held) {
  // The socket calls take the local address as the general one.
  union LocalAddress {
    sockaddr_un un;
    sockaddr any;
  };
  for (const bool abstract : {true, false}) {
    LocalAddress a{};
    a.un.sun_family = AF_UNIX;
    const size_t offset = abstract ? 1 : 0;
    if (path.size() + offset + 1 > sizeof a.un.sun_path) return Reached::kNobody;
    std::memcpy(a.un.sun_path + offset, path.data(), path.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size() + (abstract ? 0 : 1));
    const Reached r = Exchange(AF_UNIX, &a.any, length, end, held);
    if (r != Reached::kNobody) return r;
  }
  return Reached::kNobody;
}

Reached ExchangeTcp(const std::string& host, int display, Clock::time_point end, XProbe& held) {
  if (display > 65535 - kFirstTcpPort) return Reached::kNobody;
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(kFirstTcpPort + display).c_str(), &hints, &list) != 0) return Reached::kNobody;
  Reached r = Reached::kNobody;
  for (const addrinfo* i = list; i && r == Reached::kNobody; i = i->ai_next) r = Exchange(i->ai_family, i->ai_addr, i->ai_addrlen, end, held);
  freeaddrinfo(list);
  return r;
}

}  // namespace

XProbe::~XProbe() {
  if (fd_ >= 0) close(fd_);
}

void XProbe::Hold(int fd) {
  if (fd_ >= 0) close(fd_);
  fd_ = fd;
}

XProbe ProbeXServer(std::string_view display, int deadlineMs) {
  XProbe probe;
  const std::optional<XAddress> a = ParseDisplay(display);
  if (!a) return probe;
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(deadlineMs);
  Reached r = a->local ? ExchangeLocal(a->socketPath, end, probe) : Reached::kNobody;
  if (!a->local || (r == Reached::kNobody && a->tcpFallback)) {
    r = ExchangeTcp(a->host.empty() ? "localhost" : a->host, a->display, end, probe);
  }
  if (r != Reached::kSilent) return probe;  // an answer, or nobody there: libX11 says which at once
  probe.silence = "no answer from the X server within " + std::to_string(deadlineMs / 1000) +
                  " s (a stopped server or a dead forwarding)";
  return probe;
}

}  // namespace plat
