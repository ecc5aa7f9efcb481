// A Standard MIDI File as the sequencer plays it: its tracks merged into one stream
// of timed events on the file's tempo map, and its playing time, the sequencer
// device's length. FFmpeg has no demuxer for MIDI, so the file is read here.
#pragma once

#include <cstdint>
#include <optional>
#include <queue>
#include <span>
#include <vector>

#include "base/ByteCursor.h"

namespace plat {

// A channel message (status 0x80 to 0xEF with its data bytes) or a system-exclusive
// message (status 0xF0, sysex the bytes after F0 without a closing F7).
struct MidiEvent {
  int64_t timeUs = 0;  // from the start of the file
  uint8_t status = 0;
  uint8_t data1 = 0;
  uint8_t data2 = 0;
  std::span<const uint8_t> sysex;
};

class MidiSequence {
 public:
  // Reads the header and finds the tracks; false when the bytes are not a MIDI file
  // (no "MThd" header or a division of 0). The bytes must outlive the sequence.
  bool Open(std::span<const uint8_t> bytes);
  // Back to the start.
  void Rewind();
  // The next event in time order (tracks at the same tick in their file order);
  // false at the end. Tempo and other meta events are taken on the way.
  bool Next(MidiEvent& event);
  // The time of the last event walked, in milliseconds (truncated); after the whole
  // walk, the file's length.
  int64_t ElapsedMs() const;

 private:
  struct Track {
    ByteCursor in;
    int64_t tick = 0;
    uint8_t running = 0;
    bool ended = false;
    // The event read ahead: its status (0xFF meta) and data.
    uint8_t status = 0;
    uint8_t meta = 0;
    uint8_t data1 = 0;
    uint8_t data2 = 0;
    uint32_t tempo = 0;
    std::span<const uint8_t> sysex;
  };
  // A track waiting with its read-ahead event: the earliest tick first, then the
  // track that comes first in the file.
  using Due = std::pair<int64_t, size_t>;

  bool ReadAhead(Track& track);
  void Queue(size_t index);
  void StartTracks(size_t first, size_t last);
  __int128 MicroAt(int64_t tick) const;
  __int128 UsAt(int64_t tick) const;  // from the start of the file

  std::vector<ByteCursor> bodies_;
  uint16_t format_ = 0;
  uint16_t division_ = 0;
  std::vector<Track> tracks_;
  std::priority_queue<Due, std::vector<Due>, std::greater<Due>> due_;
  size_t nextTrack_ = 0;        // format 2: the track that plays after the current one
  // The clock: the tick-microseconds (ticks x microseconds a quarter) up to the
  // last tempo change at lastTick_; endTick_ is the tick of the last event walked.
  __int128 micro_ = 0;
  int64_t lastTick_ = 0;
  int64_t endTick_ = 0;
  uint32_t tempo_ = 0;
  int64_t ticksPerSecond_ = 0;  // SMPTE division
  __int128 baseUs_ = 0;         // format 2: the time of the tracks played before
};

// The length in milliseconds (truncated), or nothing when the bytes are not a MIDI
// file. Tracks cut short end where their bytes end; a track without its end event
// counts up to its last event.
std::optional<int64_t> MidiLengthMs(std::span<const uint8_t> bytes);

}  // namespace plat
