// Unpacking hostile archives as a user does (a script's list-command unpack), with
// the archives made by real tools: python3's zipfile for the ZIP bombs and the UTF-8
// names, Debian's lha for the LZH members. Each refusal must come at once, write
// nothing, keep the user's files, exit 1 and say why.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "archive/ArchiveTestSupport.h"
#include "support/SmallDisk.h"

using namespace archtest;
namespace fs = std::filesystem;

namespace {

// A ZIP of one deflated member of `megabytes` MiB of zeros, written by python3's
// zipfile; with entries > 1 its central directory is made of that many entries that
// all point at the one member (an overlapping-entry bomb); with declared >= 0 both
// headers say the member has that many bytes (a member that lies about its size).
void MakeZeroZip(const std::string& out, int megabytes, int entries, int declared) {
  const std::string script =
      "import struct, sys, zipfile\n"
      "out, mb, n, lie = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])\n"
      "with zipfile.ZipFile(out, 'w', zipfile.ZIP_DEFLATED) as z:\n"
      "    with z.open('zeros.bin', 'w') as f:\n"
      "        for _ in range(mb): f.write(bytes(1 << 20))\n"
      "data = open(out, 'rb').read()\n"
      "e = data.rfind(b'PK\\x05\\x06')\n"
      "size, at = struct.unpack('<II', data[e + 12:e + 20])\n"
      "one = data[at:at + size]\n"
      "skip = 46 + struct.unpack('<H', one[28:30])[0]\n"
      "names = [b'zeros.bin'] if n == 1 else [b'm%05d.bin' % i for i in range(n)]\n"
      "cd = b''.join(one[:28] + struct.pack('<H', len(m)) + one[30:46] + m + one[skip:] for m in names)\n"
      "end = data[e:e + 8] + struct.pack('<HHII', n, n, len(cd), at) + data[e + 20:]\n"
      "data = data[:at] + cd + end\n"
      "if lie >= 0: data = data[:22] + struct.pack('<I', lie) + data[26:at + 24] + struct.pack('<I', lie) + data[at + 28:]\n"
      "open(out, 'wb').write(data)\n";
  testenv::WriteHostFile(out + ".py", script);
  testenv::Shell("python3 " + Q(out + ".py") + " " + Q(out) + " " + std::to_string(megabytes) + " " +
                 std::to_string(entries) + " " + std::to_string(declared));
  fs::remove(out + ".py");
}

// A ZIP with no central directory of `members` deflated members of `megabytes` MiB of
// zeros, each with its sizes in a data descriptor after its data (as a streaming
// writer leaves them): only inflating a member finds where it ends.
void MakeDescriptorZip(const std::string& out, int megabytes, int members) {
  const std::string script =
      "import struct, sys, zlib\n"
      "out, mb, n = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])\n"
      "c, chunk, parts, crc = zlib.compressobj(6, zlib.DEFLATED, -15), bytes(1 << 20), [], 0\n"
      "for _ in range(mb):\n"
      "    parts.append(c.compress(chunk))\n"
      "    crc = zlib.crc32(chunk, crc)\n"
      "data = b''.join(parts) + c.flush()\n"
      "with open(out, 'wb') as f:\n"
      "    for i in range(n):\n"
      "        name = b'm%02d.bin' % i\n"
      "        f.write(struct.pack('<IHHHHHIIIHH', 0x04034b50, 20, 8, 8, 0, 0x21, 0, 0, 0, len(name), 0) + name + data)\n"
      "        f.write(struct.pack('<IIII', 0x08074b50, crc, len(data), (mb << 20) & 0xffffffff))\n";
  testenv::WriteHostFile(out + ".py", script);
  testenv::Shell("python3 " + Q(out + ".py") + " " + Q(out) + " " + std::to_string(megabytes) + " " + std::to_string(members));
  fs::remove(out + ".py");
}

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string UnpackScript(const std::string& archive, const std::string& head = "", const std::string& keys = "") {
  return head + "list 1 " + archive + "\nanswer yes yes yes\nlist-command unpack" + keys + "\n";
}

}  // namespace

