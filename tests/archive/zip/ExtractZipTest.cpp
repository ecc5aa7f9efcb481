// CQelDoc::ExtractZip on archives that real tools wrote, on Shift-JIS and UTF-8
// names, on hostile names and damaged data, in memory mode, and through the outside
// unzip program.
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "archive/ArchiveTestSupport.h"
#include "archive/ArchiveState.h"
#include "codec/zip/ZipRecords.h"
#include "frame/MainFrame.h"
#include "platform/os/Files.h"
#include "support/TestEnv.h"

using namespace archtest;
namespace fs = std::filesystem;

namespace {

class ExtractZipTest : public testenv::DocTest {
 protected:
  void SetUp() override {
    doc_->Archive().m_pfnUnZip = nullptr;
    src_ = dir_.HostPath("src");
    testenv::WriteHostFile(src_ + "/text.txt", ToString(SampleText(200000)));
    testenv::WriteHostFile(src_ + "/sub/deeper/sh.bin", ToString(SampleBinary(150000)));
    testenv::WriteHostFile(src_ + "/empty.txt", "");
    fs::create_directories(src_ + "/emptydir");
  }
  // One test enters the test's folder, which goes away with the test.
  void TearDown() override { plat::SetCurrentDirectory("\\tmp"); }
  // Extracts with the own codec into a fresh folder; returns what came of it.
  ArchiveCode Extract(const std::string& archiveHost, const std::string& outName, ExtractMode mode = ExtractMode::kOwn) {
    return doc_->ExtractZip(mode, plat::FromHostPath(archiveHost), Win(outName), ExtractOverwrite::kAsk).code;
  }
  // The files below a folder, with their bytes, by relative UTF-8 path.
  static std::map<std::string, std::string> Tree(const std::string& root) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
      std::string rel = fs::relative(e.path(), root).string();
      files[rel] = e.is_directory() ? "<dir>" : testenv::ReadHostFile(e.path().string());
    }
    return files;
  }
  std::string Title() const { return frame_->GetWindowText(); }

  std::string src_;
};

}  // namespace

TEST_F(ExtractZipTest, ArchivesOfRealToolsExtractWhole) {
  std::vector<std::pair<std::string, std::string>> makers;
  if (testenv::PeerProgram("zip")) {
    makers.push_back({"zip.zip", "zip -qr ../zip.zip ."});
    // Written to a pipe: every member has a data descriptor.
    makers.push_back({"stream.zip", "zip -qr - . > ../stream.zip"});
    // Stored with forced data descriptors; best compression with forced Zip64 records.
    makers.push_back({"zip0fd.zip", "zip -qr -0 -fd ../zip0fd.zip ."});
    makers.push_back({"zip9fz.zip", "zip -qr -9 -fz ../zip9fz.zip ."});
  }
  if (testenv::PeerProgram("7z")) makers.push_back({"7z.zip", "7z a -bd -tzip ../7z.zip . >/dev/null"});
  if (testenv::PeerProgram("python3")) {
    const char* py =
        "import zipfile,os,sys\n"
        "class W:\n"
        "  def __init__(s,f): s.f=f\n"
        "  def write(s,b): return s.f.write(b)\n"
        "  def flush(s): s.f.flush()\n"
        "for out,z64 in (('../py-desc.zip',False),('../py-zip64.zip',True)):\n"
        "  with open(out,'wb') as raw, zipfile.ZipFile(W(raw),'w',zipfile.ZIP_DEFLATED) as z:\n"
        "    for d,ds,fs in os.walk('.'):\n"
        "      for n in ds+fs:\n"
        "        p=os.path.join(d,n)[2:]\n"
        "        if os.path.isdir(p): z.writestr(p+'/',b'')\n"
        "        else:\n"
        "          with z.open(p,'w',force_zip64=z64) as m: m.write(open(p,'rb').read())\n";
    testenv::WriteHostFile(dir_.HostPath("mk.py"), py);
    makers.push_back({"py-desc.zip", "python3 ../mk.py"});
    makers.push_back({"py-zip64.zip", ":"});
  }
  if (makers.empty()) {
    if (std::getenv("CI")) FAIL() << "no zip, 7z or python3";
    GTEST_SKIP() << "no zip, 7z or python3";
  }
  auto expected = Tree(src_);
  for (const auto& [name, command] : makers) {
    int status = 0;
    testenv::Shell("cd " + Q(src_) + " && " + command, &status);
    ASSERT_EQ(status, 0) << command;
    ASSERT_EQ(Extract(dir_.HostPath(name), "out-" + name), ArchiveCode::kDone) << name << " " << Title();
    EXPECT_EQ(Tree(dir_.HostPath("out-" + name)), expected) << name;
  }
  // Bytes in front of the archive (a self-extractor stub) shift every offset.
  std::string sfx = std::string(1000, 'S') + testenv::ReadHostFile(dir_.HostPath(makers[0].first));
  testenv::WriteHostFile(dir_.HostPath("sfx.zip"), sfx);
  ASSERT_EQ(Extract(dir_.HostPath("sfx.zip"), "out-sfx"), ArchiveCode::kDone) << Title();
  EXPECT_EQ(Tree(dir_.HostPath("out-sfx")), expected);
}

