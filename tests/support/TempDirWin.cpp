#include "platform/os/Files.h"
#include "support/TestFiles.h"

namespace testenv {

std::string TempDir::Win() const { return plat::FromHostPath(host_); }

}  // namespace testenv