// Also what is no archive at all: said so, as a failure, never unpacked as nothing.
TEST(ZipBombFault, RefusedAtOnceWithNothingWritten) {
  SKIP_WITHOUT_PROGRAM("python3");
  struct Case {
    const char* fault;
    int64_t disk;
    int megabytes, entries, declared;
    std::vector<std::string> says;  // any one of them
    const char* bytes = nullptr;    // written in place of an archive
    bool noDirectory = false;       // members with data descriptors and no central directory
    const char* keys = "";          // keys pressed while the unpack runs
  };
  const std::vector<Case> cases{
      {"OverlappingEntriesUnpackedOneAfterTheOther", 64 << 20, 64, 300, -1, {"051 メンバーのデータが重なっています"}},
      {"DeclaredTotalBeyondTheFreeSpace", 2 << 20, 8, 1, -1, {"ディスクの空きが足りません", "ファイルの大きさの上限を超えます"}},
      {"MemberLyingAboutItsSizeWrittenWholeByUnzip", 64 << 20, 512, 1, 1024, {"050 大きさがヘッダーと一致しません"}},
      {"RandomBytesUnpackedAsNothingWithExitZero", 2 << 20, 0, 0, -1, {"031 ZIP書庫ではありません"}, "\x8e\x1f\xd3\x02" "random\x99" "bytes"},
      {"RenamedTextUnpackedAsNothingWithExitZero", 2 << 20, 0, 0, -1, {"031 ZIP書庫ではありません"}, "notes, not an archive\n"},
      // 8 GiB behind an 8 MB file: the walk stops where it passes the room, and Esc is heard.
      {"NoDirectoryDescriptorMembersInflatedWholeBeforeTheRefusal", 12 << 20, 256, 32, -1,
       {"ディスクの空きが足りません", "ファイルの大きさの上限を超えます"}, nullptr, true},
      {"NoDirectoryWalkDeafToEsc", 64 << 20, 256, 32, -1, {"中止しました"}, nullptr, true, " keys Esc"},
  };
  for (const Case& c : cases) {
    for (bool programs : {false, true}) {
      testenv::TempDir dir;
      testenv::SmallDisk disk(dir, "disk", c.disk);
      const std::string zip = disk.HostPath("bomb.zip");
      if (c.bytes) {
        testenv::WriteHostFile(zip, c.bytes);
      } else if (c.noDirectory) {
        MakeDescriptorZip(zip, c.megabytes, c.entries);
      } else {
        MakeZeroZip(zip, c.megabytes, c.entries, c.declared);
      }
      ASSERT_TRUE(fs::exists(zip)) << c.fault;
      const auto start = std::chrono::steady_clock::now();
      // A walk through every member takes minutes: ten seconds of the processor are plenty.
      const std::string cpu = c.noDirectory ? "prlimit --cpu=10 -- " : "";
      UserRun run = RunUserScript(dir, UnpackScript(zip, "", c.keys), programs, disk.Prefix() + cpu);
      const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      RecordProperty(std::string(c.fault) + (programs ? "-programs" : "-own") + "-seconds", std::to_string(seconds));
      EXPECT_EQ(run.status, 1) << c.fault << " " << programs << ": " << run.out;
      EXPECT_NE(run.out.find("ID_LIST_UNPACK failed"), std::string::npos) << run.out;
      bool said = false;
      for (const std::string& text : c.says) said = said || run.out.find(text) != std::string::npos;
      EXPECT_TRUE(said) << c.fault << ": " << run.out;
      std::string inside = zip;
      std::replace(inside.begin(), inside.end(), '/', '\\');
      EXPECT_EQ(run.out.find(inside), std::string::npos) << "named as the user wrote it: " << run.out;
      if (c.declared < 0) {
        EXPECT_NE(run.out.find(zip), std::string::npos) << c.fault << ": " << run.out;
      }
      EXPECT_EQ(Entries(disk.Host()), std::vector<std::string>{"bomb.zip"}) << c.fault << " " << programs;
    }
  }
}