TEST_F(ExtractZipTest, ShiftJisAndUtf8NamesKeepTheirCharacters) {
  // 表 (0x95 0x5C), ソ (0x83 0x5C) and 能 (0x94 0x5C) end with the byte of '\'.
  const std::string hyo = "\x95\x5C", so = "\x83\x5C", no = "\x94\x5C";
  Bytes zip = RawZip({{hyo + so + "/", ""}, {hyo + so + "/" + no + ".txt", "noh"}, {so + ".txt", "so"}});
  testenv::WriteHostFile(dir_.HostPath("sjis.zip"), ToString(zip));
  ASSERT_EQ(Extract(dir_.HostPath("sjis.zip"), "out"), ArchiveCode::kDone);
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("out/表ソ/能.txt")), "noh");
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("out/ソ.txt")), "so");

  // Flag bit 11: the name is UTF-8.
  Bytes utf = RawZip({{"日本語/表.txt", "utf8", 1 << 11}});
  testenv::WriteHostFile(dir_.HostPath("utf8.zip"), ToString(utf));
  ASSERT_EQ(Extract(dir_.HostPath("utf8.zip"), "out8"), ArchiveCode::kDone);
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("out8/日本語/表.txt")), "utf8");
  // A four-byte character, and one cut short, cannot be written in Shift-JIS: such a
  // member is refused, never written as "?x.txt" (the others still come out).
  Bytes four = RawZip({{"\xF0\x9F\x98\x80x.txt", "whole", 1 << 11}, {"\xF0\x9F\x98y.txt", "cut", 1 << 11},
                       {"ok.txt", "ok", 1 << 11}});
  testenv::WriteHostFile(dir_.HostPath("four.zip"), ToString(four));
  ASSERT_EQ(Extract(dir_.HostPath("four.zip"), "out4"), ArchiveCode::kFailed);
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("out4/ok.txt")), "ok");
  EXPECT_FALSE(fs::exists(dir_.HostPath("out4/?x.txt")));
  EXPECT_FALSE(fs::exists(dir_.HostPath("out4/???y.txt")));
  // Without the flag, the document's setting says the names are UTF-8.
  Bytes plain = RawZip({{"ソ.txt", "x"}});
  testenv::WriteHostFile(dir_.HostPath("plain.zip"), ToString(plain));
  doc_->Archive().m_bUtf8Names = 1;
  ASSERT_EQ(Extract(dir_.HostPath("plain.zip"), "outp"), ArchiveCode::kDone);
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("outp/ソ.txt")), "x");
  // With the setting on, a Shift-JIS name that is not UTF-8 stays as it is.
  testenv::WriteHostFile(dir_.HostPath("sjis2.zip"), ToString(RawZip({{hyo + so + ".txt", "kept"}})));
  ASSERT_EQ(Extract(dir_.HostPath("sjis2.zip"), "outs"), ArchiveCode::kDone);
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("outs/表ソ.txt")), "kept");
}

TEST_F(ExtractZipTest, BadMembersLeaveNoFileAndTheRestComesOut) {
  // A member whose CRC differs and one whose name cannot be made (a folder of that
  // name is in the way) are left out; the member after them is unpacked.
  fs::create_directories(dir_.HostPath("out/blocked.txt"));
  Bytes zip = RawZip({{"crc.txt", "damaged", 0, 1}, {"blocked.txt", "x"}, {"good.txt", "good"}});
  testenv::WriteHostFile(dir_.HostPath("bad.zip"), ToString(zip));
  EXPECT_EQ(Extract(dir_.HostPath("bad.zip"), "out"), ArchiveCode::kFailed);
  EXPECT_FALSE(fs::exists(dir_.HostPath("out/crc.txt")));
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("out/good.txt")), "good");
}

