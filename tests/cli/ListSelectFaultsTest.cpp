// The file list's select through the built program: a folder holds names that differ
// only in case (A/ and a/, memo.txt and Memo.txt), each a file of its own. A select
// of a path outside the list's folder, or of a name the folder does not hold, selects
// nothing and fails, and the command after it renames or converts nothing.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/TestEnv.h"

namespace {

namespace fs = std::filesystem;

// select picked /t/A/memo@Enc.txt for /t/a/memo@Enc.txt (the folder was compared
// ignoring case, and the name fell back to one in any case): encipher-names renamed a
// file never named and convert wrote /t/A/pic.png, exit 0 and nothing said.
TEST(ListSelectFaults, SelectOfASameNamedFileElsewhereActsOnNothing) {
  SKIP_WITHOUT_PROGRAM("convert");
  testenv::TempDir dir;
  const std::string d = dir.HostPath("t");
  for (const char* folder : {"A", "a"}) {
    fs::create_directories(d + "/" + folder);
    testenv::WriteHostFile(d + "/" + folder + "/memo@Enc.txt", std::string("memo in ") + folder);
    testenv::Shell("convert -size 7x5 xc:red " + testenv::Quote(d + "/" + folder + "/pic.bmp"));
  }
  testenv::WriteHostFile(d + "/A/other.txt", "other");
  testenv::WriteHostFile(d + "/A/Memo.txt", "capital memo");
  const std::string before = dir.HostPath("before");
  fs::copy(d, before, fs::copy_options::recursive);

  struct Case {
    const char* fault;
    std::string script;
    const char* said;  // on standard error
  };
  const Case cases[] = {
      {"encipher-names renamed the same-named file of the list's folder",
       "list 1 " + d + "/A/other.txt\nselect " + d + "/a/memo@Enc.txt\nanswer key=ABCD\nlist-command encipher-names\n",
       "is not in list 1"},
      {"convert wrote the same-named picture's PNG in the list's folder",
       "list 1 " + d + "/A/other.txt\nselect " + d + "/a/pic.bmp\nanswer png\nlist-command convert\n", "is not in list 1"},
      {"a name in another case selected the file of that name", "list 1 " + d + "/A/other.txt\nselect MEMO@enc.txt\n"
       "answer key=ABCD\nlist-command encipher-names\n", "is not in list 1"},
      {"list 1 of a name that is not there landed on another file", "list 1 " + d + "/A/OTHER.TXT\n", "cannot be shown"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    testenv::WriteHostFile(dir.HostPath("s.script"), c.script);
    const testenv::ProgramRun run = testenv::RunProgram(dir.Host(), dir.HostPath("home"), "--script s.script");
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
    // Every file as it was, and nothing new.
    for (const auto& e : fs::recursive_directory_iterator(d)) {
      const std::string rel = fs::relative(e.path(), d).string();
      if (e.is_directory()) continue;
      ASSERT_TRUE(fs::exists(before + "/" + rel)) << rel << " was written";
      EXPECT_EQ(testenv::ReadHostFile(e.path().string()), testenv::ReadHostFile(before + "/" + rel)) << rel;
    }
    for (const char* name : {"A/memo@Enc.txt", "a/memo@Enc.txt", "A/Memo.txt", "A/pic.bmp", "a/pic.bmp"}) {
      EXPECT_TRUE(fs::exists(d + "/" + name)) << name;
    }
  }

  // A picture of the list's own folder is selected and converted beside itself.
  testenv::WriteHostFile(dir.HostPath("s.script"), "list 1 " + d + "/a/memo@Enc.txt\nselect " + d + "/a/pic.bmp\nanswer png\n"
                         "list-command convert\n");
  const testenv::ProgramRun run = testenv::RunProgram(dir.Host(), dir.HostPath("home"), "--script s.script");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::exists(d + "/a/pic.png"));
  EXPECT_FALSE(fs::exists(d + "/A/pic.png"));
}

}  // namespace
