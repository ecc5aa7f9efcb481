// The built pelnorix running scripts end to end: the selection a script prints is
// iconv's reading of the same Shift-JIS line, a failing line stops the run with its
// number, and a run writes nothing outside the program folder.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

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
  // Runs the program by itself on a script and returns its peak resident memory in
  // KiB. With `ownOnly` the blocks the address sanitizer keeps back after they are
  // freed, which are not the program's, are not kept (its quarantine is off).
  long PeakKiB(const std::string& script, int* status, bool ownOnly = false) {
    std::vector<std::string> envText{"PELNORIX_HOME=" + dir_.HostPath("home")};
    std::string asan = "ASAN_OPTIONS=quarantine_size_mb=0";
    for (char** e = environ; *e; ++e) {
      const std::string_view entry(*e);
      if (entry.starts_with("PELNORIX_HOME=")) continue;
      if (ownOnly && entry.starts_with("ASAN_OPTIONS=")) {
        asan = std::string(entry) + ":quarantine_size_mb=0";
        continue;
      }
      envText.emplace_back(entry);
    }
    if (ownOnly) envText.push_back(asan);
    std::vector<char*> env;
    for (std::string& e : envText) env.push_back(e.data());
    env.push_back(nullptr);
    std::string binary = PELNORIX_BINARY, flag = "--script", path = script;
    char* argv[] = {binary.data(), flag.data(), path.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv, env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int wstatus = 0;
    rusage usage{};
    if (wait4(pid, &wstatus, 0, &usage) != pid) return -1;
    *status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    return usage.ru_maxrss;
  }
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
  // A script or file that tells no length (a pipe, a FIFO, a file of /proc) was read
  // as empty: nothing ran or showed, exit 0. It is read to its end; a file to show
  // that is a pipe is refused by name.
  Run("--script /dev/stdin", &status, "print title\nbogus\n");
  EXPECT_EQ(status, 2);
  EXPECT_NE(Err().find("/dev/stdin:2: "), std::string::npos) << Err();
  const std::string program = "PELNORIX_HOME=" + Quote(dir_.HostPath("home")) + " " + Quote(PELNORIX_BINARY);
  EXPECT_EQ(Shell("bash -c " + Quote(program + " --script <(printf 'print title\\n')"), &status), "Pelnorix\n");
  EXPECT_EQ(status, 0);
  Shell("bash -c " + Quote(program + " <(echo hello) 2>" + Quote(dir_.HostPath("err.txt"))), &status);
  EXPECT_EQ(status, 1);
  EXPECT_NE(Err().find("not a regular file"), std::string::npos) << Err();
  EXPECT_EQ(Run("/proc/self/status", &status).rfind("Name:", 0), 0u);
  EXPECT_EQ(status, 0);
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
  int status = -1;
  EXPECT_LT(PeakKiB(dir_.HostPath("big.script"), &status), 512L * 1024) << "peak resident memory in KiB";
  EXPECT_EQ(status, 0);
}

// A 4000 x 3000 picture (36 MB as a DIB) held about five copies while it was opened,
// mirrored and saved: every refresh zero-filled a fresh full-size buffer and every
// paint a cleared bitmap. Saved as PNG it held six: the filtered rows, the deflated
// data and the file were each made whole before the one write. The same steps now
// take at most three copies of the picture and the file's own bytes above what they
// take on a tiny picture (4 MiB to spare), the PNG's rows streamed through Deflate
// into the file. The saved file is ImageMagick's mirror of the source: near it for
// the JPEG, equal to it (and a PNG pngcheck finds sound) for the PNG.
TEST_F(ScriptCliTest, LargePictureHeldFiveCopiesFault) {
  SKIP_WITHOUT_PROGRAM("convert");
  SKIP_WITHOUT_PROGRAM("compare");
  SKIP_WITHOUT_PROGRAM("pngcheck");
  struct Case {
    const char* ext;
    const char* save;
    const char* options;  // ImageMagick's for the source
  };
  for (const Case& c : {Case{"jpg", "ID_IMAGE_SAVE_JPEG_STANDARD", "-quality 90"},
                        Case{"png", "ID_IMAGE_SAVE_PNG", "-depth 8"}}) {
    SCOPED_TRACE(c.ext);
    const std::string ext = c.ext;
    const auto steps = [&](const std::string& name, const std::string& size) {
      Shell("convert -size " + size + " -seed 1 plasma:fractal " + c.options + " " +
            Quote(dir_.HostPath(name + "." + ext)));
      testenv::WriteHostFile(dir_.HostPath(name + ".script"),
                             "set bmpdata=64\nset bmpfile=64\nopen \"" + dir_.HostPath(name + "." + ext) +
                                 "\"\ncommand ID_IMAGE_MIRROR\nanswer path=" + dir_.HostPath(name + "-m." + ext) +
                                 "\ncommand " + c.save + "\n");
      int status = -1;
      const long kib = PeakKiB(dir_.HostPath(name + ".script"), &status, true);
      EXPECT_EQ(status, 0) << name;
      return kib;
    };
    const long tiny = steps("tiny", "16x12"), big = steps("big", "4000x3000");
    const long copyKiB = 4000L * 3000 * 3 / 1024;
    const long fileKiB = static_cast<long>(std::filesystem::file_size(dir_.HostPath("big." + ext)) / 1024);
    EXPECT_LE(big - tiny, 3 * copyKiB + fileKiB + 4096) << "peak resident KiB above the tiny picture's " << tiny;
    const std::string saved = Quote(dir_.HostPath("big-m." + ext));
    Shell("convert " + Quote(dir_.HostPath("big." + ext)) + " -flop " + Quote(dir_.HostPath("flop.png")));
    const auto compare = [&](const std::string& metric, const std::string& other) {
      return Shell("compare -metric " + metric + " " + saved + " " + Quote(dir_.HostPath(other)) + " null: 2>&1 || true");
    };
    if (ext == "jpg") {
      // Both saves are lossy: the mirror is near ImageMagick's flop and far from the source.
      EXPECT_GT(std::stod(compare("PSNR", "flop.png")), 30.0);
      EXPECT_LT(std::stod(compare("PSNR", "big.jpg")), 20.0);
    } else {
      EXPECT_EQ(compare("AE", "flop.png"), "0");
      int status = -1;
      Shell("pngcheck -q " + saved, &status);
      EXPECT_EQ(status, 0) << Shell("pngcheck " + saved);
    }
  }
}

