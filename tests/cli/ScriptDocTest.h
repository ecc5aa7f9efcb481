// The script runner driven in-process on a test's own document and frame, as
// `pelnorix --script` drives them: the ground of the script tests that read the
// program's output and messages without starting it.
#pragma once

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CommandTables.h"
#include "cli/ScriptRunner.h"
#include "platform/text/CodePage.h"
#include "support/TestEnv.h"

namespace clitest {

class ScriptDocTest : public testenv::DocTest {
 protected:
  // Runs the script (named name in the messages); what it prints is added to out_,
  // its messages to messages_.
  int Run(const std::string& script, const char* name = "t.script") {
    ScriptRunner runner(*doc_, *frame_, AllCommandTables(), out_, messages_);
    return runner.Run(name, script);
  }
  std::ostringstream out_;
};

// The head of an RTF text in Shift-JIS with one Japanese font.
constexpr const char* kSjisRtfHead = "{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f0\\fnil\\fcharset128 Gothic;}}\\f0\\fs21 ";

// RTF paragraphs of text (UTF-8 here) written as Shift-JIS escapes; "{" starts a
// group written as it stands (a picture).
inline std::string SjisRtf(const std::vector<std::string>& lines) {
  std::string rtf = kSjisRtfHead;
  for (const std::string& line : lines) {
    for (unsigned char c : plat::Utf8ToCp932Lossy(line)) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\'%02x", c);
      rtf += c < 0x80 ? std::string(1, static_cast<char>(c)) : std::string(esc);
    }
    rtf += "\\par ";
  }
  return rtf + "}";
}

}  // namespace clitest
