// The built pelnorix running scripts end to end: the selection a script prints is
// iconv's reading of the same Shift-JIS line, a failing line stops the run with its
// number, and a run writes nothing outside the program folder.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "support/TestEnv.h"

namespace {

using testenv::Quote;
using testenv::Shell;

std::set<std::string> FilesBelow(const std::string& root) {
  std::set<std::string> files;
  for (const auto& e : std::filesystem::recursive_directory_iterator(root)) files.insert(e.path().string());
  return files;
}

class ScriptCliTest : public ::testing::Test {
 protected:
  testenv::TempDir dir_;
  std::string Run(const std::string& args, int* status, const std::string& input = "") {
    const std::string feed = input.empty() ? "" : "printf %s " + Quote(input) + " | ";
    return Shell("cd " + Quote(dir_.Host()) + " && " + feed + "PELNORIX_HOME=" + Quote(dir_.HostPath("home")) + " " +
                     Quote(PELNORIX_BINARY) + " " + args + " 2>" + Quote(dir_.HostPath("err.txt")),
                 status);
  }
  std::string Err() { return testenv::ReadHostFile(dir_.HostPath("err.txt")); }
};

TEST_F(ScriptCliTest, ScriptDrivesTheViewAndTheListsAndStopsAtAFailure) {
  SKIP_WITHOUT_PROGRAM("iconv");
  const std::string sample = std::string(PELNORIX_SOURCE_DIR) + "/samples/sample-sjis.txt";
  testenv::WriteHostFile(dir_.HostPath("data/b.txt"), "second file\n");
  testenv::WriteHostFile(dir_.HostPath("s.script"),
                         "# view, then list 1, then a list command not built yet\n"
                         "open \"" + sample + "\"\n"
                         "key Down Shift+End\n"
                         "print selection\n"
                         "expect text \xE8\xA1\xA8\xE7\xA4\xBA\n"
                         "list 1 data/b.txt\n"
                         "expect text \"second file\"\n"
                         "select b.txt\n"
                         "list-command ID_LIST_MACRO\n"
                         "print text\n");
  int status = -1;
  Shell("mkdir -p " + Quote(dir_.HostPath("home/TMP")));
  const auto before = FilesBelow(dir_.Host());
  const std::string out = Run("--script s.script", &status);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(out, Shell("sed -n 2p " + Quote(sample) + " | tr -d '\\r' | iconv -f CP932 -t UTF-8"));
  EXPECT_NE(Err().find("s.script:9: ID_LIST_MACRO is not built yet"), std::string::npos) << Err();
  // Only the program folder and the captured messages may have changed.
  for (const auto& f : FilesBelow(dir_.Host())) {
    if (before.count(f) || f.rfind(dir_.HostPath("home"), 0) == 0 || f == dir_.HostPath("err.txt")) continue;
    ADD_FAILURE() << "the script wrote " << f;
  }
}

TEST_F(ScriptCliTest, StandardInputAndExitStatuses) {
  int status = -1;
  EXPECT_EQ(Run("--script -", &status, "print title\nexpect title Pelnorix\n"), "Pelnorix\n");
  EXPECT_EQ(status, 0);
  const std::string sample = std::string(PELNORIX_SOURCE_DIR) + "/samples/sample-sjis.txt";
  EXPECT_EQ(Run("--sjis --script -", &status, "open \"" + sample + "\"\nprint text\n"), testenv::ReadHostFile(sample));
  Run("--script -", &status, "print title\nkey Ctrl+Q+Z\n");
  EXPECT_EQ(status, 2);
  EXPECT_NE(Err().find("<stdin>:2: unknown key"), std::string::npos) << Err();
  Run("--script missing.script", &status);
  EXPECT_EQ(status, 2);
  EXPECT_NE(Err().find("missing.script: cannot read the script"), std::string::npos) << Err();
  Run("--script s.script extra.txt", &status);
  EXPECT_EQ(status, 2);
  const std::string commands = Run("--commands", &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(commands.find("33509\tID_LIST_MACRO\t\xE3\x83\xAA\xE3\x82\xB9\xE3\x83\x88\xE3\x83\x9E\xE3\x82\xAF\xE3\x83\xAD\xE5\xAE\x9F\xE8\xA1\x8C\tlist\tnot built\n"), std::string::npos)
      << commands;
  const std::string help = Run("--help", &status);
  for (const char* statement : {"open PATH", "list-command NAME", "expect text|status|title CONTAINS", "Shift+"}) {
    EXPECT_NE(help.find(statement), std::string::npos) << statement;
  }
}

// An RTF of three million empty paragraphs took about 490 bytes a paragraph in the
// rich-text pane (1.4 GB); the paragraph formats are shared now. The program, run by
// itself, opens it within 512 MiB of peak resident memory and reaches its last line.
TEST_F(ScriptCliTest, LargeRtfTookHalfAKilobyteAParagraphFault) {
  {
    std::ofstream rtf(dir_.HostPath("big.rtf"), std::ios::binary);
    rtf << "{\\rtf1\\ansi ";
    const std::string chunk = [] {
      std::string c;
      for (int i = 0; i < 1000; ++i) c += "\\par";
      return c;
    }();
    for (int i = 0; i < 3000; ++i) rtf << chunk;
    rtf << "}";
  }
  testenv::WriteHostFile(dir_.HostPath("big.script"), "set indata=64\nopen \"" + dir_.HostPath("big.rtf") +
                                                          "\"\ncaret 3000001 1\n");
  const std::string home = "PELNORIX_HOME=" + dir_.HostPath("home");
  std::vector<std::string> envText{home};
  for (char** e = environ; *e; ++e) {
    if (std::string_view(*e).starts_with("PELNORIX_HOME=")) continue;
    envText.emplace_back(*e);
  }
  std::vector<char*> env;
  for (std::string& e : envText) env.push_back(e.data());
  env.push_back(nullptr);
  std::string binary = PELNORIX_BINARY, flag = "--script", script = dir_.HostPath("big.script");
  char* argv[] = {binary.data(), flag.data(), script.data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv, env.data()), 0);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  rusage usage{};
  ASSERT_EQ(wait4(pid, &status, 0, &usage), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_LT(usage.ru_maxrss, 512L * 1024) << "peak resident memory in KiB";
}

}  // namespace
