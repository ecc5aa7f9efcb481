// The playing time of a Standard MIDI File, from its tempo map: the sequencer
// device's length. FFmpeg has no demuxer for MIDI, so the file is read here.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace plat {

// The length in milliseconds (truncated), or nothing when the bytes are not a MIDI
// file (no "MThd" header or a division of 0). Tracks cut short end where their bytes
// end; a track without its end event counts up to its last event.
std::optional<int64_t> MidiLengthMs(std::span<const uint8_t> bytes);

}  // namespace plat
