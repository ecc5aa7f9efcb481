#include "platform/os/Process.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

namespace plat {

std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (!path || name.empty() || name.find('/') != std::string::npos) return "";
  std::string dirs = path;
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = dirs.substr(start, end - start);
    if (!dir.empty()) {
      std::string candidate = dir + "/" + name;
      struct stat st;
      if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0) {
        return candidate;
      }
    }
    start = end + 1;
  }
  return "";
}

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& folder, int64_t fileSizeLimit) {
  ProgramResult result;
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return result;
  std::vector<std::string> argvStore;
  argvStore.push_back(program);
  argvStore.insert(argvStore.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argvStore) argv.push_back(a.data());
  argv.push_back(nullptr);

  pid_t pid = fork();
  if (pid < 0) {
    close(pipeFds[0]);
    close(pipeFds[1]);
    return result;
  }
  if (pid == 0) {
    dup2(pipeFds[1], STDOUT_FILENO);
    dup2(pipeFds[1], STDERR_FILENO);
    close(pipeFds[0]);
    close(pipeFds[1]);
    int devNull = open("/dev/null", O_RDONLY);
    if (devNull >= 0) dup2(devNull, STDIN_FILENO);
    if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(127);
    if (fileSizeLimit >= 0) {
      // The limit ends the program where a write would pass it, even when the
      // caller ignores SIGXFSZ (an ignored signal stays ignored across exec).
      struct rlimit limit {};
      getrlimit(RLIMIT_FSIZE, &limit);
      const auto wanted = static_cast<rlim_t>(fileSizeLimit);
      if ((limit.rlim_cur == RLIM_INFINITY || wanted < limit.rlim_cur) &&
          (limit.rlim_max == RLIM_INFINITY || wanted <= limit.rlim_max))
        limit.rlim_cur = wanted;
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(127);
      struct sigaction byDefault {};
      byDefault.sa_handler = SIG_DFL;
      sigaction(SIGXFSZ, &byDefault, nullptr);
    }
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(pipeFds[1]);
  char buf[4096];
  for (;;) {
    ssize_t n = read(pipeFds[0], buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    result.output.append(buf, static_cast<size_t>(n));
  }
  close(pipeFds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace plat
