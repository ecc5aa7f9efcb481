// One transfer on its own against the tests' HTTP handler and pyftpdlib: reads fill
// their request across pauses within a bounded buffer, waits end at their limits, and
// a failure carries the server's own reason.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "platform/inet/CurlLibrary.h"
#include "platform/inet/Inet.h"
#include "platform/text/CodePage.h"
#include "support/NetServers.h"
#include "support/TestFiles.h"

namespace {

using plat::InetTransfer;
using namespace std::chrono_literals;

// A transfer of url on a multi handle of its own, started.
struct Transfer {
  Transfer(const std::string& url, const plat::InetTimeouts& timeouts = {}) : t(multi, timeouts) {
    plat::CurlApi().curl_easy_setopt(t.Easy(), CURLOPT_URL, url.c_str());
    t.Start();
  }
  plat::InetMulti multi;
  InetTransfer t;
};

class InetTransferTest : public ::testing::Test {
 protected:
  void SetUp() override { START_OR_SKIP(http_.StartHandler(dir_.HostPath("http.log")), "the HTTP test handler"); }
  std::string Url(const std::string& object) const { return "http://127.0.0.1:" + std::to_string(http_.Port()) + object; }

  testenv::TempDir dir_;
  nettest::HttpServer http_;
};

TEST_F(InetTransferTest, ReadsFillTheirRequestWithinABoundedBuffer) {
  // 10,100,000 bytes of one 100-byte line, read in pieces that cut the lines anywhere.
  std::string line;
  for (int i = 0; i < 9; ++i) line += "0123456789";
  line += "abcdefgh\r\n";
  Transfer big(Url("/big"));
  std::string piece(7777, '\0');
  int64_t total = 0;
  int64_t mostHeld = 0;
  bool same = true;
  for (;;) {
    const int64_t got = big.t.Read(piece.data(), static_cast<int64_t>(piece.size()));
    for (int64_t i = 0; i < got && same; ++i) {
      same = piece[static_cast<size_t>(i)] == line[static_cast<size_t>((total + i) % 100)];
    }
    total += got;
    mostHeld = std::max(mostHeld, big.t.BufferedBytes());
    if (got < static_cast<int64_t>(piece.size())) break;
  }
  EXPECT_EQ(total, 10100000);
  EXPECT_TRUE(same);
  EXPECT_TRUE(big.t.Done());
  EXPECT_EQ(big.t.Result(), CURLE_OK);
  // The server is held back rather than the buffer grown: a pause comes at the pull
  // limit, past it by at most one of libcurl's pieces.
  EXPECT_LT(mostHeld, static_cast<int64_t>(InetTransfer::kPullBufferBytes + CURL_MAX_WRITE_SIZE));
}

TEST_F(InetTransferTest, WaitsEndAtTheirLimits) {
  plat::InetTimeouts quick;
  quick.connectMs = quick.receiveMs = 400;
  struct Case {
    const char* what;
    const char* object;
    std::function<void(InetTransfer&)> check;
  };
  const Case cases[] = {
      {"a body sent slowly, at the deadline", "/slow",
       [](InetTransfer& t) {
         t.SetDeadline(InetTransfer::Clock::now() + 700ms);
         std::string buf(20000, '\0');
         const int64_t got = t.Read(buf.data(), 20000);
         EXPECT_LT(got, 20000);
         EXPECT_TRUE(t.PastDeadline());
         EXPECT_FALSE(t.Done());
       }},
      {"headers sent slowly, at the deadline", "/drip-headers",
       [](InetTransfer& t) {
         t.SetDeadline(InetTransfer::Clock::now() + 700ms);
         t.DriveUntil([&] { return t.HeadersComplete(); });
         EXPECT_FALSE(t.HeadersComplete());
         EXPECT_TRUE(t.PastDeadline());
         EXPECT_GT(t.ReplyLines().size(), 1u);
       }},
      {"a server that never answers, at the receive time-out", "/silent",
       [](InetTransfer& t) {
         try {
           t.DriveUntil([&] { return t.HeadersComplete(); });
           ADD_FAILURE() << "no time-out";
         } catch (const CInternetException& e) {
           EXPECT_EQ(e.m_dwError, ERROR_INTERNET_TIMEOUT);
         }
         EXPECT_TRUE(t.Done());
       }},
      {"a body cut short by the server", "/closed",
       [](InetTransfer& t) {
         std::string buf(5000, '\0');
         try {
           t.Read(buf.data(), 5000);
           ADD_FAILURE() << "a short body looked whole";
         } catch (const CInternetException& e) {
           EXPECT_EQ(e.m_dwError, ERROR_INTERNET_CONNECTION_RESET) << e.m_strReason;
         }
       }},
      {"headers past the reply bound", "/many-headers",
       [](InetTransfer& t) {
         try {
           t.Finish();
           ADD_FAILURE() << "80 KB of headers were taken";
         } catch (const CInternetException& e) {
           EXPECT_EQ(e.m_strReason, "the server's reply is too long");
         }
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Transfer transfer(Url(c.object), quick);
    c.check(transfer.t);
  }
}

// A refusal of a server that speaks Shift-JIS lost its Japanese in the error box.
TEST(InetTransferReasonTest, ShiftJisReasonFault) {
  testenv::TempDir dir;
  testenv::WriteHostFile(dir.HostPath("site/x.txt"), "x");
  nettest::FtpServer ftp;
  START_OR_SKIP(ftp.StartCp932(dir.HostPath("site"), dir.HostPath("ftp.log")), "pyftpdlib");
  CInternetSession session("Pelnorix");
  auto connection = session.GetFtpConnection("127.0.0.1:" + std::to_string(ftp.Port()), "anna", "secret",
                                             INTERNET_INVALID_PORT_NUMBER, true);
  const std::string missing = plat::Utf8ToCp932Lossy("無い表.txt");
  try {
    connection->OpenFile("/" + missing);
    ADD_FAILURE() << "a missing file opened";
  } catch (const CInternetException& e) {
    EXPECT_NE(e.GetErrorMessage().find(missing), std::string::npos) << plat::Cp932ToUtf8(e.GetErrorMessage());
    EXPECT_NE(e.m_strReason.find("無い表.txt"), std::string::npos) << e.m_strReason;
  }
}

// libcurl is opened on first use, not linked (tests/cli checks the program).
TEST(LoadedLibrary, TheCurlTableLoads) {
  std::string why;
  EXPECT_NE(plat::Curl(&why), nullptr) << why;
  EXPECT_EQ(why, "");
}

}  // namespace
