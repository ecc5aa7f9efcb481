// Servers the internet tests talk to, started on 127.0.0.1 with a free port and
// stopped by their process id: pyftpdlib's FTP server over a folder, and the
// tests' own HTTP handler (http_test_server.py) or Python's http.server.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace nettest {

// A Python that has pyftpdlib, or "" when none has.
std::string PythonWithFtp();

class ServerProcess {
 public:
  ServerProcess() = default;
  ~ServerProcess() { Stop(); }
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  // Starts argv (its output into logPath) and waits until port accepts; false when
  // it does not within a few seconds.
  bool Start(const std::vector<std::string>& argv, int port, const std::string& logPath);
  void Stop();
  int Port() const { return port_; }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

int FreePort();

// A listener on 127.0.0.1 at a given port (80 and 21 need root) that nobody answers:
// a connection made to it waits in its queue until Connections() takes it, with what
// it had sent by then.
class PortListener {
 public:
  explicit PortListener(int port);
  ~PortListener();
  PortListener(const PortListener&) = delete;
  PortListener& operator=(const PortListener&) = delete;
  bool Listening() const { return fd_ >= 0; }
  std::vector<std::string> Connections();

 private:
  int fd_ = -1;
};

// pyftpdlib serving root for user anna (password secret unless given), writable; or the same
// speaking CP932 names (ftp_cp932_server.py); or the lying, dawdling server of
// hostile_ftp_server.py (any login, no root).
class FtpServer {
 public:
  bool Start(const std::string& root, const std::string& logPath, const std::string& password = "secret");
  bool StartCp932(const std::string& root, const std::string& logPath);
  bool StartHostile(const std::string& logPath);
  int Port() const { return process_.Port(); }
  std::string Log() const;

 private:
  ServerProcess process_;
  std::string log_;
};

// The tests' HTTP handler (routes in http_test_server.py), or http.server over a folder.
class HttpServer {
 public:
  bool StartHandler(const std::string& logPath);
  bool StartStatic(const std::string& root, const std::string& logPath);
  int Port() const { return process_.Port(); }

 private:
  ServerProcess process_;
};

}  // namespace nettest

// Skips a test whose server cannot start here (in CI it fails: the set-up installs them).
#define START_OR_SKIP(started, what)                                           \
  do {                                                                         \
    if (!(started)) {                                                          \
      if (std::getenv("CI")) FAIL() << (what) << " did not start";             \
      GTEST_SKIP() << (what) << " cannot be started here";                     \
    }                                                                          \
  } while (0)
