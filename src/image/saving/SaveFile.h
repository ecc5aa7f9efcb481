// Writing a finished file: the bytes go to a new work file beside the target (made
// under a unique name, never through a planted link) and are renamed over it only
// when all were written, so a failed save never leaves an empty or half file in
// place of the old one, and no other file is ever written in its place; the file
// replaced keeps its permissions. A failure is told to the user with the file's name
// and the system's reason, and returned with the id of the message shown.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "base/ConvertStatus.h"

ConvertStatus ReplaceFileWith(const std::string& target, std::span<const uint8_t> bytes);
// The message of a target that could not be written; error is the errno value.
ConvertStatus ShowWriteFailure(const std::string& target, int error);
// The message of a target that was not written for a reason of the program's own
// (why: UTF-8, e.g. the picture is too large for the format).
ConvertStatus ShowCannotCreate(const std::string& target, const std::string& why);
