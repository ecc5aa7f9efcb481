// Every dump fixture cut short, with single bits flipped and with lying sizes, under
// each name that sends it down a road: no read past the bytes and no hang, and the
// road's own frame stays: a listing keeps its heading and totals (an archive found
// damaged gives the damage message instead), the media text
// its title, a CSV table every byte it was given. The first six bytes, which the
// sniffing reads, are kept, so that each file stays on its road.
#include <string>

#include "convert/dump/DumpTestSupport.h"
#include "platform/text/CodePage.h"

namespace {

using dumptest::DumpTest;

constexpr size_t kSniffed = 6;

struct Road {
  const char* fixture;
  const char* name;
  const char* head;  // the text starts so
  const char* tail;  // and ends so ("" for none: the CSV table's length is checked)
};

constexpr Road kRoads[] = {
    {"stream.zip", "x.zip", "ZIP File\r\n", " files Total"}, {"zip64.zip", "x.zip", "ZIP File\r\n", " files Total"},
    {"level0.lzh", "x.lzh", "LZH File\r\n", " files Total"}, {"level1.lzh", "x.lzh", "LZH File\r\n", " files Total"},
    {"level2.lzh", "x.lzh", "LZH File\r\n", " files Total"}, {"tone.wav", "x.wav", " Audio file\n", ""},
    {"adpcm.wav", "x.wav", " Audio file\n", ""},             {"tags.mp3", "x.mp3", " Audio file\n", ""},
    {"tags.wma", "x.wma", " Audio file\n", ""},              {"text.mid", "x.mid", " MIDI  file\n", ""},
    {"table.csv", "x.csv", "", ""},
};

class HostileInputTest : public DumpTest {
 protected:
  void Expect(const Road& road, const std::string& bytes, const std::string& what) {
    const std::string text = Show(road.name, bytes);
    ASSERT_LT(doc_->m_nTextLen, doc_->m_nConvCap) << what;
    // Listings and tables look at the whole file (the media road reads the head of a
    // binary-looking file only, and says so).
    if (road.tail[0] != '\0' || std::string_view(road.name) == "x.csv") {
      EXPECT_EQ(doc_->m_bPartialLoad, 0) << what;
    }
    if (bytes.size() < kSniffed) return;
    if (road.tail[0] != '\0' && text.find(plat::Utf8ToCp932Lossy("ファイルが壊れています (")) != std::string::npos) return;
    EXPECT_TRUE(text.starts_with(road.head)) << what << "\n" << text;
    EXPECT_TRUE(text.ends_with(road.tail)) << what << "\n" << text;
    if (std::string_view(road.name) == "x.csv") {
      EXPECT_EQ(text.size(), bytes.size()) << what;
    }
  }
};

TEST_F(HostileInputTest, TruncationsAndBitFlipsOfEachFixture) {
  doc_->m_nOutDataLimit = 16384;
  for (const Road& road : kRoads) {
    const std::string bytes = Fixture(road.fixture);
    ASSERT_FALSE(bytes.empty()) << road.fixture;
    for (size_t cut = 0; cut < bytes.size(); cut += 1 + bytes.size() / 40) {
      Expect(road, bytes.substr(0, cut), std::string(road.fixture) + " cut at " + std::to_string(cut));
    }
    for (size_t at = kSniffed; at < bytes.size(); at += 1 + bytes.size() / 60) {
      for (int bit : {0, 7}) {
        std::string flipped = bytes;
        flipped[at] = static_cast<char>(flipped[at] ^ (1 << bit));
        Expect(road, flipped, std::string(road.fixture) + " flipped at " + std::to_string(at));
      }
    }
    // Lying sizes: every 32-bit field near the start set to its largest value.
    for (size_t at = kSniffed; at + 4 <= std::min<size_t>(bytes.size(), 64); at += 2) {
      std::string lying = bytes;
      lying.replace(at, 4, "\xFF\xFF\xFF\x7F");
      Expect(road, lying, std::string(road.fixture) + " lying at " + std::to_string(at));
    }
  }
}

TEST_F(HostileInputTest, Zip64SizesNearTheLargestValueEndTheWalk) {
  // The Zip64 extra field of the first member: original size at 41, compressed at 49.
  // Sizes past the file make the archive damaged.
  for (const char* size : {"\xF0\xFF\xFF\xFF\xFF\xFF\xFF\x7F", "\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x3F"}) {
    std::string zip = Fixture("zip64.zip");
    zip.replace(41, 8, size, 8);
    zip.replace(49, 8, size, 8);
    const std::string text = Show("x.zip", zip);
    EXPECT_NE(text.find(plat::Utf8ToCp932Lossy("ファイルが壊れています (ZIPのヘッダー: 0 バイト目)")), std::string::npos) << text;
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
