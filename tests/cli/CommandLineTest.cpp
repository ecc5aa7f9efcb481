// The pelnorix program end to end: output compared byte for byte with iconv's
// reading of the same file, and the exit statuses.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "cli/CommandLine.h"
#include "support/NetServers.h"
#include "support/TestEnv.h"

namespace {

using testenv::Quote;
using testenv::Shell;

class CliTest : public ::testing::Test {
 protected:
  testenv::TempDir dir_;
  // Runs pelnorix with a private program folder; standard error goes to err.txt.
  std::string Run(const std::string& args, int* status) {
    return Shell("PELNORIX_HOME=" + Quote(dir_.HostPath("home")) + " " + Quote(PELNORIX_BINARY) + " " + args +
                     " 2>" + Quote(dir_.HostPath("err.txt")),
                 status);
  }
  std::string Err() { return testenv::ReadHostFile(dir_.HostPath("err.txt")); }
};

TEST_F(CliTest, ShiftJisTextIsPrintedAsUtf8) {
  SKIP_WITHOUT_PROGRAM("iconv");
  const std::string sample = std::string(PELNORIX_SOURCE_DIR) + "/samples/sample-sjis.txt";
  int status = -1;
  const std::string out = Run(Quote(sample), &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(out, Shell("iconv -f CP932 -t UTF-8 " + Quote(sample)));
  EXPECT_EQ(Run("--sjis " + Quote(sample), &status), testenv::ReadHostFile(sample));
  EXPECT_EQ(Err(), "");
}

TEST_F(CliTest, LongShiftJisTextIsPrintedWhole) {
  SKIP_WITHOUT_PROGRAM("iconv");
  // Runs of double-byte characters longer than the pieces the output is written in,
  // with trail bytes in the ASCII range ("\x83\x41" ア, "\x95\x5C" 表).
  std::string text;
  for (int line = 0; line < 6; ++line) {
    for (int i = 0; i < 20000 + 7 * line; ++i) text += i % 3 == 0 ? "\x83\x41" : i % 3 == 1 ? "\x95\x5C" : "\x88\x9F";
    text += line % 2 ? "\r\n" : "a,\n";
  }
  const std::string path = dir_.HostPath("long.txt");
  testenv::WriteHostFile(path, text);
  int status = -1;
  EXPECT_EQ(Run("--set indata=1 --set outdata=1 " + Quote(path), &status), Shell("iconv -f CP932 -t UTF-8 " + Quote(path)));
  EXPECT_EQ(status, 0);
}

TEST_F(CliTest, Utf8TextReadAsUtf8ComesBackUnchanged) {
  const std::string text = "\xE8\xA1\xA8\xE7\xA4\xBA \xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88 caf\xC3\xA9\xE2\x80\x94ok\n";
  testenv::WriteHostFile(dir_.HostPath("u.txt"), text);
  int status = -1;
  const std::string out = Run("--set readform=1 " + Quote(dir_.HostPath("u.txt")), &status);
  EXPECT_EQ(status, 0);
  // é has no CP932 code and becomes '?'; the em dash is taken by the code page as its
  // full-width dash, as iconv takes it.
  std::string questioned = text;
  questioned.replace(questioned.find("\xC3\xA9"), 2, "?");
  testenv::WriteHostFile(dir_.HostPath("q.txt"), questioned);
  EXPECT_EQ(out, Shell("iconv -f UTF-8 -t CP932 " + Quote(dir_.HostPath("q.txt")) + " | iconv -f CP932 -t UTF-8"));
}

TEST_F(CliTest, CsvCellsArePrintedTabSeparated) {
  testenv::WriteHostFile(dir_.HostPath("t.csv"), "a,b,c\n1,\"x,y\",3\n");
  int status = -1;
  EXPECT_EQ(Run(Quote(dir_.HostPath("t.csv")), &status), "a\tb\tc\n1\t\"x,y\"\t3\n");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Run("--sjis " + Quote(dir_.HostPath("t.csv")), &status), "a\x06" "b\x06" "c\n1\x06\"x,y\"\x06" "3\n");
}

TEST_F(CliTest, LinkAddressesAreListedOnRequest) {
  testenv::WriteHostFile(dir_.HostPath("t.html"), "<p>see <a href=\"http://example.org/a\">here</a></p>");
  int status = -1;
  EXPECT_EQ(Run(Quote(dir_.HostPath("t.html")), &status).find("example.org"), std::string::npos);
  EXPECT_NE(Run("--set showaddr=1 " + Quote(dir_.HostPath("t.html")), &status).find("@01 http://example.org/a"),
            std::string::npos);
  EXPECT_EQ(status, 0);
}

TEST_F(CliTest, ShiftJisFileNamesWithTrailByte5C) {
  testenv::WriteHostFile(dir_.HostPath("\xE8\xA1\xA8\xE3\x82\xBD.txt"), "hello\n");  // 表ソ.txt
  int status = -1;
  EXPECT_EQ(Run(Quote(dir_.HostPath("\xE8\xA1\xA8\xE3\x82\xBD.txt")), &status), "hello\n");
  EXPECT_EQ(status, 0);
}

TEST_F(CliTest, HostPathsBecomeWindowsPathsOrAreRefused) {
  EXPECT_EQ(WindowsPathOfArgument("/a/\xE8\xA1\xA8/b.txt"), std::optional<std::string>("\\a\\\x95\x5C\\b.txt"));
  EXPECT_EQ(WindowsPathOfArgument("rel/x"), std::optional<std::string>("rel\\x"));
  EXPECT_EQ(WindowsPathOfArgument("c:x"), std::optional<std::string>(".\\c:x"));  // a name, not a drive
  EXPECT_FALSE(WindowsPathOfArgument("a\\b.txt").has_value());
  // A host name with a backslash is not opened as the file b.txt in the folder a.
  testenv::WriteHostFile(dir_.HostPath("a\\b.txt"), "one name\n");
  testenv::WriteHostFile(dir_.HostPath("a/b.txt"), "another file\n");
  int status = -1;
  EXPECT_EQ(Run(Quote(dir_.HostPath("a\\b.txt")), &status), "");
  EXPECT_EQ(status, 1);
}

TEST_F(CliTest, FailuresHaveTheirExitStatusAndMessage) {
  int status = -1;
  Run(Quote(dir_.HostPath("missing.txt")), &status);
  EXPECT_EQ(status, 1);
  EXPECT_NE(Err().find("ファイルをオープンできません。"), std::string::npos);

  testenv::WriteHostFile(dir_.HostPath("a.txt"), "x");
  Run("--set nosuch=1 " + Quote(dir_.HostPath("a.txt")), &status);
  EXPECT_EQ(status, 2);
  EXPECT_NE(Err().find("nosuch"), std::string::npos);
  Run("--set readform=9 " + Quote(dir_.HostPath("a.txt")), &status);
  EXPECT_EQ(status, 2);
  EXPECT_NE(Err().find("readform"), std::string::npos);
  Run("", &status);
  EXPECT_EQ(status, 2);
  Run("--bogus x", &status);
  EXPECT_EQ(status, 2);

  // A name CP932 cannot express is refused, never opened under another name.
  testenv::WriteHostFile(dir_.HostPath("\xE2\x82\xAC.txt"), "euro");
  EXPECT_EQ(Run(Quote(dir_.HostPath("\xE2\x82\xAC.txt")), &status), "");
  EXPECT_EQ(status, 1);
  EXPECT_NE(Err().find("cannot be written in Shift-JIS"), std::string::npos);

  EXPECT_NE(Run("--help", &status).find("readform"), std::string::npos);
  EXPECT_EQ(status, 0);
}

// --help offered `--set ftp1=...;PWRD=password` without a word that the command line
// is seen by every user of the machine.
TEST_F(CliTest, HelpOffersPasswordOnTheCommandLineFault) {
  int status = -1;
  const std::string help = Run("--help", &status);
  EXPECT_EQ(status, 0);
  const size_t ftp1 = help.find("PWRD=password");
  ASSERT_NE(ftp1, std::string::npos);
  const std::string after = help.substr(ftp1, help.find("ftp2", ftp1) - ftp1);
  EXPECT_NE(after.find("visible to other users"), std::string::npos) << after;
  EXPECT_NE(after.find("Pelnor.inf"), std::string::npos) << after;
  EXPECT_NE(after.find("0600"), std::string::npos) << after;
}

// What the program says of itself: --version printed nothing but a usage error,
// --commands named no script short name, and --help named only $PELNORIX_HOME as the
// place of Pelnor.inf.
TEST_F(CliTest, TheProgramDescribesItselfFault) {
  struct Case {
    const char* fault;
    const char* args;
    std::string printed;
  };
  const Case cases[] = {
      {"--version was a usage error", "--version", "pelnorix " PELNORIX_PROJECT_VERSION "\n"},
      {"-V was a usage error", "-V", "pelnorix " PELNORIX_PROJECT_VERSION "\n"},
      {"--commands left out the short names", "--commands", "33500\tID_LIST_COMPRESS_ZIP\tZIP圧縮\tlist\tbuilt\tcompress\n"},
      {"--commands left out the short names", "--commands", "\tID_MEDIA_PLAY_STOP\t再生/停止\tview\tbuilt\tplay\n"},
      {"--commands left out the short names", "--commands", "\tID_BROWSER_BACK\t"},
      {"--commands left out the short names", "--commands", "\tbrowser-back\n"},
      {"--help named one place of Pelnor.inf", "--help", "~/.local/share/pelnorix"},
      {"--help named one place of Pelnor.inf", "--help", "/tmp/pelnorix-" + std::to_string(geteuid()) + " when HOME is unset"},
  };
  for (const Case& c : cases) {
    int status = -1;
    const std::string out = Run(c.args, &status);
    EXPECT_EQ(status, 0) << c.fault;
    if (std::string_view(c.args) == "--version" || std::string_view(c.args) == "-V") {
      EXPECT_EQ(out, c.printed) << c.fault;
    } else {
      EXPECT_NE(out.find(c.printed), std::string::npos) << c.fault << ": " << c.printed;
    }
  }
}

// The size-over text tells the user to change the volume in a settings menu that the
// terminal does not have: standard error names the setting that raises it.
TEST_F(CliTest, SizeOverMessageNamesTheSettingThatRaisesTheVolume) {
  int status = -1;
  testenv::WriteHostFile(dir_.HostPath("big.csv"), std::string(3000000, 'a') + "\n");
  const std::string out = Run("--set indata=1 " + Quote(dir_.HostPath("big.csv")), &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(out.find("ファイル容量オーバーです"), std::string::npos);
  EXPECT_NE(Err().find("--set indata=MB"), std::string::npos);

  testenv::WriteHostFile(dir_.HostPath("small.csv"), "a,b\n");
  Run("--set indata=1 " + Quote(dir_.HostPath("small.csv")), &status);
  EXPECT_EQ(Err().find("indata"), std::string::npos);

  Shell("convert -size 1000x1000 xc: +noise Random -quality 95 " + Quote(dir_.HostPath("big.jpg")), &status);
  if (status == 0) {
    Run("--set bmpfile=1 " + Quote(dir_.HostPath("big.jpg")), &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(Err().find("--set bmpfile=MB"), std::string::npos);
  }
}

// The libraries opened on first use (platform/*/*Library.cpp) are not linked.
// Escape sequences of a file or page reached the terminal raw: `pelnorix FILE`,
// `print title` and `print text` wrote ESC ] 52 (a clipboard write), ESC ] 0 (the
// terminal's title) and ESC [ 31m byte for byte; so did the messages that name a
// file: compress's note on a named pipe it leaves out, unpack's error on a member,
// auto-play's note where it stops. Onto a pseudo-terminal each is now shown as less
// shows it; a pipe still takes the bytes.
TEST_F(CliTest, EscapeSequencesReachedTheTerminalRawFault) {
  const std::string escapes = "T \x1b]0;owned\x07 \x1b[31mred \x1b]52;c;cGVs\x07 x";
  testenv::WriteHostFile(dir_.HostPath("web/e.htm"), "<html><head><title>" + escapes + "</title></head><body>" + escapes +
                                                         "</body></html>\n");
  testenv::WriteHostFile(dir_.HostPath("e.txt"), escapes + "\r\n");
  nettest::HttpServer http;
  START_OR_SKIP(http.StartStatic(dir_.HostPath("web"), dir_.HostPath("http.log")), "http.server");
  const std::string page = "address http://127.0.0.1:" + std::to_string(http.Port()) + "/e.htm\n";
  const std::string clip = "p\x1b]52;c;SGVsbG8=\x07.txt";
  const std::string member = "ev\x1b]0;EVIL\x07il.bin";
  const std::string wav = "2\x1b]0;w\x07.wav";
  testenv::WriteHostFile(dir_.HostPath("pack/a.txt"), "a\n");
  testenv::WriteHostFile(dir_.HostPath("s\x1b]0;S\x07.script"), "bogus\n");
  testenv::WriteHostFile(dir_.HostPath("play/1.wav"), testenv::ReadHostFile(testenv::DataPath("dump/tone.wav")));
  ASSERT_EQ(Shell("cd " + Quote(dir_.Host()) + " && mkfifo " + Quote("pack/" + clip) + " " + Quote("play/" + wav) +
                  " && python3 -c 'import sys, zipfile; z = zipfile.ZipFile(\"ev.zip\", \"w\"); "
                  "z.writestr(sys.argv[1], b\"x\" * 100); z.close()' " + Quote(member) +
                  // its data made wrong, so that its check fails
                  " && printf zz | dd of=ev.zip bs=1 seek=" + std::to_string(30 + member.size() + 10) +
                  " conv=notrunc 2>/dev/null && echo ok"),
            "ok\n");
  const struct {
    const char* fault;
    std::string script;  // "" shows e.txt
    int status;
    std::string raw;    // what a pipe takes
    std::string shown;  // what the terminal shows
    std::string args = "";  // the command line, when not the script's or e.txt's
  } cases[] = {
      {"the display text", "", 0, "\x1b]52;c;cGVs\x07", "T ^[]0;owned^G ^[[31mred ^[]52;c;cGVs^G x"},
      {"print title", "set htmlpane=1\npane html\n" + page + "print title\n", 0, "\x1b]52;c;cGVs\x07",
       "T ^[]0;owned^G ^[[31mred ^[]52;c;cGVs^G x"},
      {"print text", "set htmlpane=1\npane html\n" + page + "print text\n", 0, "\x1b]52;c;cGVs\x07",
       "T ^[]0;owned^G ^[[31mred ^[]52;c;cGVs^G x"},
      {"compress's note on a named pipe", "list 1 pack\nlist-command compress\n", 0, clip, "p^[]52;c;SGVsbG8=^G.txt"},
      {"unpack's error on a member", "list 1 ev.zip\nlist-command unpack\n", 1, member, "ev^[]0;EVIL^Gil.bin"},
      {"auto-play's note where it stops", "set audiodev=null\nset autoplay=1\nlist 1 play/1.wav\nwait 3000\n", 0, wav,
       "2^[]0;w^G.wav"},
      // The lines that repeat what the user typed were written as typed.
      {"a refused name typed on the command line", "", 1, "\x1b]0;N\x07", "n^[]0;N^G\xf0\x9f\x98\x80",
       Quote("n\x1b]0;N\x07\xf0\x9f\x98\x80.txt")},
      {"an unknown setting typed after --set", "", 2, "\x1b]0;K\x07", "k^[]0;K^G", "--set " + Quote("k\x1b]0;K\x07=1") + " x"},
      {"a script's error under the script's name", "", 2, "\x1b]0;S\x07", "s^[]0;S^G.script:1: unknown",
       "--script " + Quote("s\x1b]0;S\x07.script")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    testenv::WriteHostFile(dir_.HostPath("s.script"), c.script);
    const std::string args = !c.args.empty()     ? c.args
                             : c.script.empty() ? Quote(dir_.HostPath("e.txt"))
                                                : "--script s.script";
    // What a run made goes before the next, which would ask about it.
    const std::string clean = "cd " + Quote(dir_.Host()) + " && rm -rf pack.zip ev && ";
    const std::string home = "PELNORIX_HOME=" + Quote(dir_.HostPath("home")) + " ";
    const std::string piped = Shell(clean + home + Quote(PELNORIX_BINARY) + " " + args + " 2>err.txt");
    EXPECT_NE((piped + Err()).find(c.raw), std::string::npos) << "a pipe takes the bytes";
    int status = -1;
    const std::string shown = Shell(clean + home + "python3 -c 'import pty, sys; sys.exit(pty.spawn(sys.argv[1:]) >> 8)' " +
                                        Quote(PELNORIX_BINARY) + " " + args + " </dev/null",
                                    &status);
    EXPECT_EQ(status, c.status) << shown;
    EXPECT_EQ(shown.find('\x1b'), std::string::npos) << shown;
    EXPECT_EQ(shown.find('\x07'), std::string::npos) << shown;
    EXPECT_NE(shown.find(c.shown), std::string::npos) << shown;
  }
}

TEST(LoadedLibrary, TheProgramLinksNoneOfThem) {
  int status = -1;
  const std::string needed = testenv::Shell("readelf -d " + std::string(PELNORIX_BINARY) + " | grep NEEDED", &status);
  ASSERT_EQ(status, 0);
  ASSERT_NE(needed.find("libc.so"), std::string::npos) << needed;
  for (const char* name : {"libavformat", "libavcodec", "libavutil", "libswresample", "libswscale", "libasound",
                           "libfluidsynth", "libX11", "libcurl"}) {
    EXPECT_EQ(needed.find(name), std::string::npos) << name << " is linked:\n" << needed;
  }
}

}  // namespace
