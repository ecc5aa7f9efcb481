// Every dump fixture cut short and with single bits flipped, under each name that
// sends it down a road: no read past the bytes, no hang, always a bounded text.
#include <string>

#include "convert/dump/DumpTestSupport.h"

namespace {

using dumptest::DumpTest;

class HostileInputTest : public DumpTest {};

TEST_F(HostileInputTest, TruncationsAndBitFlipsOfEachFixture) {
  const char* fixtures[][2] = {
      {"stream.zip", "x.zip"}, {"zip64.zip", "x.zip"}, {"level0.lzh", "x.lzh"}, {"level1.lzh", "x.lzh"},
      {"level2.lzh", "x.lzh"}, {"tone.wav", "x.wav"},  {"adpcm.wav", "x.wav"},  {"tags.mp3", "x.mp3"},
      {"tags.wma", "x.wma"},   {"text.mid", "x.mid"},  {"table.csv", "x.csv"},
  };
  doc_->m_nOutDataLimit = 16384;
  for (const auto& [fixture, name] : fixtures) {
    const std::string bytes = Fixture(fixture);
    ASSERT_FALSE(bytes.empty()) << fixture;
    for (size_t cut = 0; cut < bytes.size(); cut += 1 + bytes.size() / 40) {
      Show(name, bytes.substr(0, cut));
      ASSERT_LT(doc_->m_nTextLen, doc_->m_nConvCap) << fixture << " cut at " << cut;
    }
    for (size_t at = 0; at < bytes.size(); at += 1 + bytes.size() / 60) {
      for (int bit : {0, 7}) {
        std::string flipped = bytes;
        flipped[at] = static_cast<char>(flipped[at] ^ (1 << bit));
        Show(name, flipped);
        ASSERT_LT(doc_->m_nTextLen, doc_->m_nConvCap) << fixture << " flipped at " << at;
      }
    }
    // Lying sizes: every 32-bit field near the start set to its largest value.
    for (size_t at = 0; at + 4 <= std::min<size_t>(bytes.size(), 64); at += 2) {
      std::string lying = bytes;
      lying.replace(at, 4, "\xFF\xFF\xFF\x7F");
      Show(name, lying);
    }
  }
}

TEST_F(HostileInputTest, Zip64SizesNearTheLargestValueEndTheWalk) {
  // The Zip64 extra field of the first member: original size at 41, compressed at 49.
  for (const char* size : {"\xF0\xFF\xFF\xFF\xFF\xFF\xFF\x7F", "\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x3F"}) {
    std::string zip = Fixture("zip64.zip");
    zip.replace(41, 8, size, 8);
    zip.replace(49, 8, size, 8);
    const std::string text = Show("x.zip", zip);
    EXPECT_NE(text.find("files Total"), std::string::npos) << text;
  }
  // Every member claiming an original size of 2^62 - 1: the total stays a number.
  std::string zip = Fixture("zip64.zip");
  for (size_t at = zip.find("PK\x03\x04"); at != std::string::npos; at = zip.find("PK\x03\x04", at + 4)) {
    const size_t nameLen = static_cast<uint8_t>(zip[at + 26]);
    zip.replace(at + 30 + nameLen + 4, 8, "\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x3F", 8);
  }
  const std::string text = Show("x.zip", zip);
  EXPECT_NE(text.find("2 files Total"), std::string::npos) << text;
}

TEST_F(HostileInputTest, LzhExtendedHeaderSmallerThanItsOwnFieldsEndsTheWalk) {
  std::string lzh = Fixture("level2.lzh");
  // The first extended header's size (offset 24) as 0, 1 and 2.
  for (char size : {0, 1, 2}) {
    lzh[24] = size;
    lzh[25] = 0;
    const std::string text = Show("x.lzh", lzh);
    EXPECT_NE(text.find("files Total"), std::string::npos);
  }
}

}  // namespace