// An LZH archive that does not fit is refused before a member is written, on both
// roads: one member past the room, and a bomb of members that each fit.
TEST(LzhUnpackFault, ArchivePastTheRoomRefusedAtOnceAndTheUsersFileKept) {
  SKIP_WITHOUT_PROGRAM("lha");
  struct Case {
    const char* fault;
    int members, megabytes;
    bool usersFile;
  };
  for (const Case c : {Case{"CutMemberReplacedTheUsersFile", 1, 8, true}, Case{"CutMemberLeftAndCalledUnpacked", 1, 8, false},
                       Case{"BombUnpackedMemberAfterMember", 31, 1, true}}) {
    for (bool programs : {true, false}) {
      testenv::TempDir dir;
      fs::create_directories(dir.HostPath("src"));
      std::string names;
      for (int i = 0; i < c.members; ++i) {
        const std::string name = c.members == 1 ? "zeros.bin" : "zeros" + std::to_string(i) + ".bin";
        testenv::WriteHostFile(dir.HostPath("src/" + name), std::string(static_cast<size_t>(c.megabytes) << 20, '\0'));
        names += " " + name;
      }
      testenv::SmallDisk disk(dir, "disk", 2 << 20);
      // Members that each fit a file-size limit need a disk that is really small.
      if (c.members > 1 && !disk.Mounted()) continue;
      testenv::Shell("cd " + Q(dir.HostPath("src")) + " && lha aq " + Q(disk.HostPath("zeros.lzh")) + names + " 2>&1");
      ASSERT_TRUE(fs::exists(disk.HostPath("zeros.lzh")));
      if (c.usersFile) testenv::WriteHostFile(disk.HostPath("zeros.bin"), "the user's own file");
      UserRun run = RunUserScript(dir, UnpackScript(disk.HostPath("zeros.lzh")), programs, disk.Prefix());
      EXPECT_EQ(run.status, 1) << c.fault << " " << programs << ": " << run.out;
      EXPECT_NE(run.out.find(disk.HostPath("zeros.lzh") + "\r\n026 "), std::string::npos) << "the archive is named: " << run.out;
      const bool why = run.out.find("ディスクの空きが足りません") != std::string::npos ||
                       run.out.find("ファイルの大きさの上限を超えます") != std::string::npos;
      EXPECT_TRUE(why) << "and why: " << run.out;
      std::vector<std::string> kept{"zeros.lzh"};
      if (c.usersFile) {
        EXPECT_EQ(testenv::ReadHostFile(disk.HostPath("zeros.bin")), "the user's own file") << programs;
        kept.insert(kept.begin(), "zeros.bin");
      }
      EXPECT_EQ(Entries(disk.Host()), kept) << c.fault << ": nothing is written " << programs;
    }
  }
}

// Names the unpack must not write as they come: "a/.." is no file "a", and a UTF-8
// name Shift-JIS cannot express is no "caf?.txt". Both roads refuse them by name.
TEST(UnpackNameFault, NamesThatCannotBeWrittenAsGivenAreRefused) {
  SKIP_WITHOUT_PROGRAM("python3");
  struct Case {
    const char* fault;
    const char* archive;
    std::string make;  // run in the folder src, writes ../<archive>
    const char* head;
    std::vector<std::string> refused;  // names each message is about
    std::vector<std::string> written;  // what the target holds afterwards
    int status = 1;
    const char* never = nullptr;  // a wrong reason that must not be given
    std::vector<std::string> says = {};  // texts the run must show
  };
  const std::vector<Case> cases{
      {"LzhMemberNamedDotDotWrittenAsAFile", "dots.lzh",
       "mkdir a && echo text > a/zz && echo ok > ok.txt && lha aq ../dots.lzh a/zz ok.txt 2>/dev/null && "
       "python3 -c \"import sys; p='../dots.lzh'; d=open(p,'rb').read(); open(p,'wb').write(d.replace(b'\\x01zz', b'\\x01..'))\"",
       "", {"a/.."}, {"dots.lzh", "ok.txt"}},
      {"Utf8NamesCp932CannotExpressWrittenAsQuestionMarks", "cafe.zip",
       "python3 -c \"import zipfile; z=zipfile.ZipFile('../cafe.zip','w'); "
       "[z.writestr(n, n) for n in ('café.txt', 'cafè.txt', 'ok.txt')]; z.close()\"",
       "set utf8names=1\n", {"caf?.txt", "caf?.txt"}, {"cafe.zip", "ok.txt"}},
      // A '\\' separates folders in a member name on both roads.
      {"UnixNameWithABackslashCalledNotShiftJis", "back.zip",
       "python3 -c \"import zipfile; z=zipfile.ZipFile('../back.zip','w'); "
       "[z.writestr(n, n) for n in ('dir' + chr(92) + 'inner.txt', 'ok.txt')]; z.close()\"",
       "", {}, {"back.zip", "dir", "ok.txt"}, 0, "Shift-JIS"},
      // The last member of a name is the one unpacked, never called damaged.
      {"TwoMembersOfOneNameCalledDamagedAndMissing", "dup.lzh",
       "echo first > same.txt && lha aq ../one.lzh same.txt && echo second, longer > same.txt && echo ok > ok.txt && "
       "lha aq ../two.lzh same.txt ok.txt && python3 -c \"a=open('../one.lzh','rb').read()[:-1]; "
       "open('../dup.lzh','wb').write(a + open('../two.lzh','rb').read())\"",
       "", {}, {"dup.lzh", "ok.txt", "same.txt"}, 0, "056"},
      // The later member of a name is asked about, as on the ZIP road, and the one kept is said.
      {"LzhSameNameMembersKeptTheLastWithoutAWord", "dup2.lzh",
       "echo first > same.txt && lha aq ../one.lzh same.txt && echo second, longer > same.txt && echo ok > ok.txt && "
       "lha aq ../two.lzh same.txt ok.txt && python3 -c \"a=open('../one.lzh','rb').read()[:-1]; "
       "open('../dup2.lzh','wb').write(a + open('../two.lzh','rb').read())\"",
       "", {}, {"dup2.lzh", "ok.txt", "same.txt"}, 0, nullptr,
       {"same.txt", "上書きしますか", "同じ名前のメンバーが複数あります。2番目のメンバーを残しました"}},
      // A member not kept is a loss: the unpack still succeeds, and ends with a warning.
      {"UnpackThatSkippedAMemberEndedWithoutAWarning", "dup3.lzh",
       "echo first > same.txt && lha aq ../one.lzh same.txt && echo second, longer > same.txt && echo ok > ok.txt && "
       "lha aq ../two.lzh same.txt ok.txt && python3 -c \"a=open('../one.lzh','rb').read()[:-1]; "
       "open('../dup3.lzh','wb').write(a + open('../two.lzh','rb').read())\"",
       "", {}, {"dup3.lzh", "ok.txt", "same.txt"}, 0, nullptr,
       {"dup3.lzh : 警告 : 1 個のメンバーを書き出さずに解凍しました"}},
  };
  for (const Case& c : cases) {
    if (std::string(c.archive).ends_with(".lzh") && !testenv::PeerProgram("lha")) continue;
    for (bool programs : {false, true}) {
      testenv::TempDir dir;
      fs::create_directories(dir.HostPath("src"));
      fs::create_directories(dir.HostPath("target"));
      testenv::Shell("cd " + Q(dir.HostPath("src")) + " && " + c.make);
      fs::rename(dir.HostPath(c.archive), dir.HostPath(std::string("target/") + c.archive));
      UserRun run = RunUserScript(dir, UnpackScript(dir.HostPath(std::string("target/") + c.archive), c.head), programs);
      EXPECT_EQ(run.status, c.status) << c.fault << " " << programs << ": " << run.out;
      if (c.never) {
        EXPECT_EQ(run.out.find(c.never), std::string::npos) << c.fault << " " << programs << ": " << run.out;
      }
      size_t at = 0;
      for (const std::string& name : c.refused) {
        at = run.out.find(name + " : 026 ", at);
        EXPECT_NE(at, std::string::npos) << c.fault << " names " << name << " with the code and why: " << run.out;
        if (at == std::string::npos) break;
        ++at;
      }
      for (const std::string& text : c.says) EXPECT_NE(run.out.find(text), std::string::npos) << c.fault << " " << programs << ": " << run.out;
      EXPECT_EQ(Entries(dir.HostPath("target")), c.written) << c.fault << " " << programs;
      EXPECT_EQ(testenv::ReadHostFile(dir.HostPath("target/ok.txt")).substr(0, 2), "ok") << c.fault;
    }
  }
}

