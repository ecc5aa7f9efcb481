// Whether the X server a DISPLAY names answers, within a deadline. libX11 opens its
// connection with a wait that has no end: a server stopped (SIGSTOP) or a forwarding
// whose far end is gone accepts the connection and never replies. So before libX11
// is asked, a connection of our own goes to the same place (the local socket, else
// TCP port 6000 + the display number), sends the connection set-up and waits for the
// first bytes of the reply; connect and reply share the one deadline.
#pragma once

#include <string>
#include <string_view>

namespace plat {

// "" when the server answered, whatever it answered (libX11 then says more), or when
// the name is of a form not probed here; else why not, in words that follow
// "DISPLAY=NAME: ".
std::string ProbeXServer(std::string_view display, int deadlineMs);

}  // namespace plat
