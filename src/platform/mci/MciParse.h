// The MCI command strings: a verb, the device (a word, or a path in double quotes)
// and the argument words. Words are separated by blanks or tabs; double quotes hold
// blanks. The verb and the arguments compare without case, the device as written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/mci/MciErrors.h"

namespace plat {

struct MciStringCommand {
  std::string verb;               // lower case
  std::string device;             // quotes removed
  std::vector<std::string> args;  // lower case, quotes removed
};

// Splits a command; 0, or MCIERR_MISSING_COMMAND_STRING (nothing but blanks),
// MCIERR_MISSING_DEVICE_NAME (a verb alone) or MCIERR_NO_CLOSING_QUOTE.
MCIERROR ParseMciString(std::string_view text, MciStringCommand& out);

// An MCI integer argument: optional sign, decimal digits, within 32 bits.
std::optional<int64_t> ParseMciInteger(std::string_view word);

}  // namespace plat
