#include "support/NetServers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "support/TestFiles.h"

extern char** environ;

namespace nettest {

namespace {

bool Accepts(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return false;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  close(fd);
  return ok;
}

}  // namespace

std::string PythonWithFtp() {
  for (const char* python : {"python3", "/usr/bin/python3"}) {
    int status = -1;
    testenv::Shell(std::string(python) + " -c 'import pyftpdlib' 2>/dev/null", &status);
    if (status == 0) return python;
  }
  return "";
}

int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  close(fd);
  return ntohs(addr.sin_port);
}

PortListener::PortListener(int port) {
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
  if (fd_ < 0) return;
  const int on = 1;
  setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd_, 64) != 0) {
    close(fd_);
    fd_ = -1;
  }
}

PortListener::~PortListener() {
  if (fd_ >= 0) close(fd_);
}

std::vector<std::string> PortListener::Connections() {
  std::vector<std::string> seen;
  for (int c; fd_ >= 0 && (c = accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK)) >= 0;) {
    std::string sent;
    char buf[4096];
    for (ssize_t n; (n = recv(c, buf, sizeof buf, 0)) > 0;) sent.append(buf, static_cast<size_t>(n));
    close(c);
    seen.push_back(sent);
  }
  return seen;
}

bool ServerProcess::Start(const std::vector<std::string>& argv, int port, const std::string& logPath) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  const int rc = posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    pid_ = -1;
    return false;
  }
  port_ = port;
  // A loaded machine may take a while to start Python.
  for (int i = 0; i < 400; ++i) {
    if (Accepts(port)) return true;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  Stop();
  return false;
}

void ServerProcess::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
}

bool FtpServer::Start(const std::string& root, const std::string& logPath, const std::string& password) {
  const std::string python = PythonWithFtp();
  if (python.empty()) return false;
  log_ = logPath;
  const int port = FreePort();
  return process_.Start({python, "-m", "pyftpdlib", "-i", "127.0.0.1", "-p", std::to_string(port), "-d", root, "-u",
                         "anna", "-P", password, "-w", "-D"},
                        port, logPath);
}

bool FtpServer::StartCp932(const std::string& root, const std::string& logPath) {
  const std::string python = PythonWithFtp();
  if (python.empty()) return false;
  log_ = logPath;
  const int port = FreePort();
  return process_.Start({python, std::string(PELNORIX_SOURCE_DIR) + "/tests/support/ftp_cp932_server.py", std::to_string(port), root},
                        port, logPath);
}

bool FtpServer::StartHostile(const std::string& logPath) {
  log_ = logPath;
  const int port = FreePort();
  return process_.Start({"python3", std::string(PELNORIX_SOURCE_DIR) + "/tests/support/hostile_ftp_server.py", std::to_string(port)},
                        port, logPath);
}

std::string FtpServer::Log() const { return testenv::ReadHostFile(log_); }

bool HttpServer::StartHandler(const std::string& logPath) {
  const int port = FreePort();
  return process_.Start({"python3", std::string(PELNORIX_SOURCE_DIR) + "/tests/support/http_test_server.py",
                         std::to_string(port)},
                        port, logPath);
}

bool HttpServer::StartStatic(const std::string& root, const std::string& logPath) {
  const int port = FreePort();
  return process_.Start({"python3", "-m", "http.server", "--bind", "127.0.0.1", "--directory", root,
                         std::to_string(port)},
                        port, logPath);
}

}  // namespace nettest
