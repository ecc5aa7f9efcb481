// Files cut at the input or output volume, through `pelnorix FILE`: the text shown is
// the file's head as `head -c` and iconv give it (a double-byte character cut in two
// left out), followed by the note of the volume that cut it, and standard error names
// the setting; a file shown whole says nothing of the kind.
#include <gtest/gtest.h>

#include "support/TestEnv.h"

namespace {

using testenv::Quote;
using testenv::Shell;

// Plain text cut at 512 KB ended mid-line with only "<部分表示>" on standard error
// (and a script's open said nothing); a CSV shown whole said "<部分表示>" all the
// same, and a CSV took in up to 900 KB more than `indata=0` (200 KB) and any output
// volume; a text over the output volume alone was said to be over the input volume.
TEST(InputVolumeFaults, CutFilesSayWhereAndWholeFilesDoNot) {
  SKIP_WITHOUT_PROGRAM("iconv");
  testenv::TempDir dir;
  // ASCII lines, with a double-byte character (0x93 0xFA) across byte 524,288 and
  // byte 204,800.
  std::string text;
  while (text.size() < 700000) text += "line " + std::to_string(text.size()) + " of a long plain text\r\n";
  for (size_t at : {size_t{524287}, size_t{204799}}) text.replace(at, 2, "\x93\xFA");
  testenv::WriteHostFile(dir.HostPath("big.txt"), text);
  std::string csv;
  while (csv.size() < 300000) csv += std::to_string(csv.size()) + ",12,345,6789,ab\r\n";
  testenv::WriteHostFile(dir.HostPath("whole.csv"), csv);
  testenv::WriteHostFile(dir.HostPath("lead.txt"), "abc\x93");

  const std::string overInput = "\r\n\r\n <以後データ省略>\r\nファイル容量オーバーです";
  const std::string overOutput = "\r\n\r\n <以後データ省略>\r\n <表示容量をオーバーしています。";
  struct Case {
    const char* fault;
    std::string args;
    size_t head;         // bytes of the file shown; 0: all of it
    std::string note;    // what follows them
    const char* setting; // named on standard error, or null
  };
  const Case cases[] = {
      {"plain text cut at 512 KB said nothing", "big.txt", 524287, overInput + "(>500KB)", "--set indata=MB"},
      {"indata=0 is 200 KB", "--set indata=0 big.txt", 204799, overInput + "(>200KB)", "--set indata=MB"},
      {"plain text over the output volume", "--set indata=2 --set outdata=0 big.txt", 204799, overOutput,
       "--set outdata=MB"},
      {"outdata=0 under the default input volume named indata", "--set outdata=0 big.txt", 204799, overOutput,
       "--set outdata=MB"},
      {"a text ending in a lone lead byte was said to be over the output volume", "lead.txt", 3, "", nullptr},
      {"a CSV shown whole said <部分表示>", "whole.csv", 0, "", nullptr},
      {"a CSV ignored indata=0", "--set indata=0 whole.csv", 204800, overInput + "(>200KB)", "--set indata=MB"},
      {"a CSV ignored outdata=0", "--set outdata=0 whole.csv", 204800, overOutput, "--set outdata=MB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    const testenv::ProgramRun run = testenv::RunProgram(dir.Host(), dir.HostPath("home"), c.args);
    const std::string& out = run.out;
    EXPECT_EQ(run.status, 0);
    const std::string file = c.args.substr(c.args.rfind(' ') + 1);
    std::string shown = Shell("head -c " + std::to_string(c.head ? c.head : 1u << 30) + " " + Quote(dir.HostPath(file)) +
                              " | iconv -f CP932 -t UTF-8");
    if (file.ends_with(".csv")) {
      for (char& ch : shown) ch = ch == ',' ? '\t' : ch;  // the column mark, on the terminal
    }
    EXPECT_EQ(out.substr(0, shown.size()), shown);
    EXPECT_EQ(out.substr(std::min(shown.size(), out.size())).rfind(c.note, 0), 0u)
        << out.substr(std::min(shown.size(), out.size()), 200);
    const std::string& err = run.err;
    if (c.setting) {
      EXPECT_NE(err.find(c.setting), std::string::npos) << err;
      EXPECT_NE(err.find("<部分表示>"), std::string::npos) << err;
    } else {
      EXPECT_EQ(out, shown);
      EXPECT_EQ(err, "");
    }
    // A script's open of the file names the same setting (and only when cut).
    std::string script;
    for (size_t at = c.args.find("--set "); at != std::string::npos; at = c.args.find("--set ", at + 1)) {
      script += "set " + c.args.substr(at + 6, c.args.find(' ', at + 6) - at - 6) + "\n";
    }
    testenv::WriteHostFile(dir.HostPath("open.script"), script + "open \"" + dir.HostPath(file) + "\"\n");
    const std::string scriptErr = testenv::RunProgram(dir.Host(), dir.HostPath("home"), "--script open.script").err;
    EXPECT_EQ(scriptErr.find(c.setting ? c.setting : "raises it") != std::string::npos, c.setting != nullptr) << scriptErr;
  }
}

}  // namespace
