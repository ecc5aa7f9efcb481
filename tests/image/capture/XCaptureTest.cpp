// Screen capture on a real X server: an Xvfb the test starts on a display number
// the server picks itself (-displayfd), with xlogo as the window to take, compared
// pixel for pixel with ImageMagick's `import` of the same screen area; and servers
// that take the connection and never answer. Xvfb and xlogo are stopped by their
// process ids.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/Globals.h"
#include "platform/os/Files.h"
#include "support/NetServers.h"
#include "support/TestEnv.h"
#include "view/QelView.h"

extern char** environ;

namespace {

using testenv::Quote;
using testenv::Shell;

// A child process stopped by its id when the object goes.
class Child {
 public:
  Child() = default;
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() { Stop(); }
  bool Start(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int rc = posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) pid_ = -1;
    return pid_ > 0;
  }
  pid_t Pid() const { return pid_; }
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGCONT);  // one stopped takes its SIGTERM once it runs again
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
};

// Xvfb writes the display number it took to the pipe once it accepts clients.
bool StartXvfb(Child& server, std::string& display) {
  int fds[2];
  if (pipe(fds) != 0) return false;
  const bool started = server.Start({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "800x600x24",
                                     "-nolisten", "tcp"});
  close(fds[1]);
  std::string number;
  char c = 0;
  while (started && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  if (number.empty()) return false;
  display = ":" + number;
  return true;
}

class XCaptureTest : public testenv::DocTest {
 protected:
  void SetUp() override {
    SKIP_WITHOUT_PROGRAM("Xvfb");
    SKIP_WITHOUT_PROGRAM("xlogo");
    SKIP_WITHOUT_PROGRAM("xdotool");
    SKIP_WITHOUT_PROGRAM("import");
    SKIP_WITHOUT_PROGRAM("compare");
    const char* old = std::getenv("DISPLAY");
    if (old) oldDisplay_ = old;
    ASSERT_TRUE(StartServer());
    setenv("DISPLAY", display_.c_str(), 1);
    view_ = std::make_unique<CQelView>(*doc_);
  }
  void TearDown() override {
    if (frame_) frame_->Ui().GetScreen().CloseX();
    logo_.Stop();
    server_.Stop();
    if (oldDisplay_.empty()) {
      unsetenv("DISPLAY");
    } else {
      setenv("DISPLAY", oldDisplay_.c_str(), 1);
    }
  }
    bool StartServer() { return StartXvfb(server_, display_); }
  std::string X(const std::string& command) { return Shell("DISPLAY=" + display_ + " " + command); }
  // xlogo at a known place, mapped and given the focus; its window id.
  std::string ShowLogo() {
    EXPECT_TRUE(logo_.Start({"env", "DISPLAY=" + display_, "xlogo", "-geometry", "200x150+100+80", "-bg", "yellow",
                             "-fg", "navy"}));
    const std::string id = X("timeout 20 xdotool search --sync --onlyvisible --class xlogo | head -1");
    if (!id.empty()) X("xdotool windowfocus --sync " + id);
    // Its first drawing follows the map; give it a moment.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return id;
  }
  // Clicks at (x, y) every 200 ms, after the command's wait has taken the pointer
  // (a click before that reaches the window, which ignores it).
  bool StartClicking(Child& clicker, int x, int y, const std::string& first = "") {
    return clicker.Start({"env", "DISPLAY=" + display_, "sh", "-c",
                          first + "while :; do xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) +
                              " click 1; sleep 0.2; done"});
  }
  void AnswerSaveDialog(const std::string& name) {
    frame_->Ui().QueueDialog(plat::DialogAnswer{plat::IDOK, {{"path", Win(name)}}});
  }
  // The messages the run showed, for a failure's report.
  std::string Said() const {
    std::string all;
    for (const plat::MessageRecord& m : frame_->Ui().MessageLog()) all += m.text + "\n";
    return all;
  }
  std::string Differ(const std::string& a, const std::string& b) {
    return Shell("compare -metric AE " + Quote(dir_.HostPath(a)) + " " + Quote(dir_.HostPath(b)) + " null: 2>&1");
  }

  Child server_;
  Child logo_;
  std::string display_;
  std::string oldDisplay_;
  std::unique_ptr<CQelView> view_;
};

// The clicked window is the one under the pointer's press, taken with the pointer
// grabbed: the focus stays elsewhere (on the root). Esc ends the wait, saying so.
TEST_F(XCaptureTest, ClickedWindowEqualsImportOfTheSameArea) {
  ASSERT_FALSE(ShowLogo().empty());
  frame_->Ui().PushKeyDown(plat::VK_ESCAPE);
  AnswerSaveDialog("esc.png");
  EXPECT_EQ(view_->CaptureScreen(40), -1);
  EXPECT_NE(frame_->Ui().MessageLog().back().text.find("ended with Esc"), std::string::npos);
  Child clicker;
  ASSERT_TRUE(StartClicking(clicker, 150, 150));
  AnswerSaveDialog("logo.png");
  ASSERT_EQ(view_->CaptureScreen(40), 0);
  clicker.Stop();
  // The window with its border of 1 pixel, as placed by its geometry.
  EXPECT_EQ(Shell("identify -format '%wx%h' " + Quote(dir_.HostPath("logo.png"))), "202x152");
  X("import -window root -crop 202x152+100+80 +repage " + Quote(dir_.HostPath("want.png")));
  EXPECT_EQ(Differ("logo.png", "want.png"), "0");
  // The picture is the logo: its colours and its border are there.
  EXPECT_EQ(Shell("convert " + Quote(dir_.HostPath("logo.png")) + " -unique-colors -format '%w' info:"), "3")
      << "border, background and logo";
}

TEST_F(XCaptureTest, DesktopEqualsImportOfTheRoot) {
  ASSERT_FALSE(ShowLogo().empty());
  AnswerSaveDialog("desk.png");
  ASSERT_EQ(view_->CaptureScreen(1), 0);
  EXPECT_EQ(Shell("identify -format '%wx%h' " + Quote(dir_.HostPath("desk.png"))), "800x600");
  X("import -window root " + Quote(dir_.HostPath("root.png")));
  EXPECT_EQ(Differ("desk.png", "root.png"), "0");
}

// On a real X server the waits ran on the program clock: the clicked-window capture
// gave up at once, before the user could click, and a series took its pictures all
// at the same moment. The waits are wall-clock time there: a window that comes up
// and is clicked two seconds later is the one taken, and a series of four
// pictures 500 ms apart lasts its 1.5 s.
TEST_F(XCaptureTest, WaitsRanOnTheProgramClockFault) {
  using std::chrono::milliseconds;
  using std::chrono::steady_clock;
  ASSERT_TRUE(logo_.Start({"env", "DISPLAY=" + display_, "sh", "-c",
                           "sleep 2; exec xlogo -geometry 200x150+100+80 -bg yellow -fg navy"}));
  Child clicker;
  ASSERT_TRUE(StartClicking(clicker, 150, 150, "sleep 2; timeout 20 xdotool search --sync --onlyvisible --class xlogo; "));
  AnswerSaveDialog("late.png");
  auto start = steady_clock::now();
  ASSERT_EQ(view_->CaptureScreen(40), 0) << Said();
  EXPECT_GE(std::chrono::duration_cast<milliseconds>(steady_clock::now() - start).count(), 3000);
  X("import -window root -crop 202x152+100+80 +repage " + Quote(dir_.HostPath("want.png")));
  EXPECT_EQ(Differ("late.png", "want.png"), "0");

  AnswerSaveDialog("ser#2s500m.png");
  start = steady_clock::now();
  ASSERT_EQ(view_->CaptureScreen(41), 0);
  EXPECT_GE(std::chrono::duration_cast<milliseconds>(steady_clock::now() - start).count(), 2000 + 1500);
  for (int n = 1; n <= 4; ++n) {
    EXPECT_EQ(Differ("ser#2s500m_000" + std::to_string(n) + ".png", "want.png"), "0") << n;
  }
  EXPECT_FALSE(plat::Exists(Win("ser#2s500m_0005.png")));
}

// Fault: a DISPLAY whose server took the connection and never answered (an Xvfb
// stopped with SIGSTOP, a listener on TCP port 6000 + N that nobody answers) held
// each of the four captures without end inside libX11's connection set-up. Each now
// fails within the deadline of 5 s, saying so, and the script exits 1.
TEST(XCaptureWaitFaults, EveryCaptureEndsWhenTheXServerNeverAnswers) {
  SKIP_WITHOUT_PROGRAM("Xvfb");
  testenv::TempDir dir;
  Child stopped;
  std::string stoppedDisplay;
  ASSERT_TRUE(StartXvfb(stopped, stoppedDisplay));
  ASSERT_EQ(kill(stopped.Pid(), SIGSTOP), 0);
  int n = 70;
  auto silent = std::make_unique<nettest::PortListener>(6000 + n);
  while (!silent->Listening() && n < 120) silent = std::make_unique<nettest::PortListener>(6000 + ++n);
  for (const std::string& display : {stoppedDisplay, "127.0.0.1:" + std::to_string(n)}) {
    for (const char* command :
         {"ID_SAVE_DESKTOP_SCREEN", "ID_SAVE_CLICKED_WINDOW", "ID_SAVE_CLICKED_WINDOW_REPEAT", "ID_SAVE_DATA_SCREEN"}) {
      SCOPED_TRACE(display + " held " + command);
      testenv::WriteHostFile(dir.HostPath("s.script"), std::string("answer path=d.png\ncommand ") + command + "\n");
      const auto start = std::chrono::steady_clock::now();
      const testenv::ProgramRun run =
          testenv::RunProgram(dir.Host(), dir.HostPath("home"), "--script s.script", "DISPLAY=" + display + " timeout 60 ");
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15)) << "past its deadline";
      EXPECT_EQ(run.status, 1) << run.err;
      EXPECT_NE(run.err.find("DISPLAY=" + display + ": no answer from the X server within 5 s"), std::string::npos) << run.err;
    }
  }
}

}  // namespace
