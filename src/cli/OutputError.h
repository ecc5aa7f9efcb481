// Standard output that could not take the text (a full disk, /dev/full): the run
// fails with the system's reason, as cat does, instead of reporting success for
// text that never arrived.
#pragma once

#include <iosfwd>
#include <string>

// Flushes out; "" when every byte went, else "write error: " and the reason of the
// write that failed (as strerror gives it). A stream stops taking text at its first
// failed write, so the reason is that write's.
std::string OutputWriteError(std::ostream& out);
