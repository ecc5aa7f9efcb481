// Standard MIDI File reading. The header gives the format, the track count and the
// division (ticks per quarter note, or SMPTE frames per second and ticks per frame).
// Each "MTrk" chunk is walked event by event: a variable-length delta time, then a
// channel message (with running status), a system-exclusive block or a meta event;
// tempo events (FF 51 03) make the tempo map. Formats 0 and 1 play their tracks
// together on one tempo map, merged by tick; format 2 plays its tracks one after
// another, each with its own tempos, so its length is the sum of theirs (summed in
// microseconds, truncated to milliseconds once).
//
// Every read goes through the byte cursor, so a lying chunk length or a cut event
// ends the track at the bytes that are there; data with no status before it ends the
// track too. Ticks and times are 64-bit and the tempo sums 128-bit: a delta time has
// at most four bytes, so a track of n bytes holds at most n * 2^28 ticks.
#include "platform/mci/midi/MidiSequence.h"

#include <algorithm>

namespace plat {
namespace {

constexpr uint32_t kDefaultTempo = 500000;  // microseconds per quarter note (120 bpm)
constexpr int64_t kMaxMs = INT64_MAX / 4;   // far beyond any real length; keeps sums in range
constexpr int64_t kMaxUs = INT64_MAX / 4;

// A variable-length quantity of at most four bytes.
int64_t ReadVlq(ByteCursor& in) {
  int64_t value = 0;
  for (int i = 0; i < 4; ++i) {
    const uint8_t b = in.U8();
    value = value << 7 | (b & 0x7F);
    if (!(b & 0x80)) return value;
  }
  return value;
}

// Data bytes that follow a channel status: two, but one for program change (Cx) and
// channel pressure (Dx).
int DataBytes(uint8_t status) { return (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2; }

}  // namespace

bool MidiSequence::Open(std::span<const uint8_t> bytes) {
  ByteCursor in(bytes);
  if (in.U32BE() != 0x4D546864) return false;  // "MThd"
  const int64_t headerLength = in.U32BE();
  ByteCursor header = in.Sub(headerLength);
  format_ = header.U16BE();
  const uint16_t trackCount = header.U16BE();
  division_ = header.U16BE();
  if (header.Failed() || division_ == 0 || ((division_ & 0x8000) != 0 && (division_ & 0xFF) == 0)) return false;
  ticksPerSecond_ = 0;
  if (division_ & 0x8000) {
    const int fps = -static_cast<int8_t>(division_ >> 8);
    // 29 stands for 29.97 drop-frame; the time is close enough at 30.
    ticksPerSecond_ = static_cast<int64_t>(fps == 29 ? 30 : fps) * (division_ & 0xFF);
    if (ticksPerSecond_ <= 0) return false;
  }
  bodies_.clear();
  while (bodies_.size() < trackCount && in.Has(8)) {
    const uint32_t id = in.U32BE();
    const int64_t length = in.U32BE();
    const int64_t have = std::min(length, in.Remaining());  // a cut chunk keeps what is there
    const ByteCursor body = in.Window(in.Pos(), have);
    in.Skip(have);
    if (id == 0x4D54726B) bodies_.push_back(body);  // "MTrk"; other chunks are skipped
  }
  Rewind();
  return true;
}

void MidiSequence::Rewind() {
  tracks_.assign(bodies_.size(), Track{});
  for (size_t i = 0; i < bodies_.size(); ++i) tracks_[i].in = bodies_[i];
  due_ = {};
  baseUs_ = 0;
  if (format_ == 2) {
    nextTrack_ = 0;
    StartTracks(0, 0);
  } else {
    nextTrack_ = tracks_.size();
    StartTracks(0, tracks_.size());
  }
}

// A fresh clock, and the tracks first to last (exclusive) read ahead and queued.
void MidiSequence::StartTracks(size_t first, size_t last) {
  micro_ = 0;
  lastTick_ = endTick_ = 0;
  tempo_ = kDefaultTempo;
  for (size_t i = first; i < last; ++i) Queue(i);
}

void MidiSequence::Queue(size_t index) {
  if (ReadAhead(tracks_[index])) due_.push({tracks_[index].tick, index});
}

// Reads a track's next event; false when the track ends (its end event, its bytes,
// or bytes that cannot be an event).
bool MidiSequence::ReadAhead(Track& t) {
  ByteCursor& in = t.in;
  while (!t.ended && !in.AtEnd()) {
    const int64_t delta = ReadVlq(in);
    if (in.Failed()) break;
    t.tick += delta;
    uint8_t status = in.PeekU8(in.Pos());
    if (status & 0x80) {
      in.Skip(1);
    } else if (t.running != 0) {
      status = t.running;  // running status: this byte is already data
    } else {
      break;  // data with no status before it: the track is unreadable from here
    }
    t.status = status;
    t.sysex = {};
    if (status == 0xFF) {
      t.meta = in.U8();
      const int64_t length = ReadVlq(in);
      ByteCursor data = in.Sub(length);
      if (in.Failed()) break;
      if (t.meta == 0x51 && length >= 3) {
        t.tempo = data.U24BE();
      }
      if (t.meta == 0x2F) t.ended = true;  // its tick still counts
      return true;
    }
    if (status == 0xF0 || status == 0xF7) {
      t.running = 0;
      const int64_t length = ReadVlq(in);
      if (in.Failed()) break;
      std::span<const uint8_t> bytes = in.Bytes(length);
      if (in.Failed()) break;
      if (status == 0xF0 && !bytes.empty() && bytes.back() == 0xF7) bytes = bytes.first(bytes.size() - 1);
      t.sysex = bytes;
      return true;
    }
    if (status >= 0xF8 || (status >= 0xF1 && status <= 0xF6)) {
      // Real-time and common messages do not belong in a file; skip their data bytes.
      in.Skip(status == 0xF2 ? 2 : status == 0xF1 || status == 0xF3 ? 1 : 0);
      if (in.Failed()) break;
      return true;
    }
    t.running = status;
    t.data1 = in.U8();
    t.data2 = DataBytes(status) == 2 ? in.U8() : 0;
    if (in.Failed()) break;
    return true;
  }
  t.ended = true;
  return false;
}

__int128 MidiSequence::MicroAt(int64_t tick) const { return micro_ + static_cast<__int128>(tick - lastTick_) * tempo_; }

__int128 MidiSequence::UsAt(int64_t tick) const {
  const __int128 us = ticksPerSecond_ > 0 ? static_cast<__int128>(tick) * 1000000 / ticksPerSecond_ : MicroAt(tick) / division_;
  return baseUs_ + us;
}

int64_t MidiSequence::ElapsedMs() const {
  const __int128 ms = UsAt(endTick_) / 1000;
  return ms > kMaxMs ? kMaxMs : static_cast<int64_t>(ms);
}

bool MidiSequence::Next(MidiEvent& event) {
  for (;;) {
    if (due_.empty()) {
      // Format 2: the next track plays after the one that ended, on its own clock.
      if (nextTrack_ >= tracks_.size()) return false;
      if (nextTrack_ > 0) baseUs_ = UsAt(endTick_);
      const size_t index = nextTrack_++;
      StartTracks(index, index + 1);
      continue;
    }
    const size_t index = due_.top().second;
    due_.pop();
    Track& t = tracks_[index];
    endTick_ = t.tick;
    const Track taken = t;
    if (!t.ended) Queue(index);
    if (taken.status == 0xFF && taken.meta == 0x51) {
      micro_ = MicroAt(taken.tick);
      lastTick_ = taken.tick;
      tempo_ = taken.tempo;
    }
    const bool channel = taken.status >= 0x80 && taken.status < 0xF0;
    if (!channel && !(taken.status == 0xF0 && !taken.sysex.empty())) continue;
    const __int128 at = UsAt(taken.tick);
    event.timeUs = at > kMaxUs ? kMaxUs : static_cast<int64_t>(at);
    event.status = taken.status;
    event.data1 = taken.data1;
    event.data2 = taken.data2;
    event.sysex = taken.sysex;
    return true;
  }
}

std::optional<int64_t> MidiLengthMs(std::span<const uint8_t> bytes) {
  MidiSequence sequence;
  if (!sequence.Open(bytes)) return std::nullopt;
  MidiEvent event;
  while (sequence.Next(event)) {
  }
  return sequence.ElapsedMs();
}

}  // namespace plat