TEST_F(ExtractZipTest, NamesNeverLeaveTheTarget) {
  Bytes zip = RawZip({{"../evil1.txt", "1"},
                      {"/evil2.txt", "2"},
                      {"C:\\evil3.txt", "3"},
                      {"..\\evil4.txt", "4"},
                      {"a/../../evil5.txt", "5"},
                      {"ok.txt", "ok"}});
  testenv::WriteHostFile(dir_.HostPath("bad.zip"), ToString(zip));
  fs::create_directories(dir_.HostPath("t"));
  ASSERT_EQ(Extract(dir_.HostPath("bad.zip"), "t/out"), ArchiveCode::kDone);
  for (int i = 1; i <= 5; ++i) {
    std::string n = "evil" + std::to_string(i) + ".txt";
    EXPECT_FALSE(fs::exists(dir_.HostPath(n))) << n;
    EXPECT_FALSE(fs::exists(dir_.HostPath("t/" + n))) << n;
    EXPECT_FALSE(fs::exists("/" + n)) << n;
  }
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("t/out/evil1.txt")), "1");
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("t/out/evil3.txt")), "3");
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("t/out/a/evil5.txt")), "5");
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("t/out/ok.txt")), "ok");

  // A symbolic link in the target that points outside is not written through.
  fs::create_directories(dir_.HostPath("t2"));
  fs::create_directories(dir_.HostPath("outside"));
  fs::create_directory_symlink(dir_.HostPath("outside"), dir_.HostPath("t2/link"));
  Bytes viaLink = RawZip({{"link/x.txt", "x"}, {"y.txt", "y"}});
  testenv::WriteHostFile(dir_.HostPath("link.zip"), ToString(viaLink));
  EXPECT_EQ(Extract(dir_.HostPath("link.zip"), "t2"), ArchiveCode::kFailed);
  EXPECT_FALSE(fs::exists(dir_.HostPath("outside/x.txt")));
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("t2/y.txt")), "y");
}

TEST_F(ExtractZipTest, DamagedArchivesFailWithTheirCode) {
  testenv::WriteHostFile(dir_.HostPath("crc.zip"), ToString(RawZip({{"a.txt", "aaaa"}, {"b.txt", "bbbb", 0, 1}})));
  EXPECT_EQ(Extract(dir_.HostPath("crc.zip"), "o1"), ArchiveCode::kFailed);
  EXPECT_EQ(Title(), "045");
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("o1/a.txt")), "aaaa");  // written before the failure

  // A Deflate member whose stream gives more than its header's size.
  SKIP_WITHOUT_PROGRAM("zip");
  testenv::Shell("cd " + Q(src_) + " && zip -q ../one.zip text.txt");
  std::string one = testenv::ReadHostFile(dir_.HostPath("one.zip"));
  std::string lying = one;
  lying[22] = static_cast<char>(lying[22] - 1);  // local uncompressed size - 1
  size_t central = lying.find("PK\x01\x02");
  lying[central + 24] = static_cast<char>(lying[central + 24] - 1);
  testenv::WriteHostFile(dir_.HostPath("size.zip"), lying);
  EXPECT_EQ(Extract(dir_.HostPath("size.zip"), "o2"), ArchiveCode::kFailed);
  EXPECT_EQ(Title(), "050");
  // Cut, flipped and emptied archives never crash and never report success with wrong data.
  for (size_t cut : {size_t{10}, one.size() / 2, one.size() - 30}) {
    testenv::WriteHostFile(dir_.HostPath("cut.zip"), one.substr(0, cut));
    const ArchiveCode r = Extract(dir_.HostPath("cut.zip"), "o3");
    if (r == ArchiveCode::kDone && fs::exists(dir_.HostPath("o3/text.txt"))) {
      EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("o3/text.txt")), testenv::ReadHostFile(src_ + "/text.txt"));
    }
  }
  std::string flipped = one;
  flipped[one.size() / 3] ^= 0x55;
  testenv::WriteHostFile(dir_.HostPath("flip.zip"), flipped);
  EXPECT_EQ(Extract(dir_.HostPath("flip.zip"), "o4"), ArchiveCode::kFailed);
}

