// Packing as a user does (list-command compress and compress-lzh), over the user's
// existing archive: a pack that cannot store everything it was given fails by name
// and leaves that archive byte-identical; what is never stored (links, named pipes)
// is said; the command packs the selection the script made.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <set>

#include "archive/ArchiveTestSupport.h"
#include "support/NetServers.h"
#include "support/SmallDisk.h"

using namespace archtest;
namespace fs = std::filesystem;

namespace {

struct Road {
  const char* command;
  const char* archive;
  bool programs;
};

// compress by the zip program and by the own writer; compress-lzh by the lha program
// (without one no LZH archive is made at all).
std::vector<Road> Roads() {
  std::vector<Road> roads{{"compress", "tree.zip", false}};
  if (testenv::PeerProgram("zip")) roads.push_back({"compress", "tree.zip", true});
  if (testenv::PeerProgram("lha")) roads.push_back({"compress-lzh", "tree.lzh", true});
  return roads;
}

std::vector<std::string> Hidden(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder))
    if (e.path().filename().string().rfind(".pelnorix", 0) == 0) names.push_back(e.path().filename().string());
  return names;
}

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
  return names;
}

// The member names of an archive as its own tool lists them.
std::string Listing(const std::string& archive) {
  return archive.ends_with(".lzh") ? testenv::Shell("lha l " + Q(archive) + " 2>/dev/null")
                                   : testenv::Shell("unzip -Z1 " + Q(archive) + " 2>/dev/null");
}

}  // namespace

TEST(PackFault, NameCp932CannotExpressFailsThePackAndKeepsTheArchive) {
  for (const Road& road : Roads()) {
    testenv::TempDir dir;
    fs::create_directories(dir.HostPath("tree/dé"));
    testenv::WriteHostFile(dir.HostPath("tree/ok.txt"), "ok");
    testenv::WriteHostFile(dir.HostPath("tree/café.txt"), "cafe");
    testenv::WriteHostFile(dir.HostPath("tree/dé/data.txt"), "data");
    testenv::WriteHostFile(dir.HostPath(road.archive), "the user's own archive");
    UserRun run = RunUserScript(dir, std::string("list 1 ") + dir.HostPath("tree") + "\nanswer yes\nlist-command " +
                                         road.command + "\n", road.programs);
    EXPECT_EQ(run.status, 1) << road.command << " " << road.programs << ": " << run.out;
    // Each name left out is named ('?' for what Shift-JIS cannot write), the folder too.
    for (const char* name : {"caf?.txt : Shift-JISで表せない", "d?/ : Shift-JISで表せない"})
      EXPECT_NE(run.out.find(name), std::string::npos) << name << " (" << road.command << "): " << run.out;
    EXPECT_EQ(testenv::ReadHostFile(dir.HostPath(road.archive)), "the user's own archive") << road.command;
    EXPECT_EQ(Hidden(dir.Host()), std::vector<std::string>{}) << road.command;
  }
}

TEST(PackFault, UnreadableFileFailsThePackByName) {
  // Root reads any file: the run then drops to nobody, who owns the tree but may not
  // read the locked file. Nobody runs a copy of the program inside the tree, since the
  // checkout may lie in a folder only root may enter.
  const bool root = geteuid() == 0;
  if (root) SKIP_WITHOUT_PROGRAM("setpriv");
  for (const Road& road : Roads()) {
    testenv::TempDir dir;
    fs::create_directories(dir.HostPath("tree"));
    testenv::WriteHostFile(dir.HostPath("tree/ok.txt"), "ok");
    testenv::WriteHostFile(dir.HostPath("tree/locked.txt"), "locked");
    testenv::WriteHostFile(dir.HostPath(road.archive), "the user's own archive");
    const std::string program = root ? dir.HostPath("pelnorix") : PELNORIX_BINARY;
    if (root) fs::copy_file(PELNORIX_BINARY, program);
    if (root) testenv::Shell("chown -R 65534:65534 " + Q(dir.Host()));
    ASSERT_EQ(chmod(dir.HostPath("tree/locked.txt").c_str(), 0), 0);
    const std::string prefix = root ? "setpriv --reuid=65534 --regid=65534 --clear-groups -- " : "";
    UserRun run = RunUserScript(dir, std::string("list 1 ") + dir.HostPath("tree") + "\nanswer yes\nlist-command " +
                                         road.command + "\n", road.programs, prefix, program);
    ASSERT_EQ(run.out.find("setpriv:"), std::string::npos) << run.out;
    EXPECT_EQ(run.status, 1) << road.command << " " << road.programs << ": " << run.out;
    EXPECT_NE(run.out.find("locked.txt : 026 アクセスが許可されていません"), std::string::npos) << road.command << ": " << run.out;
    EXPECT_EQ(testenv::ReadHostFile(dir.HostPath(road.archive)), "the user's own archive") << road.command;
    EXPECT_EQ(Hidden(dir.Host()), std::vector<std::string>{}) << road.command;
  }
}

