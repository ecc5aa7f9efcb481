// Names taken as the user spelled them, through the built program: a name that
// differs only in case is another file, a name Shift-JIS cannot express or one
// holding a '\' is refused rather than written under another, and a folder whose
// name ends in a double-byte character with the trail byte 0x5C keeps it. In every
// row each file the user had is byte-identical afterwards, and the file the command
// names is made under that name.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/TestEnv.h"

namespace {

namespace fs = std::filesystem;

const std::string kSo = "\xE3\x82\xBD";    // ソ: 0x83 0x5C in Shift-JIS
const std::string kHyou = "\xE8\xA1\xA8";  // 表: 0x95 0x5C

// Every file below root (relative path to bytes), the test's own script, the run's
// standard error and home left out.
std::map<std::string, std::string> Files(const std::string& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string rel = fs::relative(e.path(), root).string();
    if (e.is_regular_file() && rel != "s.script" && rel != "err.txt" && rel.rfind("home", 0) != 0) files[rel] = testenv::ReadHostFile(e.path().string());
  }
  return files;
}

TEST(NameHazardFaults, EveryUserFileStaysAndTheNamedOneIsMade) {
  SKIP_WITHOUT_PROGRAM("convert");
  struct Case {
    std::string fault;
    std::vector<std::string> userFiles;  // made before the run, each with its own bytes
    std::string args;                    // "" runs s.script; {DIR} is the folder's Windows path
    std::string script;
    int status;
    std::vector<std::string> made;  // new files the run must leave
    const char* program = nullptr;  // an outside program the row needs
    std::string home = "home";
  };
  const std::string memoCipher = "MEMO.+txt";
  std::vector<Case> cases = {
      {"--convert Keep.png replaced keep.png", {"keep.png"}, "--convert Keep.png g.bmp", "", 0, {"Keep.png"}},
      {"a save to Keep.png asked about it and replaced keep.png", {"keep.png"}, "",
       "open g.bmp\nanswer path=Keep.png yes\ncommand ID_IMAGE_SAVE_PNG\n", 0, {"Keep.png"}},
      {"compress replaced the user's TREE.ZIP", {"TREE.ZIP"}, "", "list 1 tree\nlist-command compress\n", 0,
       {"tree.zip"}},
      {"compress-lzh replaced the user's Tree.lzh", {"Tree.lzh"}, "", "list 1 tree\nlist-command compress-lzh\n", 0,
       {"tree.lzh"}, "lha"},
      {"protect replaced the user's MEMO.+txt", {"memo.txt", memoCipher}, "",
       "list 1 memo.txt\nanswer key=ABCD\nlist-command protect\n", 0, {"memo.+txt"}},
      {"convert of P.bmp wrote over p.png", {"p.png"}, "", "list 1 g.bmp\nselect P.bmp\nanswer png\nlist-command convert\n",
       0, {"P.png"}},
      {"a batch conversion refused a.bmp as a.png after A.gif's A.png", {}, "",
       "list 1 g.bmp\nselect a.bmp A.gif\nanswer png\nlist-command convert\n", 0, {"a.png", "A.png"}},
      {"an LZH holding Memo.txt and memo.txt unpacked one of them", {}, "",
       "list 1 pair.lzh\nlist-command unpack\n", 0, {"Memo.txt", "memo.txt"}, "lha"},
      {"--convert café.png replaced caf?.png", {"caf?.png"}, "--convert café.png g.bmp", "", 1, {}},
      {"--convert dé/out.png wrote into d?/", {"d?/out.png"}, "--convert dé/out.png g.bmp", "", 1, {}},
      {"--convert a\\b.png wrote a/b.png", {"a/b.png"}, "--convert 'a\\b.png' g.bmp", "", 1, {}},
      {"compress-lzh of a folder named ソ failed", {}, "", "list 1 " + kSo + "\nlist-command compress-lzh\n", 0,
       {kSo + ".lzh"}, "lha"},
      {"compress of a folder named 表 failed", {}, "", "list 1 " + kHyou + "\nlist-command compress\n", 0,
       {kHyou + ".zip"}},
      {"a home named ソ lost its settings and could not save them", {}, "",
       "answer ftp1=R:~2x~/ftp://127.0.0.1;USER=u;PWRD=p\nlist-command ftp-settings\n", 0, {}, nullptr, "home/" + kSo},
  };
  // A drive letter no pseudo-drive has reached the local root with the letter dropped
  // (Q:\DIR\keep.png was DIR/keep.png), and a pseudo-drive's letter was written
  // locally by --convert. Every road refuses both, reading and writing nothing; R: is
  // also tried as a site's drive (on a port nobody serves).
  const std::string site = "ftp1=R:~2x~/ftp://127.0.0.1:1;USER=u;PWRD=p";
  for (const std::string drive : {"Q:", "C:", "R:", "R: of ftp1"}) {
    const std::string at = drive.substr(0, 2) + "{DIR}\\";
    const std::string set = drive.size() > 2 ? "set " + site + "\n" : "";
    const std::string setArg = drive.size() > 2 ? "--set " + testenv::Quote(site) + " " : "";
    const std::vector<Case> roads = {
        {drive + " FILE", {"memo.txt"}, setArg + testenv::Quote(at + "memo.txt"), "", 1, {}},
        {drive + " --convert OUT", {"keep.png"}, setArg + "--convert " + testenv::Quote(at + "keep.png") + " g.bmp", "", 1, {}},
        {drive + " open", {"memo.txt"}, "", set + "open " + at + "memo.txt\nprint text\n", 1, {}},
        {drive + " answer path=", {"s.png"}, "", set + "open g.bmp\nanswer path=" + at + "s.png yes\ncommand ID_IMAGE_SAVE_PNG\n", 1, {}},
        {drive + " list 1 + compress", {"tree.zip"}, "", set + "list 1 " + at + "tree\nanswer yes\nlist-command compress\n", 1, {}},
        {drive + " list 1 + convert", {"g.png"}, "", set + "list 1 " + at + "g.bmp\nanswer png yes\nlist-command convert\n", 1, {}},
    };
    cases.insert(cases.end(), roads.begin(), roads.end());
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    if (c.program && !testenv::PeerProgram(c.program)) continue;
    testenv::TempDir dir;
    const std::string d = dir.Host();
    testenv::Shell("cd " + testenv::Quote(d) + " && convert rose: -type TrueColor BMP3:g.bmp && cp g.bmp P.bmp && cp g.bmp a.bmp && " +
                   "convert rose: A.gif && mkdir tree " + kSo + " " + kHyou + " pair");
    for (const std::string& folder : {std::string("tree"), kSo, kHyou}) testenv::WriteHostFile(d + "/" + folder + "/a.txt", "packed");
    testenv::WriteHostFile(d + "/pair/Memo.txt", "upper memo");
    testenv::WriteHostFile(d + "/pair/memo.txt", "lower memo");
    if (testenv::PeerProgram("lha")) testenv::Shell("cd " + testenv::Quote(d + "/pair") + " && lha aq ../pair.lzh Memo.txt memo.txt");
    fs::remove_all(d + "/pair");
    for (const std::string& f : c.userFiles) {
      fs::create_directories(fs::path(d + "/" + f).parent_path());
      testenv::WriteHostFile(d + "/" + f, "the user's own " + f);
    }
    const std::string home = dir.HostPath(c.home);
    fs::create_directories(home);
    testenv::WriteHostFile(home + "/Pelnor.inf", "; the user's note\r\n");
    const auto withDir = [&dir](std::string text) {
      for (size_t at = text.find("{DIR}"); at != std::string::npos; at = text.find("{DIR}")) text.replace(at, 5, dir.Win());
      return text;
    };
    testenv::WriteHostFile(dir.HostPath("s.script"), withDir(c.script));
    const std::map<std::string, std::string> before = Files(d);
    const testenv::ProgramRun run = testenv::RunProgram(d, home, c.args.empty() ? "--script s.script" : withDir(c.args));
    EXPECT_EQ(run.status, c.status) << run.out << run.err;
    EXPECT_EQ(run.out.find("the user's own"), std::string::npos) << "a user's file was read\n" << run.out;
    const std::map<std::string, std::string> after = Files(d);
    for (const auto& [name, bytes] : before) {
      const auto it = after.find(name);
      EXPECT_TRUE(it != after.end() && it->second == bytes) << name << " changed or went";
    }
    for (const std::string& name : c.made) EXPECT_TRUE(after.count(name)) << name << " was not made";
    for (const auto& [name, bytes] : after) {
      const bool expected = before.count(name) || std::find(c.made.begin(), c.made.end(), name) != c.made.end();
      EXPECT_TRUE(expected || c.status == 0) << name << " was written by a refused run";
    }
    if (c.home != "home") {
      const std::string inf = testenv::ReadHostFile(home + "/Pelnor.inf");
      EXPECT_EQ(inf.rfind("; the user's note\r\n", 0), 0u) << inf;
      EXPECT_NE(inf.find("ftp1=R:~2x~/ftp://127.0.0.1"), std::string::npos) << inf;
    }
  }
}

}  // namespace
