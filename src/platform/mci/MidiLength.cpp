// Standard MIDI File length. The header gives the format, the track count and the
// division (ticks per quarter note, or SMPTE frames per second and ticks per frame).
// Each "MTrk" chunk is walked event by event: a variable-length delta time, then a
// channel message (with running status), a system-exclusive block or a meta event;
// tempo events (FF 51 03) make the tempo map. Formats 0 and 1 play their tracks
// together on one tempo map, so the length is the latest track end; format 2 plays
// its tracks one after another, each with its own tempos.
//
// Every read goes through the byte cursor, so a lying chunk length or a cut event
// ends the track at the bytes that are there. Ticks and times are 64-bit; a delta
// time has at most four bytes, so a track of n bytes holds at most n * 2^28 ticks.
#include "platform/mci/MidiLength.h"

#include <algorithm>
#include <vector>

#include "base/ByteCursor.h"

namespace plat {
namespace {

constexpr uint32_t kDefaultTempo = 500000;  // microseconds per quarter note (120 bpm)
constexpr int64_t kMaxMs = INT64_MAX / 4;   // far beyond any real length; keeps sums in range

struct TempoChange {
  int64_t tick;
  uint32_t tempo;
};

struct Track {
  int64_t endTick = 0;
  std::vector<TempoChange> tempos;
};

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

Track WalkTrack(ByteCursor in) {
  Track track;
  int64_t tick = 0;
  uint8_t running = 0;
  while (!in.AtEnd()) {
    const int64_t delta = ReadVlq(in);
    if (in.Failed()) break;
    tick += delta;
    uint8_t status = in.PeekU8(in.Pos());
    if (status & 0x80) {
      in.Skip(1);
    } else if (running != 0) {
      status = running;  // running status: this byte is already data
    } else {
      break;  // data with no status before it: the track is unreadable from here
    }
    if (status == 0xFF) {
      const uint8_t type = in.U8();
      const int64_t length = ReadVlq(in);
      ByteCursor data = in.Sub(length);
      if (in.Failed()) break;
      track.endTick = tick;
      if (type == 0x51 && length >= 3) {
        const uint32_t tempo = data.U24BE();
        track.tempos.push_back({tick, tempo});
      }
      if (type == 0x2F) return track;
    } else if (status == 0xF0 || status == 0xF7) {
      running = 0;
      in.Skip(ReadVlq(in));
      if (in.Failed()) break;
      track.endTick = tick;
    } else if (status >= 0xF8 || (status >= 0xF1 && status <= 0xF6)) {
      // Real-time and common messages do not belong in a file; skip their data bytes.
      in.Skip(status == 0xF2 ? 2 : status == 0xF1 || status == 0xF3 ? 1 : 0);
      if (in.Failed()) break;
      track.endTick = tick;
    } else {
      running = status;
      in.Skip(DataBytes(status));
      if (in.Failed()) break;
      track.endTick = tick;
    }
  }
  return track;
}

// Ticks to milliseconds through a tempo map sorted by tick (SMPTE division has none).
class TickClock {
 public:
  TickClock(uint16_t division, std::vector<TempoChange> tempos) : tempos_(std::move(tempos)) {
    if (division & 0x8000) {
      const int fps = -static_cast<int8_t>(division >> 8);
      // 29 stands for 29.97 drop-frame; the length is close enough at 30.
      ticksPerSecond_ = static_cast<int64_t>(fps == 29 ? 30 : fps) * (division & 0xFF);
    } else {
      ticksPerQuarter_ = division;
    }
    std::stable_sort(tempos_.begin(), tempos_.end(), [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
  }
  bool Valid() const { return ticksPerSecond_ > 0 || ticksPerQuarter_ > 0; }

  int64_t Ms(int64_t endTick) const {
    if (ticksPerSecond_ > 0) {
      const __int128 ms = static_cast<__int128>(endTick) * 1000 / ticksPerSecond_;
      return ms > kMaxMs ? kMaxMs : static_cast<int64_t>(ms);
    }
    // Sum the microseconds of each tempo's stretch; remainders carried in tick-microseconds.
    __int128 micro = 0;  // ticks x microseconds per quarter, divided at the end
    int64_t at = 0;
    uint32_t tempo = kDefaultTempo;
    for (const TempoChange& change : tempos_) {
      if (change.tick >= endTick) break;
      micro += static_cast<__int128>(change.tick - at) * tempo;
      at = change.tick;
      tempo = change.tempo;
    }
    micro += static_cast<__int128>(endTick - at) * tempo;
    const __int128 ms = micro / ticksPerQuarter_ / 1000;
    return ms > kMaxMs ? kMaxMs : static_cast<int64_t>(ms);
  }

 private:
  std::vector<TempoChange> tempos_;
  int64_t ticksPerSecond_ = 0;
  int64_t ticksPerQuarter_ = 0;
};

}  // namespace

std::optional<int64_t> MidiLengthMs(std::span<const uint8_t> bytes) {
  ByteCursor in(bytes);
  if (in.U32BE() != 0x4D546864) return std::nullopt;  // "MThd"
  const int64_t headerLength = in.U32BE();
  ByteCursor header = in.Sub(headerLength);
  const uint16_t format = header.U16BE();
  const uint16_t trackCount = header.U16BE();
  const uint16_t division = header.U16BE();
  if (header.Failed() || !TickClock(division, {}).Valid()) return std::nullopt;

  std::vector<Track> tracks;
  while (tracks.size() < trackCount && in.Has(8)) {
    const uint32_t id = in.U32BE();
    const int64_t length = in.U32BE();
    const int64_t have = std::min(length, in.Remaining());  // a cut chunk keeps what is there
    const ByteCursor body = in.Window(in.Pos(), have);
    in.Skip(have);
    if (id == 0x4D54726B) tracks.push_back(WalkTrack(body));  // "MTrk"; other chunks are skipped
  }

  if (format == 2) {
    int64_t total = 0;
    for (Track& track : tracks) {
      const TickClock clock(division, std::move(track.tempos));
      total = std::min(total + clock.Ms(track.endTick), kMaxMs);
    }
    return total;
  }
  std::vector<TempoChange> tempos;
  int64_t endTick = 0;
  for (const Track& track : tracks) {
    tempos.insert(tempos.end(), track.tempos.begin(), track.tempos.end());
    endTick = std::max(endTick, track.endTick);
  }
  return TickClock(division, std::move(tempos)).Ms(endTick);
}

}  // namespace plat
