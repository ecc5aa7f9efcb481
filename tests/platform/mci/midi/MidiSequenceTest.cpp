// The MIDI reader: lengths its tempo map gives and the merged events at their times,
// for files written here byte by byte, and hostile files (cut, lying, without
// status) that end where their bytes do.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/mci/midi/MidiSequence.h"

namespace {

std::string Be32(uint32_t v) { return {char(v >> 24), char(v >> 16 & 0xFF), char(v >> 8 & 0xFF), char(v & 0xFF)}; }
std::string Be16(uint16_t v) { return {char(v >> 8), char(v & 0xFF)}; }

std::string Header(int format, int tracks, uint16_t division) {
  return "MThd" + Be32(6) + Be16(static_cast<uint16_t>(format)) + Be16(static_cast<uint16_t>(tracks)) + Be16(division);
}
std::string Track(const std::string& events) { return "MTrk" + Be32(static_cast<uint32_t>(events.size())) + events; }
std::string Tempo(uint32_t us) { return std::string("\xFF\x51\x03", 3) + char(us >> 16) + char(us >> 8 & 0xFF) + char(us & 0xFF); }
const std::string kEnd("\xFF\x2F\x00", 3);
// 960 ticks as a variable-length delta: 0x87 0x40.
const std::string k960("\x87\x40", 2);

std::optional<int64_t> Length(const std::string& bytes) {
  return plat::MidiLengthMs(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

// Two quarters at 120 bpm (1 s), then two at 240 bpm (0.5 s): 1,500 ms, with the
// notes in a second track that uses running status.
std::string TempoChangeFile() {
  const std::string conductor = std::string(1, '\0') + Tempo(500000) + k960 + Tempo(250000) + std::string(1, '\0') + kEnd;
  const std::string notes = std::string("\x00\x90\x3C\x40", 4) + k960 + std::string("\x3E\x40", 2) + k960 +
                            std::string("\x3C\x00", 2) + std::string(1, '\0') + kEnd;
  return Header(1, 2, 480) + Track(conductor) + Track(notes);
}

TEST(MidiLength, TempoMapLengths) {
  struct Case {
    const char* what;
    std::string bytes;
    int64_t ms;
  };
  const std::string oneSecond = std::string(1, '\0') + Tempo(500000) + k960 + std::string("\x90\x3C\x40", 3) + kEnd;
  const Case cases[] = {
      {"tempo change in format 1", TempoChangeFile(), 1500},
      {"no tempo event: 120 bpm", Header(0, 1, 480) + Track(k960 + std::string("\x90\x3C\x40", 3) + kEnd), 1000},
      // Format 2 plays its tracks one after the other, each on its own tempos.
      {"format 2 adds its tracks", Header(2, 2, 480) + Track(oneSecond) + Track(std::string(1, '\0') + Tempo(250000) + k960 + kEnd), 1500},
      // SMPTE: 25 frames of 40 ticks, 1,000 ticks a second; 960 ticks are 960 ms.
      {"SMPTE division", Header(0, 1, 0xE728) + Track(k960 + kEnd), 960},
      {"sysex and program change", Header(0, 1, 480) + Track(std::string("\x00\xF0\x03\x7E\x7F\xF7\x00\xC0\x05", 9) + k960 + kEnd), 1000},
      {"unknown chunk skipped", Header(0, 1, 480) + "XTRA" + Be32(2) + "ab" + Track(k960 + kEnd), 1000},
      {"header only", Header(1, 0, 480), 0},
  };
  for (const Case& c : cases) {
    const auto ms = Length(c.bytes);
    ASSERT_TRUE(ms.has_value()) << c.what;
    EXPECT_EQ(*ms, c.ms) << c.what;
  }
}

TEST(MidiLength, HostileFilesEndWhereTheirBytesEnd) {
  const std::string good = TempoChangeFile();
  // Cut anywhere: never more than the whole, never a failure once the header is there.
  for (size_t cut = 14; cut < good.size(); ++cut) {
    const auto ms = Length(good.substr(0, cut));
    ASSERT_TRUE(ms.has_value()) << cut;
    EXPECT_LE(*ms, 1500) << cut;
  }
  EXPECT_FALSE(Length(good.substr(0, 13)).has_value());
  EXPECT_FALSE(Length("RIFF....").has_value());
  EXPECT_FALSE(Length(Header(0, 1, 0) + Track(k960 + kEnd)).has_value());
  // A chunk that claims more bytes than there are keeps what is there.
  std::string lying = Header(0, 1, 480) + "MTrk" + Be32(0x7FFFFFFF) + k960 + "\x90\x3C\x40";
  EXPECT_EQ(Length(lying), 1000);
  // Data with no status before it ends the track.
  EXPECT_EQ(Length(Header(0, 1, 480) + Track(k960 + std::string("\x3C\x40", 2) + k960 + kEnd)), 0);
  // Huge deltas and a slow tempo stay in range.
  std::string slow = std::string(1, '\0') + Tempo(0xFFFFFF);
  for (int i = 0; i < 1000; ++i) slow += std::string("\xFF\xFF\xFF\x7F\x90\x3C\x40", 7);
  const auto ms = Length(Header(0, 1, 1) + Track(slow));
  ASSERT_TRUE(ms.has_value());
  EXPECT_EQ(*ms, int64_t{1000} * 0x0FFFFFFF * 0xFFFFFF / 1000);
}

// The events of every track merged in time order, each at the time its tempo map
// gives; meta events are taken on the way, not given.
TEST(MidiSequence, EventsAtTheirTimes) {
  struct Case {
    const char* what;
    std::string bytes;
    std::vector<std::pair<int64_t, int>> events;  // time in microseconds, status
  };
  const std::string twoNotes = std::string(1, '\0') + Tempo(250000) + std::string("\x00\x90\x3C\x40", 4) + k960 +
                               std::string("\x80\x3C\x00\x00", 4) + kEnd;
  const Case cases[] = {
      {"tempo change in another track", TempoChangeFile(), {{0, 0x90}, {1000000, 0x90}, {1500000, 0x90}}},
      {"format 2 after the first track", Header(2, 2, 480) + Track(twoNotes) + Track(twoNotes),
       {{0, 0x90}, {500000, 0x80}, {500000, 0x90}, {1000000, 0x80}}},
      {"sysex and program change", Header(0, 1, 480) + Track(std::string("\x00\xF0\x03\x7E\x7F\xF7\x00\xC0\x05\x00", 10) + kEnd),
       {{0, 0xF0}, {0, 0xC0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    plat::MidiSequence sequence;
    ASSERT_TRUE(sequence.Open(std::span(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size())));
    std::vector<std::pair<int64_t, int>> got;
    plat::MidiEvent e;
    for (int pass = 0; pass < 2; ++pass) {
      got.clear();
      while (sequence.Next(e)) got.emplace_back(e.timeUs, e.status);
      EXPECT_EQ(got, c.events);
      sequence.Rewind();
    }
  }
}

}  // namespace