// What a pack never stores is said where it is met, and the pack, which succeeds
// (exit 0), ends with a warning counting it; the archive's own tool lists the rest.
TEST(PackFault, LinksAndSpecialFilesLeftOutAreSaidAndWarnedOf) {
  struct Case {
    const char* fault;
    bool link;
    std::vector<std::string> says;
  };
  const std::vector<Case> cases{
      {"NamedPipeInAPackedFolderIsSkippedWithAWord", false,
       {"pipe : 名前付きパイプなどの特殊ファイルは格納しません", " : 警告 : リンクと特殊ファイル 1 個を格納せずに作成しました"}},
      {"PackThatLeftOutALinkAndAPipeEndedWithoutAWarning", true,
       {"link : シンボリックリンクは格納しません", "pipe : 名前付きパイプなどの特殊ファイルは格納しません",
        " : 警告 : リンクと特殊ファイル 2 個を格納せずに作成しました"}},
  };
  for (const Case& c : cases) {
    for (const Road& road : Roads()) {
      testenv::TempDir dir;
      fs::create_directories(dir.HostPath("tree"));
      testenv::WriteHostFile(dir.HostPath("tree/a.txt"), "a");
      ASSERT_EQ(mkfifo(dir.HostPath("tree/pipe").c_str(), 0600), 0);
      if (c.link) fs::create_symlink("a.txt", dir.HostPath("tree/link"));
      UserRun run = RunUserScript(dir, std::string("list 1 ") + dir.HostPath("tree") + "\nlist-command " + road.command + "\n",
                                  road.programs);
      EXPECT_EQ(run.status, 0) << c.fault << " " << road.command << " " << road.programs << ": " << run.out;
      for (const std::string& text : c.says) EXPECT_NE(run.out.find(text), std::string::npos) << c.fault << ": " << run.out;
      EXPECT_NE(run.out.find(std::string(road.archive) + " : 警告"), std::string::npos) << "the archive is named: " << run.out;
      if (!testenv::PeerProgram(road.archive == std::string("tree.lzh") ? "lha" : "unzip")) continue;
      const std::string listing = Listing(dir.HostPath(road.archive));
      EXPECT_NE(listing.find("a.txt"), std::string::npos) << listing;
      EXPECT_EQ(listing.find("pipe"), std::string::npos) << listing;
      EXPECT_EQ(listing.find("link"), std::string::npos) << listing;
    }
  }
}

TEST(ListCommandFault, CompressPacksTheSelectionNotTheListedFile) {
  for (const Road& road : Roads()) {
    testenv::TempDir dir;
    testenv::WriteHostFile(dir.HostPath("listed.txt"), "listed");
    testenv::WriteHostFile(dir.HostPath("picked.txt"), "picked");
    const std::string ext = road.archive == std::string("tree.lzh") ? ".lzh" : ".zip";
    UserRun run = RunUserScript(dir,
                                "list 1 " + dir.HostPath("listed.txt") + "\nselect " + dir.HostPath("picked.txt") +
                                    "\nlist-command " + road.command + "\n",
                                road.programs);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(fs::exists(dir.HostPath("picked.txt" + ext))) << road.command << " " << road.programs;
    EXPECT_FALSE(fs::exists(dir.HostPath("listed.txt" + ext))) << road.command << " " << road.programs;
  }
}

