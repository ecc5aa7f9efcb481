#include "cli/OutputError.h"

#include <cerrno>
#include <cstring>
#include <ostream>

std::string OutputWriteError(std::ostream& out) {
  if (out.good()) out.flush();
  if (!out.bad()) return "";
  // Nothing ran since the failed write that could set errno: a failed stream
  // writes no more.
  const int error = errno;
  return error != 0 ? std::string("write error: ") + std::strerror(error) : std::string("write error");
}