// Each member that cannot be written says why beside its code, so that a full
// disk, a link in the way and a folder in the way no longer read alike.
TEST(UnpackReasonFault, BareCodesSayWhy) {
  SKIP_WITHOUT_PROGRAM("zip");
  testenv::TempDir dir;
  fs::create_directories(dir.HostPath("src/sub"));
  fs::create_directories(dir.HostPath("src/taken"));
  testenv::WriteHostFile(dir.HostPath("src/sub/x.txt"), "x");
  testenv::WriteHostFile(dir.HostPath("src/taken/y.txt"), "y");
  testenv::WriteHostFile(dir.HostPath("src/plain.txt"), "plain");
  testenv::Shell("cd " + Q(dir.HostPath("src")) + " && zip -qr ../pack.zip sub/x.txt taken/y.txt plain.txt");
  fs::create_directories(dir.HostPath("target/plain.txt"));  // a folder where a file goes
  fs::create_directories(dir.HostPath("outside"));
  fs::create_directory_symlink(dir.HostPath("outside"), dir.HostPath("target/sub"));
  testenv::WriteHostFile(dir.HostPath("target/taken"), "a file where a folder goes");
  fs::rename(dir.HostPath("pack.zip"), dir.HostPath("target/pack.zip"));
  for (bool programs : {false, true}) {
    UserRun run = RunUserScript(dir, UnpackScript(dir.HostPath("target/pack.zip")), programs);
    EXPECT_EQ(run.status, 1) << run.out;
    for (const char* why : {"plain.txt : 026 同じ名前のフォルダーがあります", "x.txt : 026 シンボリックリンクがあります",
                            "y.txt : 026 フォルダーの位置に同じ名前のファイルがあります"})
      EXPECT_NE(run.out.find(why), std::string::npos) << why << " (" << programs << "): " << run.out;
    EXPECT_TRUE(fs::is_empty(dir.HostPath("outside")));
  }
}
