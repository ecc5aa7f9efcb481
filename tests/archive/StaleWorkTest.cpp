// A pack or unpack killed while it works leaves its hidden work in the user's folder;
// the next run that works in that folder removes it, and only it: another running
// instance's work and names of any other form stay.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "archive/ArchiveTestSupport.h"

using namespace archtest;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> Hidden(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder))
    if (e.path().filename().string().rfind(".pelnorix", 0) == 0) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Starts the program on a script as a child of the test, with fake outside programs
// first on PATH: each writes its process id to <name>.pid and waits, holding the run
// in the middle of its work. Returns the program's process id.
pid_t StartHeld(const testenv::TempDir& dir, const std::string& script) {
  fs::create_directories(dir.HostPath("fake"));
  for (const char* name : {"zip", "unzip"}) {
    const std::string path = dir.HostPath(std::string("fake/") + name);
    testenv::WriteHostFile(path, "#!/bin/sh\necho $$ > " + Q(dir.HostPath(std::string(name) + ".pid")) + "\nexec sleep 600\n");
    fs::permissions(path, fs::perms::owner_all);
  }
  testenv::WriteHostFile(dir.HostPath("held"), script);
  const std::string command = "exec env PELNORIX_HOME=" + Q(dir.HostPath("home")) + " PATH=" + Q(dir.HostPath("fake")) +
                              ":\"$PATH\" " PELNORIX_BINARY " --script " + Q(dir.HostPath("held")) + " >/dev/null 2>&1";
  const pid_t pid = fork();
  if (pid == 0) {
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

// Waits until the fake program named has started (it wrote its pid), then kills the
// held run and the fake program; false when it never started.
bool KillWhenHeld(const testenv::TempDir& dir, pid_t run, const std::string& program) {
  const std::string pidFile = dir.HostPath(program + ".pid");
  for (int i = 0; i < 1200 && testenv::ReadHostFile(pidFile).empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const std::string fake = testenv::ReadHostFile(pidFile);
  kill(run, SIGKILL);
  if (!fake.empty()) kill(static_cast<pid_t>(std::stol(fake)), SIGKILL);
  return !fake.empty();
}

// A process id that no process has any more.
std::string DeadPid() { return testenv::Shell("sh -c 'printf %s $$'"); }

}  // namespace

TEST(StaleWorkFault, KilledRunsWorkIsRemovedByTheNextRunInThatFolder) {
  SKIP_WITHOUT_PROGRAM("zip");
  SKIP_WITHOUT_PROGRAM("unzip");
  struct Case {
    const char* fault;
    const char* command;
    const char* program;  // the one the killed run was waiting for (none: only the left work below)
    const char* item;     // the listed item, in the folder "work"
  };
  const std::vector<Case> cases{{"KilledPackLeavesItsZipFolder", "compress", "zip", "tree"},
                                {"KilledUnpackLeavesItsUnpackFolder", "unpack", "unzip", "pack.zip"},
                                {"KilledProtectLeavesItsPartFile", "protect", nullptr, "memo.txt"}};
  for (const Case& c : cases) {
    testenv::TempDir dir;
    fs::create_directories(dir.HostPath("work/tree"));
    // Longer than a process id: the files the unzip program writes, the fake's pid
    // file among them, are bounded by the largest member.
    testenv::WriteHostFile(dir.HostPath("work/tree/a.txt"), std::string(64, 'a'));
    testenv::WriteHostFile(dir.HostPath("work/memo.txt"), "memo");
    testenv::Shell("cd " + Q(dir.HostPath("work/tree")) + " && zip -q ../pack.zip a.txt");
    const std::string script = "list 1 " + dir.HostPath(std::string("work/") + c.item) +
                               "\nanswer yes yes\nanswer key=ABCD\nlist-command " + c.command + "\n";
    if (c.program) {
      const pid_t held = StartHeld(dir, script);
      const bool wasHeld = KillWhenHeld(dir, held, c.program);
      waitpid(held, nullptr, 0);
      ASSERT_TRUE(wasHeld) << c.fault;
      ASSERT_EQ(Hidden(dir.HostPath("work")).size(), 1u) << c.fault << ": the killed run left its work folder";
    }

    // Beside it: work of a run that died (a file and a folder of each form), work of
    // a live process, and names of other forms.
    const std::string dead = DeadPid();
    pid_t live = fork();
    if (live == 0) {
      pause();
      _exit(0);
    }
    const std::string alive = std::to_string(live);
    for (const std::string& name : {".pelnorix-" + dead + "-abc123.part~", ".pelnorix-" + alive + "-abc123.part~",
                                    std::string(".pelnorix-notes.txt"), ".pelnorix-" + dead + "-abc123.part"})
      testenv::WriteHostFile(dir.HostPath("work/" + name), "x");
    for (const std::string& name : {".pelnorix-lha-" + dead + "-abc123", ".pelnorix-unpack-" + alive + "-abc123",
                                    std::string(".pelnorix-zip-old")}) {
      fs::create_directories(dir.HostPath("work/" + name));
      testenv::WriteHostFile(dir.HostPath("work/" + name + "/new.zip"), "x");
    }
    UserRun run = RunUserScript(dir, script, true);
    kill(live, SIGKILL);
    waitpid(live, nullptr, 0);
    EXPECT_EQ(run.status, 0) << c.fault << ": " << run.out;
    const std::vector<std::string> kept{".pelnorix-" + dead + "-abc123.part", ".pelnorix-" + alive + "-abc123.part~",
                                        ".pelnorix-notes.txt", ".pelnorix-unpack-" + alive + "-abc123",
                                        ".pelnorix-zip-old"};
    std::vector<std::string> expected = kept;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Hidden(dir.HostPath("work")), expected) << c.fault;
  }
}
