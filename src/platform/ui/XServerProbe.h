// Whether the X server a DISPLAY names answers, within a deadline. libX11 opens its
// connection with a wait that has no end: a server stopped (SIGSTOP) or a forwarding
// whose far end is gone accepts the connection and never replies. So before libX11
// is asked, a connection of our own goes to the same place (the local socket, else
// TCP port 6000 + the display number), sends the connection set-up and waits for the
// first bytes of the reply; connect and reply share the one deadline.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace plat {

// What the probe found. silence is "" when the server answered, whatever it
// answered (libX11 then says more), or when the name is of a form not probed here;
// else why not, in words that follow "DISPLAY=NAME: ". An answered connection is
// held until the probe goes: a server whose last client leaves resets itself and
// refuses for that moment, so it is kept until libX11 has connected.
class XProbe {
 public:
  XProbe() = default;
  ~XProbe();
  XProbe(XProbe&& other) noexcept : silence(std::move(other.silence)), fd_(std::exchange(other.fd_, -1)) {}
  XProbe(const XProbe&) = delete;
  XProbe& operator=(const XProbe&) = delete;
  XProbe& operator=(XProbe&&) = delete;
  void Hold(int fd);

  std::string silence;

 private:
  int fd_ = -1;
};

XProbe ProbeXServer(std::string_view display, int deadlineMs);

}  // namespace plat
