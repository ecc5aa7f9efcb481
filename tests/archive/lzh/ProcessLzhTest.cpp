// The own LZH reader on archives written by lha (jlha-utils) at header levels 0, 1
// and 2 and by about twenty LHA tools (the shared corpus), compared with lhasa's
// extraction; hostile headers and data; the one parser of a header's fixed part.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "archive/ArchiveTestSupport.h"
#include "archive/ArchiveState.h"
#include "codec/lzh/LzhDecoder.h"
#include "codec/lzh/LzhHeader.h"
#include "platform/os/Files.h"
#include "support/TestEnv.h"

using namespace archtest;
namespace fs = std::filesystem;

namespace {

class LzhTest : public testenv::DocTest {
 protected:
  // Extraction enters its target folder, which goes away with the test.
  void TearDown() override { plat::SetCurrentDirectory("\\tmp"); }
  static std::map<std::string, std::string> Tree(const std::string& root) {
    std::map<std::string, std::string> files;
    if (!fs::exists(root)) return files;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
      if (e.is_symlink()) continue;
      std::string rel = fs::relative(e.path(), root).string();
      files[rel] = e.is_directory() ? "<dir>" : testenv::ReadHostFile(e.path().string());
    }
    return files;
  }
  ArchiveCode Unpack(const std::string& archiveHost, const std::string& outHost) {
    return doc_->ProcessLzh(plat::FromHostPath(archiveHost), plat::FromHostPath(outHost), LzhMode::kUnpack).code;
  }
  // lhasa's extraction of the same archive.
  std::map<std::string, std::string> Reference(const std::string& archiveHost, const std::string& outHost) {
    fs::create_directories(outHost);
    testenv::Shell("cd " + Q(outHost) + " && lhasa xfq " + Q(archiveHost) + " >/dev/null 2>&1");
    return Tree(outHost);
  }
  // The methods in an archive, as lhasa lists them.
  static std::string Methods(const std::string& archiveHost) {
    return testenv::Shell("lhasa v " + Q(archiveHost) + " 2>/dev/null | grep -o -- '-l[hz][0-9a-z]-' | sort -u | tr '\\n' ' '");
  }
};

}  // namespace

TEST_F(LzhTest, ArchivesOfLhaAtEveryHeaderLevel) {
  SKIP_WITHOUT_PROGRAM("lha");
  SKIP_WITHOUT_PROGRAM("lhasa");
  const std::string src = dir_.HostPath("src");
  testenv::WriteHostFile(src + "/a.txt", ToString(SampleText(120000)));
  testenv::WriteHostFile(src + "/sub/sh.bin", ToString(SampleBinary(150000)));
  testenv::WriteHostFile(src + "/empty.txt", "");
  testenv::WriteHostFile(src + "/runs.bin", std::string(70000, '\0') + std::string(30000, 'r'));
  fs::create_directories(src + "/emptydir");
  doc_->Archive().m_nLhaCanCreate = 0;  // the own reader
  for (std::string opts : {"c0q", "c1q", "c2q", "cz0q", "cz1q", "cz2q"}) {
    std::string archive = dir_.HostPath(opts + ".lzh");
    int status = 0;
    testenv::Shell("cd " + Q(src) + " && lha " + opts + " " + Q(archive) + " a.txt sub empty.txt runs.bin emptydir", &status);
    ASSERT_EQ(status, 0) << opts;
    std::string ours = dir_.HostPath("ours-" + opts);
    ASSERT_EQ(Unpack(archive, ours), ArchiveCode::kDone) << opts;
    EXPECT_TRUE(messages_.str().empty()) << opts << ": " << messages_.str();
    EXPECT_EQ(Tree(ours), Reference(archive, dir_.HostPath("ref-" + opts))) << opts;
    EXPECT_EQ(testenv::ReadHostFile(ours + "/sub/sh.bin"), ToString(SampleBinary(150000))) << opts;
  }
  // -lh6- and -lh7- members need the outside library: string 208.
  std::string lh6 = dir_.HostPath("h6.lzh");
  testenv::Shell("cd " + Q(src) + " && lha co6q " + Q(lh6) + " a.txt");
  ASSERT_EQ(Methods(lh6), "-lh6- ");
  EXPECT_EQ(Unpack(lh6, dir_.HostPath("o6")), ArchiveCode::kFailed) << "a member not written fails the run";
  EXPECT_NE(messages_.str().find("UNLHA32.DLL"), std::string::npos) << messages_.str();
  // An lha program that can create archives unpacks them instead.
  doc_->Archive().m_nLhaCanCreate = -1;
  EXPECT_EQ(Unpack(lh6, dir_.HostPath("p6")), ArchiveCode::kDone);
  if (doc_->Archive().m_nLhaCanCreate == 1) {
    EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("p6/a.txt")), ToString(SampleText(120000)));
  }
}

