// Standard output that cannot take the text, through the built program: /dev/full and
// a 256 KB disk that fills. The display text and a script's `print text` were lost or
// cut with exit 0; each run now exits 1 with the reason, as cat says it.
#include <gtest/gtest.h>

#include "support/SmallDisk.h"
#include "support/TestEnv.h"

namespace {

using testenv::Quote;

// What follows "write error: " in cat's message for the same output.
std::string CatReason(const testenv::TempDir& dir, const std::string& prefix, const std::string& target) {
  testenv::Shell("cd " + Quote(dir.Host()) + " && " + prefix + "cat sample.txt >" + target + " 2>cat.err");
  const std::string err = testenv::ReadHostFile(dir.HostPath("cat.err"));
  const size_t at = err.find("write error: ");
  return at == std::string::npos ? err : err.substr(at + 13, err.find('\n', at) - at - 13);
}

TEST(OutputWriteFaults, AnOutputThatTakesNoMoreFailsTheRunWithTheReason) {
  SKIP_WITHOUT_PROGRAM("cat");
  testenv::TempDir dir;
  std::string text;
  while (text.size() < 400000) text += "line " + std::to_string(text.size()) + " of a long plain text\n";
  testenv::WriteHostFile(dir.HostPath("sample.txt"), text);
  testenv::WriteHostFile(dir.HostPath("p.script"), "open \"" + dir.HostPath("sample.txt") + "\"\nprint text\n");
  const testenv::SmallDisk disk(dir, "disk", 256 * 1024);
  const std::string full = CatReason(dir, "", "/dev/full");
  const std::string filled = CatReason(dir, disk.Prefix(), "disk/cat.txt");
  ASSERT_FALSE(full.empty());
  ASSERT_FALSE(filled.empty());
  struct Case {
    const char* fault;
    std::string args;
    std::string prefix;
    std::string reason;  // on standard error
  };
  const Case cases[] = {
      {"a file shown into /dev/full", "sample.txt >/dev/full", "", "pelnorix: write error: " + full},
      {"print text into /dev/full", "--script p.script >/dev/full", "", "print: write error: " + full},
      {"a file shown onto a full disk", "sample.txt >disk/out.txt", disk.Prefix(), "pelnorix: write error: " + filled},
      {"print text onto a full disk", "--script p.script >disk/out.txt", disk.Prefix(), "print: write error: " + filled},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    const testenv::ProgramRun run = testenv::RunProgram(dir.Host(), dir.HostPath("home"), c.args, c.prefix);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
  }
  // The same runs into a file with room exit 0.
  for (const char* args : {"sample.txt >whole.txt", "--script p.script >whole.txt"}) {
    EXPECT_EQ(testenv::RunProgram(dir.Host(), dir.HostPath("home"), args).status, 0) << args;
  }
}

}  // namespace
