// Protect and expand as a user runs them (a script of list commands), over the
// faults that wrote where the user did not name: the target is made beside the
// source from its name, never onto the source; what is no regular file is not read;
// an expansion stays within what is shown; a save after expand goes beside the
// user's protected file, never into the work folder. The user's folder and the
// program folder are small disks, so that nothing unbounded can pass unseen.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

#include "archive/ArchiveTestSupport.h"
#include "support/SmallDisk.h"

using namespace archtest;
namespace fs = std::filesystem;

namespace {

// The regular files below folder by their relative names, with their bytes; a link,
// a pipe or a device is listed by its name alone (never read).
std::map<std::string, std::string> Snapshot(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    const std::string rel = fs::relative(e.path(), folder).string();
    if (e.is_symlink() || (!e.is_regular_file() && !e.is_directory())) files[rel] = "(special)";
    if (!e.is_symlink() && e.is_regular_file()) files[rel] = testenv::ReadHostFile(e.path().string());
  }
  return files;
}

// Protects name (in folder d) with the key ABCD through the program.
void ProtectWithTheProgram(const testenv::TempDir& dir, const std::string& d, const std::string& name) {
  UserRun run = RunUserScript(dir, "list 1 " + d + "/" + name + "\nanswer key=ABCD\nlist-command protect\n", true);
  ASSERT_EQ(run.status, 0) << run.out;
  fs::remove(d + "/" + name);
}

std::string Replaced(std::string text, const std::string& d) {
  for (size_t at = text.find("$D"); at != std::string::npos; at = text.find("$D", at)) text.replace(at, 2, d);
  return text;
}

}  // namespace

TEST(ProtectExpandFault, TargetBesideTheSourceNeverTheSourceNothingUnboundedNoSaveLost) {
  SKIP_WITHOUT_PROGRAM("convert");
  SKIP_WITHOUT_PROGRAM("compare");
  struct Case {
    const char* fault;
    std::function<void(const testenv::TempDir&, const std::string&)> make;  // the user's files in d
    const char* script;  // $D is the user's folder
    int status;
    std::vector<std::string> says;
    std::vector<std::string> made;  // new files in d; every other file stays as it was
    std::function<void(const std::string&)> check = nullptr;
  };
  const std::vector<Case> cases{
      {"ProtectWroteIntoTheParentWhenTheFolderNameHasADot",
       [](const testenv::TempDir&, const std::string& d) {
         fs::create_directories(d + "/v1.2");
         testenv::WriteHostFile(d + "/v1.2/NOTES", "release notes");
         testenv::WriteHostFile(d + "/v1.+", "an unrelated file");
       },
       "list 1 $D/v1.2/NOTES\nanswer key=ABCD\nanswer yes\nlist-command protect\n", 0, {}, {"v1.2/NOTES.+"},
       [](const std::string& d) { EXPECT_NE(testenv::ReadHostFile(d + "/v1.2/NOTES.+"), "release notes"); }},
      {"ProtectingAProtectedFileScrambledItAgainInPlace",
       [](const testenv::TempDir& dir, const std::string& d) {
         testenv::WriteHostFile(d + "/dbl.txt", "protected once");
         ProtectWithTheProgram(dir, d, "dbl.txt");
       },
       "list 1 $D/dbl.+txt\nanswer key=ABCD\nanswer yes yes\nlist-command protect\n", 1,
       {"$D/dbl.+txt", "元のファイルと同じ名前には保存できません"}, {}},
      {"ProtectOfAPipeWroteAnEmptyProtectedFile",
       [](const testenv::TempDir&, const std::string& d) { testenv::Shell("mkfifo " + Q(d + "/pipe.txt")); },
       "list 1 $D/pipe.txt\nanswer key=ABCD\nlist-command protect\n", 1, {"$D/pipe.txt", "not a regular file"}, {}},
      {"ProtectOfALinkToDevZeroFilledTheDisk",
       [](const testenv::TempDir&, const std::string& d) { fs::create_symlink("/dev/zero", d + "/zero.txt"); },
       "list 1 $D/zero.txt\nanswer key=ABCD\nlist-command protect\n", 1, {"not a regular file"}, {}},
      {"ExpandOfALinkToDevZeroFilledTheWorkFolder",
       [](const testenv::TempDir&, const std::string& d) { fs::create_symlink("/dev/zero", d + "/zero.=txt"); },
       "list 1 $D/zero.=txt\nlist-command expand\n", 1, {"not a regular file"}, {}},
      // 8 MB of text expanded for the 512 KB shown, with 2 MB of room for the work folder.
      {"ExpandCopiedTheWholeTextThoughOnlyTheVolumeIsShown",
       [](const testenv::TempDir& dir, const std::string& d) {
         std::string text;
         while (text.size() < (size_t{8} << 20)) text += "line " + std::to_string(text.size()) + " of a long text\n";
         testenv::WriteHostFile(d + "/big.txt", text);
         ProtectWithTheProgram(dir, d, "big.txt");
       },
       "list 1 $D/big.+txt\nanswer key=ABCD\nlist-command expand\nexpect text \"line 0 of a long text\"\n", 0, {}, {}},
      // The temporary save of an expanded picture went to the work folder and was removed at the end.
      {"SaveAfterExpandLandedInTheWorkFolderAndWasDeleted",
       [](const testenv::TempDir& dir, const std::string& d) {
         testenv::Shell("convert -size 40x30 gradient:red-blue BMP3:" + Q(d + "/pic.bmp"));
         testenv::Shell("convert " + Q(d + "/pic.bmp") + " -negate BMP3:" + Q(dir.HostPath("negated.bmp")));
         ProtectWithTheProgram(dir, d, "pic.bmp");
       },
       "list 1 $D/pic.+bmp\nanswer key=ABCD\nlist-command expand\ncommand ID_IMAGE_INVERT\ncommand ID_IMAGE_SAVE_TEMP\n", 0, {},
       {"pic_TMP.bmp"},
       [](const std::string& d) {
         const std::string ae = testenv::Shell("compare -metric AE " + Q(d + "/pic_TMP.bmp") + " " +
                                               Q(d + "/../negated.bmp") + " null: 2>&1");
         EXPECT_EQ(ae.substr(0, 1), "0") << "the saved picture is the inverted one: " << ae;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    testenv::TempDir dir;
    testenv::SmallDisk files(dir, "files", 24 << 20);
    testenv::SmallDisk home(dir, "home", 2 << 20);
    const std::string d = files.Host();
    c.make(dir, d);
    const std::map<std::string, std::string> before = Snapshot(d);
    UserRun run = RunUserScript(dir, Replaced(c.script, d), true, home.Prefix());
    EXPECT_EQ(run.status, c.status) << run.out;
    for (const std::string& text : c.says) EXPECT_NE(run.out.find(Replaced(text, d)), std::string::npos) << run.out;
    std::map<std::string, std::string> after = Snapshot(d);
    for (const std::string& name : c.made) {
      EXPECT_EQ(after.count(name), 1u) << name << " is made beside its source: " << run.out;
      after.erase(name);
    }
    EXPECT_EQ(after, before) << "nothing else is written or changed";
    if (c.check) c.check(d);
    // Nothing of the run stays in the work folder: no plain copy, no save.
    if (fs::exists(dir.HostPath("home/TMP")))
      for (const auto& e : fs::recursive_directory_iterator(dir.HostPath("home/TMP"))) ADD_FAILURE() << e.path();
  }
}
