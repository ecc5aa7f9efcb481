// Writing a finished file: the bytes go to a temporary name beside the target and
// are renamed over it only when all were written, so a failed save never leaves an
// empty or half file in place of the old one.
#pragma once

#include <cstdint>
#include <span>
#include <string>

bool ReplaceFileWith(const std::string& target, std::span<const uint8_t> bytes);