TEST_F(LzhTest, SharedCorpusOfLhaTools) {
  std::string corpus = testenv::SharedTestData("lzh");
  SKIP_WITHOUT_SHARED_DATA(corpus);
  doc_->Archive().m_nLhaCanCreate = 0;  // the own reader
  SKIP_WITHOUT_PROGRAM("lhasa");
  int compared = 0;
  for (const auto& e : fs::recursive_directory_iterator(corpus)) {
    if (!e.is_regular_file() || e.path().extension() != ".lzh") continue;
    std::string archive = e.path().string();
    std::string methods = Methods(archive);
    std::string tag = std::to_string(compared) + "-" + e.path().stem().string();
    std::string ours = dir_.HostPath("ours-" + tag);
    // Only "-lh0-", "-lh5-" and "-lhd-" are the own reader's.
    bool supported = !methods.empty();
    std::istringstream listed(methods);
    for (std::string m; listed >> m;)
      if (m != "-lh0-" && m != "-lh5-" && m != "-lhd-") supported = false;
    std::ostringstream().swap(messages_);
    messages_.str("");
    // Archives that unpack to more than 16 MB are left to the benchmarks.
    std::string total = testenv::Shell("lhasa v " + Q(archive) + " 2>/dev/null | awk '/Total/{print $5}'");
    if (std::atoll(total.c_str()) > (16 << 20)) continue;
    // A member that is not written is reported, and only then does the run fail.
    const ArchiveCode unpacked = Unpack(archive, ours);
    EXPECT_EQ(unpacked != ArchiveCode::kDone, !messages_.str().empty()) << archive << ": " << messages_.str();
    // Unix links are not made here; MacLHA members keep the MacBinary header that
    // lhasa takes off.
    if (archive.find("maclha") != std::string::npos) continue;
    if (!testenv::Shell("lhasa v " + Q(archive) + " | grep -- ' -> '").empty()) continue;
    if (!supported || messages_.str().find("061") != std::string::npos) continue;  // level 3: refused by design
    if (!messages_.str().empty()) {
      // A stop with a code shown is right only where lhasa cannot unpack the archive either.
      int status = 0;
      fs::create_directories(dir_.HostPath("lhasa-" + tag));
      testenv::Shell("cd " + Q(dir_.HostPath("lhasa-" + tag)) + " && lhasa xfq " + Q(archive) + " >/dev/null 2>&1", &status);
      EXPECT_NE(status, 0) << archive << ": " << messages_.str();
      continue;
    }
    auto ref = Reference(archive, dir_.HostPath("ref-" + tag));
    if (ref.empty()) continue;  // lhasa itself cannot read it (level 3 and similar)
    // Every file lhasa writes is ours too, with its bytes. Names are compared without
    // case (lhasa lowers the names of some systems); Unix symbolic links, which lhasa
    // makes and this system never does, are left out.
    auto lower = [](std::map<std::string, std::string> t) {
      std::map<std::string, std::string> r;
      for (auto& [k, v] : t) {
        std::string n = k;
        for (char& c : n) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        r[n] = v;
      }
      return r;
    };
    auto mine = lower(Tree(ours));
    for (const auto& [name, bytes] : lower(ref)) {
      if (name.find('|') != std::string::npos) continue;
      auto it = mine.find(name);
      if (it == mine.end()) {
        // A name with ".." parts: lhasa drops the folders, this reader drops only the ".." parts.
        std::string base = name.substr(name.rfind('/') + 1);
        it = std::find_if(mine.begin(), mine.end(), [&](const auto& kv) {
          return kv.first.size() >= base.size() && kv.first.substr(kv.first.size() - base.size()) == base;
        });
      }
      ASSERT_NE(it, mine.end()) << archive << ": " << name << " " << messages_.str();
      EXPECT_EQ(it->second, bytes) << archive << ": " << name;
    }
    ++compared;
  }
  EXPECT_GT(compared, 10);
}

TEST_F(LzhTest, HostileHeadersAndData) {
  SKIP_WITHOUT_PROGRAM("lha");
  const std::string src = dir_.HostPath("src");
  testenv::WriteHostFile(src + "/a.txt", ToString(SampleText(40000)));
  std::string archive = dir_.HostPath("a.lzh");
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
