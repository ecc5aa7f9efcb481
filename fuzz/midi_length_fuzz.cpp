// The MIDI length reader: any bytes give no length or a length within range, and
// a file cut shorter never gets longer than the whole.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "platform/mci/MidiLength.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto whole = plat::MidiLengthMs(std::span(data, size));
  if (whole && *whole < 0) std::abort();
  if (size > 0) {
    const auto cut = plat::MidiLengthMs(std::span(data, size - 1));
    if (cut && *cut < 0) std::abort();
  }
  return 0;
}