// A CSV of 10 MB of commas on one line took 18.5 s and 1.18 GB opened by a script
// (120 bytes an empty cell: the sheet rendered every cell). A sheet row now holds the
// 16,384 columns of the widest worksheet and says the rest is left out: the program,
// run by itself with both volumes at 64 MB so that all 10 MB reach the sheet, stays
// within 100 MiB of peak resident memory. (Its time is bench/run-csv's.)
TEST_F(ScriptCliTest, WideCsvTookAGigabyteFault) {
  testenv::WriteHostFile(dir_.HostPath("wide.csv"), std::string(10000000, ',') + "\n");
  testenv::WriteHostFile(dir_.HostPath("wide.script"), "set indata=64\nset outdata=64\nopen \"" + dir_.HostPath("wide.csv") +
                                                           "\"\nexpect status \"<\xE4\xBB\xA5\xE5\xBE\x8C\"\n");
  int status = -1;
  EXPECT_LT(PeakKiB(dir_.HostPath("wide.script"), &status, true), 100L * 1024) << "peak resident memory in KiB";
  EXPECT_EQ(status, 0);
  // The sheet's one row is shown as a row of its first 16,384 cells.
  testenv::WriteHostFile(dir_.HostPath("widest.csv"), std::string(16383, ',') + "\n");
  const auto pane = [&](const char* name) {
    return Run("--script -", &status, "set indata=64\nset outdata=64\nopen \"" + dir_.HostPath(name) + "\"\nprint text\n");
  };
  const std::string wide = pane("wide.csv");
  EXPECT_EQ(status, 0) << Err();
  EXPECT_EQ(wide, pane("widest.csv"));
  EXPECT_GT(wide.size(), 16384u);
}

// The run's work folder stayed in TMP when a signal ended the run: a closed pipe on
// standard output (`pelnorix big.xlsx | head -c1`), SIGTERM, SIGHUP, and SIGINT
// during a long write; the next run did not remove it either. The run, held in a
// write to a pipe nobody reads after its workbook made its folder, is ended by each
// signal: the signal still ends it, and TMP is empty. A run killed outright (SIGKILL,
// which no handler sees) leaves its folder, and the next run, which needs none, clears it.
TEST_F(ScriptCliTest, RunFolderLeftByAnEndingSignalFault) {
  const std::string home = dir_.HostPath("home");
  testenv::WriteHostFile(dir_.HostPath("big.txt"), std::string(400000, 'a') + "\n");
  testenv::WriteHostFile(dir_.HostPath("a.txt"), "text");
  testenv::WriteHostFile(dir_.HostPath("s.script"), "open \"" + testenv::DataPath("office/book.xlsx") + "\"\nopen \"" +
                                                      dir_.HostPath("big.txt") + "\"\nprint text\n");
  const auto runFolders = [&] {
    std::vector<std::string> names;
    if (std::filesystem::is_directory(home + "/TMP"))
      for (const auto& e : std::filesystem::directory_iterator(home + "/TMP")) names.push_back(e.path().filename());
    return names;
  };
  for (const int signal : {SIGPIPE, SIGTERM, SIGHUP, SIGINT, SIGKILL}) {
    int ends[2];
    ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
    std::string binary = PELNORIX_BINARY, flag = "--script", script = dir_.HostPath("s.script");
    char* argv[] = {binary.data(), flag.data(), script.data(), nullptr};
    std::vector<std::string> envText{"PELNORIX_HOME=" + home};
    for (char** e = environ; *e; ++e)
      if (!std::string_view(*e).starts_with("PELNORIX_HOME=")) envText.emplace_back(*e);
    std::vector<char*> env;
    for (std::string& e : envText) env.push_back(e.data());
    env.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t byDefault;
    sigfillset(&byDefault);
    posix_spawnattr_setsigdefault(&attr, &byDefault);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, binary.c_str(), &actions, &attr, argv, env.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    close(ends[1]);
    // The run's folder is made by the workbook's load; the run then waits in its write.
    for (int i = 0; i < 3000 && runFolders().empty(); ++i) usleep(10000);
    EXPECT_EQ(runFolders().size(), 1u) << strsignal(signal);
    usleep(200000);
    if (signal == SIGPIPE) {
      close(ends[0]);
    } else {
      kill(pid, signal);
    }
    int wstatus = 0;
    ASSERT_EQ(waitpid(pid, &wstatus, 0), pid);
    if (signal != SIGPIPE) close(ends[0]);
    EXPECT_TRUE(WIFSIGNALED(wstatus) && WTERMSIG(wstatus) == signal) << strsignal(signal) << " status " << wstatus;
    if (signal == SIGKILL) {
      EXPECT_EQ(runFolders().size(), 1u) << "no handler sees SIGKILL";
      int status = -1;
      Run(Quote(dir_.HostPath("a.txt")), &status);
      EXPECT_EQ(status, 0);
    }
    EXPECT_TRUE(runFolders().empty()) << strsignal(signal);
  }
}

}  // namespace
