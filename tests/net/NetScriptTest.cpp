// Pseudo-drives and addresses driven through `pelnorix --script`, against pyftpdlib
// (also speaking CP932) and the HTTP test handler on 127.0.0.1.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/NetServers.h"
#include "support/TestEnv.h"

namespace {

using testenv::Quote;

class NetScriptTest : public ::testing::Test {
 protected:
  struct Run {
    std::string out;
    std::string err;
    int status = -1;
  };

  Run RunScript(const std::string& script) {
    testenv::WriteHostFile(dir_.HostPath("s.script"), script);
    Run run;
    run.out = testenv::Shell("cd " + Quote(dir_.Host()) + " && PELNORIX_HOME=" + Quote(Home()) + " " +
                                 Quote(PELNORIX_BINARY) + " --script s.script 2>" + Quote(dir_.HostPath("err.txt")),
                             &run.status);
    run.err = testenv::ReadHostFile(dir_.HostPath("err.txt"));
    return run;
  }
  std::string Home() const { return dir_.HostPath("home"); }
  static std::string Site(char drive, int port, const std::string& password = "secret") {
    return std::string("set ftp") + (drive == 'R' ? "1" : "2") + "=" + drive + ":~2site~/ftp://127.0.0.1:" +
           std::to_string(port) + ";USER=anna;PWRD=" + password + "\n";
  }

  testenv::TempDir dir_;
};

TEST_F(NetScriptTest, ShiftJisNameFault) {
  // 表 and ソ end in the byte of '\': the listing keeps them, the files open.
  testenv::WriteHostFile(dir_.HostPath("site/資料/表計算.txt"), "hyou\n");
  testenv::WriteHostFile(dir_.HostPath("site/ソフト/a.txt"), "soft\n");
  for (const bool cp932 : {true, false}) {
    SCOPED_TRACE(cp932 ? "CP932 server" : "UTF-8 server");
    nettest::FtpServer ftp;
    const std::string log = dir_.HostPath("ftp.log");
    START_OR_SKIP(cp932 ? ftp.StartCp932(dir_.HostPath("site"), log) : ftp.Start(dir_.HostPath("site"), log), "pyftpdlib");
    const Run run = RunScript(Site('R', ftp.Port()) +
                              "list 1 R:\\資料\\表計算.txt\nprint text\nlist 1 R:\\ソフト\\a.txt\nprint text\n");
    EXPECT_EQ(run.out, "hyou\nsoft\n") << run.err;
    EXPECT_EQ(run.status, 0);
  }
}

TEST_F(NetScriptTest, TwoSitesOneConnectionFault) {
  testenv::WriteHostFile(dir_.HostPath("one/only1.txt"), "one\n");
  testenv::WriteHostFile(dir_.HostPath("two/only2.txt"), "two\n");
  nettest::FtpServer first, second;
  START_OR_SKIP(first.Start(dir_.HostPath("one"), dir_.HostPath("one.log")), "pyftpdlib");
  START_OR_SKIP(second.Start(dir_.HostPath("two"), dir_.HostPath("two.log")), "pyftpdlib");
  const Run run = RunScript(Site('R', first.Port()) + Site('S', second.Port()) +
                            "open R:\\only1.txt\nprint text\nopen S:\\only2.txt\nprint text\n"
                            "open R:\\only1.txt\nprint text\n");
  EXPECT_EQ(run.out, "one\ntwo\none\n") << run.err;
  EXPECT_EQ(run.status, 0);
}

// A login written into an address ("user:password@host") logs in, and is never
// shown, kept in the history or written anywhere but the settings files.
TEST_F(NetScriptTest, PasswordInAddressFault) {
  const std::string password = "S3cr3tPw";
  testenv::WriteHostFile(dir_.HostPath("site/f.txt"), "ftp file\n");
  nettest::HttpServer http;
  nettest::FtpServer ftp;
  START_OR_SKIP(http.StartHandler(dir_.HostPath("http.log")), "the HTTP test handler");
  START_OR_SKIP(ftp.Start(dir_.HostPath("site"), dir_.HostPath("ftp.log"), password), "pyftpdlib");
  const std::string page = "127.0.0.1:" + std::to_string(http.Port()) + "/auth-basic";
  const std::string login = "anna:" + password + "@";
  const Run run = RunScript("set htmlpane=1\npane html\n"
                            "address http://" + login + page + "\nprint title\nprint history\nprint text\nprint status\n"
                            "pane text\nset inbrowser=1\n"
                            "address http://" + login + page + "\nprint text\nprint status\n"
                            "address adrs://x000002\nprint trace\n"
                            "address ftp://" + login + "127.0.0.1:" + std::to_string(ftp.Port()) + "/f.txt\n"
                            "print text\nprint trace\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("[html]  http://" + page + "     ["), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("1 http://" + page + "\n"), std::string::npos) << run.out;
  // Logged in by the pane and by the program's own fetch; the history's copy has no login.
  const size_t first = run.out.find("welcome anna\n");
  ASSERT_NE(first, std::string::npos) << run.out;
  EXPECT_NE(run.out.find("welcome anna\n", first + 1), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("ページがないか対応していないページです"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("ftp file\n"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find(password), std::string::npos) << run.out;
  EXPECT_EQ(run.err.find(password), std::string::npos) << run.err;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(Home())) {
    const std::string name = entry.path().filename().string();
    if (!entry.is_regular_file() || name == "Pelnor.inf" || name == "Pelnor.sys") continue;
    EXPECT_EQ(testenv::ReadHostFile(entry.path().string()).find(password), std::string::npos) << entry.path();
  }
}

}  // namespace