TEST_F(ExtractZipTest, MemoryModeStaysWithinItsCapacity) {
  std::string body(150, 'm');
  for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>('a' + i % 26);
  Bytes zip = RawZip({{"m.txt", body}});
  Bytes buffer(zip.size() + 10, 0xEE);
  std::copy(zip.begin(), zip.end(), buffer.begin());
  // A member of 150 bytes into a capacity of 100: its first 100 bytes, and a failure.
  ArchiveStatus r = doc_->InflateZipInMemory(buffer.data(), static_cast<int>(zip.size()), buffer.data(), 100);
  EXPECT_EQ(r.code, ArchiveCode::kSizeOver);  // truncated: size over, not a success
  EXPECT_EQ(ToString(Bytes(buffer.begin(), buffer.begin() + 100)), body.substr(0, 100));
  EXPECT_EQ(buffer[100], zip[100]);  // nothing written past the capacity

  Bytes big(zip.size() + 500, 0);
  std::copy(zip.begin(), zip.end(), big.begin());
  r = doc_->InflateZipInMemory(big.data(), static_cast<int>(zip.size()), big.data(), 400);
  ASSERT_TRUE(r.ok());
  ASSERT_EQ(r.produced, 150);
  EXPECT_EQ(ToString(Bytes(big.begin(), big.begin() + 150)), body);
}

TEST_F(ExtractZipTest, OutOfMemoryIsReported) {
  testenv::WriteHostFile(dir_.HostPath("a.zip"), ToString(RawZip({{"a.txt", "a"}})));
  doc_->m_allocHook.FailAfter(0);
  EXPECT_EQ(Extract(dir_.HostPath("a.zip"), "o"), ArchiveCode::kOutOfMemory);
  EXPECT_FALSE(messages_.str().empty());
}

TEST_F(ExtractZipTest, UnzipProgramRoadAndItsAbsence) {
  SKIP_WITHOUT_PROGRAM("unzip");
  SKIP_WITHOUT_PROGRAM("zip");
  doc_->InitArchive();
  ASSERT_TRUE(doc_->Archive().m_pfnUnZip);
  testenv::Shell("cd " + Q(src_) + " && zip -qr ../zip.zip .");
  auto expected = Tree(src_);
  EXPECT_EQ(Extract(dir_.HostPath("zip.zip"), "prog", ExtractMode::kCommand), ArchiveCode::kDone);
  EXPECT_EQ(Tree(dir_.HostPath("prog")), expected);
  // Shift-JIS names, which the program would garble, go to the own codec.
  testenv::WriteHostFile(dir_.HostPath("sjis.zip"), ToString(RawZip({{"\x95\x5C.txt", "hyo"}})));
  EXPECT_EQ(Extract(dir_.HostPath("sjis.zip"), "prog2", ExtractMode::kCommand), ArchiveCode::kDone);
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("prog2/表.txt")), "hyo");
  // Relative paths name the archive and the folder from where the call is made.
  ASSERT_TRUE(plat::SetCurrentDirectory(dir_.Win()));
  EXPECT_TRUE(doc_->ExtractZip(ExtractMode::kCommand, "zip.zip", "rel", ExtractOverwrite::kAsk).ok());
  EXPECT_EQ(Tree(dir_.HostPath("rel")), expected);
  // The own codec too: it once entered the folder first and looked for the archive there.
  EXPECT_TRUE(doc_->ExtractZip(ExtractMode::kOwn, "zip.zip", "rel-own", ExtractOverwrite::kAsk).ok());
  EXPECT_EQ(Tree(dir_.HostPath("rel-own")), expected);
  EXPECT_EQ(plat::GetCurrentDirectory(), plat::FromHostPath(fs::canonical(dir_.HostPath("")).string())) << "left where it was";
  // The program follows symbolic links already in the folder and makes the ones an
  // archive holds; such archives go to the own codec, which does neither.
  fs::create_directories(dir_.HostPath("links/link"));
  testenv::WriteHostFile(dir_.HostPath("links/link/x.txt"), "x");
  fs::create_directory_symlink("../outside", dir_.HostPath("links/evil"));
  testenv::Shell("cd " + Q(dir_.HostPath("links")) + " && zip -qr ../through.zip link && zip -qry ../made.zip evil");
  fs::create_directories(dir_.HostPath("outside"));
  fs::create_directories(dir_.HostPath("prog3"));
  fs::create_directory_symlink("../outside", dir_.HostPath("prog3/link"));
  EXPECT_EQ(Extract(dir_.HostPath("through.zip"), "prog3", ExtractMode::kCommand), ArchiveCode::kFailed);
  EXPECT_FALSE(fs::exists(dir_.HostPath("outside/x.txt")));
  Extract(dir_.HostPath("made.zip"), "prog4", ExtractMode::kCommand);
  EXPECT_FALSE(fs::is_symlink(dir_.HostPath("prog4/evil")));
  // Without the program, mode 3 and mode 1 take the own codec.
  doc_->Archive().m_pfnUnZip = nullptr;
  EXPECT_EQ(Extract(dir_.HostPath("zip.zip"), "own3", ExtractMode::kCommand), ArchiveCode::kDone);
  EXPECT_EQ(Extract(dir_.HostPath("zip.zip"), "own1", ExtractMode::kProgram), ArchiveCode::kDone);
  EXPECT_EQ(Tree(dir_.HostPath("own1")), expected);
}

