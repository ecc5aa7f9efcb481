// The own LZH reader on archives written by lha (jlha-utils) at header levels 0, 1
// and 2 and by about twenty LHA tools (the shared corpus), compared with lhasa's
// extraction. The header readers' own tests are in tests/codec/lzh/.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "archive/ArchiveTestSupport.h"
#include "archive/ArchiveState.h"
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
