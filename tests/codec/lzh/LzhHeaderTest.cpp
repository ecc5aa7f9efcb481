// The LZH header readers on their own: hostile headers and data through the header
// reader and the decoder, and the one parser of a header's fixed part against lhasa.
// They link the codec alone.
#include <gtest/gtest.h>

#include "codec/CodecTestSupport.h"
#include "codec/lzh/LzhDecoder.h"
#include "codec/lzh/LzhHeader.h"
#include "support/TestFiles.h"

using namespace archtest;

TEST(LzhHeader, HostileHeadersAndData) {
  testenv::TempDir dir;
  SKIP_WITHOUT_PROGRAM("lha");
  const std::string src = dir.HostPath("src");
  testenv::WriteHostFile(src + "/a.txt", ToString(SampleText(40000)));
  std::string archive = dir.HostPath("a.lzh");
  testenv::Shell("cd " + Q(src) + " && lha c1q " + Q(archive) + " a.txt");
  const std::string good = testenv::ReadHostFile(archive);
  auto check = [&](const std::string& bytes) -> std::string {
    Bytes b = ToBytes(bytes);
    try {
      uint64_t pos = 0;
      for (codec::CLzhHeader h; h.Read(b, pos) == 0; h = codec::CLzhHeader()) {
        codec::CVectorSink sink;
        codec::DecodeLzhMember(h, std::span<const uint8_t>(b).subspan(h.dataOffset, h.packedSize), sink);
      }
    } catch (const codec::CodecError& e) {
      return e.Code();
    }
    return "ok";
  };
  EXPECT_EQ(check(good), "ok");
  EXPECT_EQ(check(good.substr(0, good.size() / 2)), "060");  // packed size beyond the archive
  std::string level3 = good;
  level3[20] = 3;
  EXPECT_EQ(check(level3), "061");
  std::string crc = good;
  crc[crc.size() - 40] ^= 0x10;  // a data bit: the CRC-16 no longer matches, or the tables break
  std::string r = check(crc);
  EXPECT_NE(r, "ok");
  std::string ext = good;
  ext[good[0] + 2 - 2] = 1;  // first extended header of size 1
  ext[good[0] + 2 - 1] = 0;
  EXPECT_EQ(check(ext), "059");
  // An archive ending with a single 0 byte ends cleanly.
  EXPECT_EQ(check(good + std::string(1, '\0')), "ok");
  // Every prefix and many one-byte changes: a code or "ok", never a crash.
  for (size_t n = 0; n < good.size(); n += 97) check(good.substr(0, n));
  for (size_t i = 0; i < good.size(); i += 53) {
    std::string bad = good;
    bad[i] = static_cast<char>(bad[i] ^ 0xA5);
    check(bad);
  }
}

// One parser reads the fixed part of every LZH header; each caller names the
// highest level it takes (the own reader 2, the listing 3). Sizes agree with lhasa.
TEST(LzhFixedPart, EachLevelAgainstLhasa) {
  const std::string corpus = testenv::SharedTestData("lzh");
  SKIP_WITHOUT_SHARED_DATA(corpus);
  SKIP_WITHOUT_PROGRAM("lhasa");
  for (const auto& [file, level] : {std::pair{"explzh_723/h0_lh5.lzh", 0}, {"explzh_723/h1_lh5.lzh", 1}, {"explzh_723/h2_lh5.lzh", 2},
                                    {"lha_os2_208/h3_lh5.lzh", 3}}) {
    const std::string path = corpus + "/" + file;
    const Bytes b = ToBytes(testenv::ReadHostFile(path));
    codec::LzhFixedPart f;
    ASSERT_EQ(codec::ReadLzhFixed(b, 3, f), codec::LzhFixedResult::kRead) << file;
    EXPECT_EQ(f.level, level) << file;
    EXPECT_GT(f.headerSize, codec::LzhField::kFixedSize) << file;
    const std::string sizes = testenv::Shell("lhasa v " + Q(path) + " 2>/dev/null | awk 'NR==3{print $(NF-7)}'");
    EXPECT_EQ(sizes, std::to_string(f.originalSize) + "\n") << file;
    EXPECT_EQ(codec::ReadLzhFixed(b, 2, f), level == 3 ? codec::LzhFixedResult::kLevel : codec::LzhFixedResult::kRead);
  }
  codec::LzhFixedPart cut;
  EXPECT_EQ(codec::ReadLzhFixed(Bytes(21, 0), 3, cut), codec::LzhFixedResult::kShort);
}
