// What the file layer's parts share inside the platform layer: a status record from
// the host's, and the unique part of work file and work folder names.
#pragma once

#include <sys/stat.h>

#include <string>

#include "platform/os/Files.h"

namespace plat {

FileInfo StatInfo(const struct stat& st);
// Six characters of a unique suffix.
std::string UniqueSuffix();

}  // namespace plat