// The memory road inflates an archive's image in place, from the caller's buffer into
// it: nothing reaches TMP (a folder named "temp.zip" there stays as it is), the room
// is filled and never passed, and a damaged stream fails.
TEST_F(ExtractZipTest, InflateInMemoryNeedsNoArchiveOnDisk) {
  const Bytes text = SampleText(50000);
  const Bytes stream = ZlibDeflate(text, 9);
  codec::CZipHeader h;
  h.name = "m.txt";
  h.compressedSize = stream.size();
  h.uncompressedSize = text.size();
  h.crc32 = static_cast<uint32_t>(::crc32(0, text.data(), static_cast<uInt>(text.size())));
  Bytes image;
  codec::AppendLocalHeader(image, h);
  image.insert(image.end(), stream.begin(), stream.end());
  const std::string tmp = *plat::ToHostPath(doc_->TmpFolder());
  fs::create_directories(tmp + "/temp.zip");
  const auto inflate = [&](size_t length, int capacity, Bytes& buf) {
    buf.assign(std::max<size_t>(image.size(), static_cast<size_t>(capacity)) + 10, 0xEE);
    std::copy(image.begin(), image.end(), buf.begin());
    return doc_->InflateZipInMemory(buf.data(), static_cast<int>(length), buf.data(), capacity);
  };
  Bytes buf;
  ArchiveStatus r = inflate(image.size(), 60000, buf);
  ASSERT_EQ(r.produced, static_cast<int64_t>(text.size()));
  EXPECT_TRUE(std::equal(text.begin(), text.end(), buf.begin()));
  EXPECT_TRUE(fs::is_directory(tmp + "/temp.zip")) << "nothing was written over it";
  EXPECT_FALSE(fs::exists(tmp + "/temp.txt"));
  // Too little room: the room filled, nothing past it, size over.
  r = inflate(image.size(), 1000, buf);
  EXPECT_EQ(r.code, ArchiveCode::kSizeOver);
  EXPECT_TRUE(std::equal(text.begin(), text.begin() + 1000, buf.begin()));
  EXPECT_EQ(buf[1000], image[1000]);
  // A stream cut short, or bad data, never succeeds.
  EXPECT_FALSE(inflate(image.size() / 2, 60000, buf).ok());
  image[codec::LocalField::kSize + h.name.size()] = 0x07;  // block type 3
  EXPECT_EQ(inflate(image.size(), 60000, buf).code, ArchiveCode::kFailed);
}

// A start searches PATH for no outside program: one placed on PATH after the
// document was made is found when first needed.
TEST_F(ExtractZipTest, OutsideProgramsAreLookedUpWhenFirstNeeded) {
  fs::create_directories(dir_.HostPath("bin"));
  const std::string path = plat::GetEnv("PATH");
  setenv("PATH", dir_.HostPath("bin").c_str(), 1);
  CQelDoc doc(Win("program2"), frame_.get());
  for (const char* name : {"zip", "unzip"}) {
    testenv::WriteHostFile(dir_.HostPath("bin/") + name, "#!/bin/sh\nexit 0\n");
    fs::permissions(dir_.HostPath("bin/") + name, fs::perms::owner_all);
  }
  EXPECT_TRUE(doc.Archive().m_pfnUnZip);
  EXPECT_EQ(doc.Archive().m_zipProgram.Path(), dir_.HostPath("bin/zip"));
  setenv("PATH", path.c_str(), 1);
}
