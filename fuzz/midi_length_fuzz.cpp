// The MIDI reader: any bytes give no length or a length within range, the events
// come in time order and never after the length, and a file cut shorter never gets
// longer than the whole.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "platform/mci/midi/MidiSequence.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto whole = plat::MidiLengthMs(std::span(data, size));
  if (whole && *whole < 0) std::abort();
  plat::MidiSequence sequence;
  if (sequence.Open(std::span(data, size))) {
    plat::MidiEvent event;
    int64_t last = 0;
    while (sequence.Next(event)) {
      if (event.timeUs < last || event.timeUs / 1000 > *whole) std::abort();
      if (event.status < 0x80 || (event.status >= 0xF0 && event.status != 0xF0)) std::abort();
      last = event.timeUs;
    }
    if (sequence.ElapsedMs() != *whole) std::abort();
  }
  if (size > 0) {
    const auto cut = plat::MidiLengthMs(std::span(data, size - 1));
    if (cut && *cut < 0) std::abort();
  }
  return 0;
}
