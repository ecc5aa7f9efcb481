// The MCI command strings: any text either parses into a verb and a device, or
// gives one of the parser's three errors; an unopened device is refused by name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/mci/Mci.h"
#include "platform/mci/MciParse.h"
#include "platform/ui/Ui.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  plat::MciStringCommand cmd;
  const plat::MCIERROR e = plat::ParseMciString(text, cmd);
  if (e != 0 && e != plat::MCIERR_MISSING_COMMAND_STRING && e != plat::MCIERR_MISSING_DEVICE_NAME &&
      e != plat::MCIERR_NO_CLOSING_QUOTE) {
    std::abort();
  }
  if (e == 0 && (cmd.verb.empty() || cmd.device.empty())) std::abort();
  for (const auto& word : cmd.args) {
    plat::ParseMciInteger(word);
  }
  // Commands other than open reach no file: every device is unopened here.
  if (e == 0 && cmd.verb != "open") {
    plat::UiHost ui;
    plat::MciHost mci(ui);
    char reply[20];
    if (mci.SendString(text, reply, sizeof reply) != plat::MCIERR_INVALID_DEVICE_NAME) std::abort();
  }
  return 0;
}