// unpack, protect and expand took the listed file and ignored the selection the
// script made with `select`, as compress once did: each runs on the selection now.
TEST(ListCommandFault, UnpackProtectExpandIgnoredTheSelection) {
  testenv::TempDir dir;
  const std::string d = dir.Host() + "/";
  testenv::WriteHostFile(d + "listed.zip", ToString(RawZip({{"from-listed.txt", "listed"}})));
  testenv::WriteHostFile(d + "picked.zip", ToString(RawZip({{"from-picked.txt", "picked"}})));
  testenv::WriteHostFile(d + "listed.txt", "listed text");
  testenv::WriteHostFile(d + "picked.txt", "picked text");
  const struct {
    const char* command;
    const char* ext;      // of the listed and the selected file
    const char* made;     // what the selection gives, a file of d or the text shown
    const char* notMade;  // what the listed file would have given
  } cases[] = {
      {"unpack", "zip", "from-picked.txt", "from-listed.txt"},
      {"protect", "txt", "picked.+txt", "listed.+txt"},
      {"expand", "+txt", "picked text", "listed text"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    const std::string select = "list 1 " + d + "listed." + c.ext + "\nselect " + d + "picked." + c.ext + "\n";
    if (c.command == std::string("expand")) {
      // Both stored forms, each made from its own plain file.
      for (const char* name : {"listed", "picked"})
        RunUserScript(dir, "list 1 " + d + name + ".txt\nanswer key=ABCD\nanswer yes\nlist-command protect\n", false);
    }
    UserRun run = RunUserScript(dir, select + "answer key=ABCD\nlist-command " + c.command + "\nprint text\n", false);
    EXPECT_EQ(run.status, 0) << run.out;
    if (c.command == std::string("expand")) {
      EXPECT_NE(run.out.find(c.made), std::string::npos) << run.out;
      EXPECT_EQ(run.out.find(c.notMade), std::string::npos) << run.out;
    } else {
      EXPECT_TRUE(fs::exists(d + c.made));
      EXPECT_FALSE(fs::exists(d + c.notMade));
    }
  }
}

// List commands that did nothing, or failed, and said nothing or the wrong reason:
// each fails (exit 1) with its reason, names the file as the user wrote it, and
// writes nothing. disk: the folder is a small disk of that many bytes, filled.
TEST(ArchiveCommandFault, NothingDoneFailsWithItsReason) {
  struct Case {
    const char* fault;
    const char* item;    // made in the folder ('/' at the end: a folder), or an R: path
    std::string script;  // before the list command
    const char* command;
    const char* says;
    bool programs = false;
    int64_t disk = 0;  // a file item then holds more bytes no packer can shrink than the room left
    const char* answer = "";  // given just before the list command
  };
  // The pseudo-drive R: is pyftpdlib's server over a folder holding a.zip and a.txt.
  testenv::TempDir served;
  testenv::WriteHostFile(served.HostPath("a.zip"), ToString(RawZip({{"a.txt", "from the site"}})));
  testenv::WriteHostFile(served.HostPath("a.txt"), "from the site");
  nettest::FtpServer server;
  START_OR_SKIP(server.Start(served.Host(), served.HostPath("ftp.log")), "pyftpdlib's FTP server");
  const std::string site = "set ftp1=R:~2s~/ftp://127.0.0.1:" + std::to_string(server.Port()) + ";USER=anna;PWRD=secret\n";
  const std::vector<Case> cases{
      {"UnpackOfNoArchiveReturnedSilently", "notes.txt", "", "unpack", "書庫ではないため解凍できません"},
      {"ProtectOfAFolderReturnedSilently", "tree/", "", "protect", "フォルダーは保護形式にできません"},
      {"CompressOfAnEmptyFolderSucceededSilently", "tree/", "", "compress", "空のフォルダーです"},
      {"CompressOfAnEmptyFolderThroughZipSucceededSilently", "tree/", "", "compress", "空のフォルダーです", true},
      {"CompressLzhOfAnEmptyFolderMadeAnEmptyArchive", "tree/", "", "compress-lzh", "空のフォルダーです", true},
      {"UnpackOnAPseudoDriveSaidOnlyFailed", "R:\\a.zip", site, "unpack", "ftpサイトではできません"},
      {"ProtectOnAPseudoDriveSaidOnlyFailed", "R:\\a.txt", site, "protect", "ftpサイトではできません"},
      {"ProtectOnAFullDiskSaidOnlyFailed", "big.txt", "", "protect", "ディスクの空きが足りません", false, 1 << 20, "answer key=ABCD\n"},
      {"CompressThroughZipOnAFullDiskBlamedTheNames", "big.bin", "", "compress", "ディスクの空きが足りません", true, 1 << 20},
  };
  for (const Case& c : cases) {
    if (c.programs && !testenv::PeerProgram(c.command == std::string("compress-lzh") ? "lha" : "zip")) continue;
    testenv::TempDir dir;
    std::optional<testenv::SmallDisk> disk;
    std::string folder = dir.HostPath("work"), path = c.item;
    fs::create_directories(folder);
    if (c.disk) {
      disk.emplace(dir, "disk", c.disk);
      if (!disk->Mounted()) continue;  // a full disk, not a file-size limit
      folder = disk->Host();
    }
    const bool onSite = path.rfind("R:", 0) == 0;
    if (!onSite) path = folder + "/" + (path.ends_with("/") ? path.substr(0, path.size() - 1) : path);
    if (std::string(c.item).ends_with("/")) {
      fs::create_directories(path);
    } else if (!onSite) {
      testenv::WriteHostFile(path, c.disk ? testenv::Shell("head -c 600000 /dev/urandom") : "text");
    }
    if (disk) disk->FillLeaving(200000);
    const std::set<std::string> before = Names(folder);
    UserRun run = RunUserScript(dir, c.script + "list 1 " + path + "\n" + c.answer + "list-command " + c.command + "\n", c.programs);
    EXPECT_EQ(run.status, 1) << c.fault << ": " << run.out;
    EXPECT_NE(run.out.find(c.says), std::string::npos) << c.fault << ": " << run.out;
    // Named as written: the folder with '/', never in the inside form with '\\'.
    const std::string named = onSite ? path : folder + "/";
    std::string inside = named;
    std::replace(inside.begin(), inside.end(), '/', '\\');
    EXPECT_NE(run.out.find(named), std::string::npos) << c.fault << ": " << run.out;
    EXPECT_TRUE(onSite || run.out.find(inside) == std::string::npos) << c.fault << ": " << run.out;
    EXPECT_EQ(Names(folder), before) << c.fault << ": nothing is written";
  }
}
