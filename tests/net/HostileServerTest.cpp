// Servers that send slowly or without end (tests/support/hostile_ftp_server.py and the
// drip routes of http_test_server.py, on 127.0.0.1): every road gives up within its
// limits, keeps Esc, and leaves no partial file behind.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "app/StringTable.h"
#include "net/FtpSite.h"
#include "net/NetState.h"
#include "support/NetServers.h"
#include "net/QelHtmlView.h"
#include "platform/os/Files.h"
#include "platform/text/CodePage.h"
#include "platform/ui/Keys.h"
#include "support/SmallDisk.h"
#include "support/TestEnv.h"

namespace {

class HostileServerTest : public testenv::DocTest {
 protected:
  void SetUp() override {
    START_OR_SKIP(http_.StartHandler(dir_.HostPath("http.log")), "the HTTP test handler");
    START_OR_SKIP(ftp_.StartHostile(dir_.HostPath("ftp.log")), "the hostile FTP server");
    doc_->Net().m_bInternalBrowser = 1;
    // 450 ms to answer, 900 ms a page pass, 5.4 s an FTP listing or address download;
    // the servers drip every 100 ms, so no idle time-out ends a transfer.
    doc_->Net().m_nNetTimeScale = 15;
    doc_->m_astrSysValue[26] = "R:~2hostile~/ftp://127.0.0.1:" + std::to_string(ftp_.Port()) + ";USER=anna;PWRD=x";
  }

  // The status texts and messages since the last Mark.
  std::string Trace() const {
    std::string all;
    const auto& texts = frame_->StatusBar().Trace();
    for (size_t i = std::min(texts_, texts.size()); i < texts.size(); ++i) all += texts[i] + "\n";
    const auto& boxes = frame_->Ui().MessageLog();
    for (size_t i = std::min(boxes_, boxes.size()); i < boxes.size(); ++i) all += boxes[i].text + "\n";
    return all;
  }
  void Mark() {
    texts_ = frame_->StatusBar().Trace().size();
    boxes_ = frame_->Ui().MessageLog().size();
  }
  bool Traced(const std::string& text) const { return Trace().find(text) != std::string::npos; }
  std::string Http(const std::string& object) const { return "http://127.0.0.1:" + std::to_string(http_.Port()) + object; }
  std::string Ftp(const std::string& object) const {
    return "ftp://anna:x@127.0.0.1:" + std::to_string(ftp_.Port()) + object;
  }
  std::string Tmp(const std::string& name) const { return doc_->TmpFolder() + "\\" + name; }

  nettest::HttpServer http_;
  nettest::FtpServer ftp_;
  size_t texts_ = 0;
  size_t boxes_ = 0;
};

TEST_F(HostileServerTest, SlowSenderFault) {
  struct Case {
    const char* what;
    std::function<void(CQelDoc&)> run;
    std::string said;     // in the status trace or a message
    const char* gone;     // a work file that must not remain
  };
  const std::string timeOver = LoadString(IDS_NET_TIME_OVER);
  const Case cases[] = {
      {"page body dripped", [&](CQelDoc& d) { d.OpenAddress(Http("/drip-body")); }, timeOver, "Pelnortmp.htm"},
      {"page headers dripped", [&](CQelDoc& d) { d.OpenAddress(Http("/drip-headers")); }, LoadString(IDS_NET_NO_ANSWER),
       "Pelnortmp.htm"},
      {"address's FTP file dripped", [&](CQelDoc& d) { d.OpenAddress(Ftp("/drip.txt")); }, timeOver, "Pelnortmp.htm"},
      {"address's FTP folder dripped", [&](CQelDoc& d) { d.OpenAddress(Ftp("/")); }, LoadString(IDS_NET_READ_INCOMPLETE),
       "Pelnortmp.htm"},
      {"pseudo-drive folder dripped", [&](CQelDoc& d) { EXPECT_FALSE(d.ListFtpFolder("R:\\drip")); },
       "the folder listing did not come in time", nullptr},
      // A reply dribbled line by line ran to libcurl's own two minutes, whatever nettime said.
      {"address's FTP file stalled in its reply", [&](CQelDoc& d) { d.OpenAddress(Ftp("/stall.bin")); },
       "server response timeout", "Pelnortmp.htm"},
      {"pseudo-drive file stalled in its reply", [&](CQelDoc& d) { EXPECT_LT(d.LoadDocument("R:\\stall.bin"), 0); },
       "server response timeout", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Mark();
    const auto start = std::chrono::steady_clock::now();
    c.run(*doc_);
    // Every wait here is a few seconds at this time scale.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_TRUE(Traced(c.said)) << plat::Cp932ToUtf8(Trace());
    if (c.gone) {
      EXPECT_FALSE(plat::Exists(Tmp(c.gone)));
    }
  }
  // The browser pane gives up on the page too.
  doc_->Net().m_nHtmlBrowserMode = 1;
  CQelHtmlView view(*doc_);
  view.Navigate2(Http("/drip-body"));
  EXPECT_EQ(view.PageError(), "the page did not come in time");
}

TEST_F(HostileServerTest, EscStopsADrippedDownloadThatShowsItsProgress) {
  ASSERT_EQ(doc_->ConnectFtpSite("R:\\drip.txt"), 0);
  // Esc comes after a few polls: the bytes that came by then were shown.
  frame_->Ui().PushKeyDown(plat::VK_SPACE);
  frame_->Ui().PushKeyDown(plat::VK_SPACE);
  frame_->Ui().PushKeyDown(plat::VK_SPACE);
  frame_->Ui().PushKeyDown(plat::VK_ESCAPE);
  frame_->Ui().QueueAnswer(plat::IDYES);
  EXPECT_EQ(doc_->FetchFtpFile("R:\\drip.txt"), "");
  EXPECT_EQ(doc_->m_bUserAbort, 1);
  EXPECT_TRUE(Traced(plat::Utf8ToCp932Lossy("データを読込んでいます         4 KB")));
  EXPECT_FALSE(plat::Exists(Tmp("Pelnor_drip.txt")));
}

TEST_F(HostileServerTest, UnboundedDownloadFault) {
  doc_->m_nInDataLimit = 1 << 20;
  // A pseudo-drive file to be shown stops past the larger volume and is shown cut, as
  // a local file of the same bytes is.
  std::string same(3 << 20, '\0');
  for (size_t i = 0; i < same.size(); ++i) same[i] = static_cast<char>(i & 0xFF);
  doc_->LoadDocument(WriteFile("huge.bin", same));
  const std::string local = Text();
  EXPECT_EQ(doc_->LoadDocument("R:\\huge.bin"), 0);
  EXPECT_EQ(Text(), local);
  EXPECT_EQ(doc_->m_bPartialLoad, 1);
  const auto kept = plat::Stat(Tmp("Pelnor_huge.bin"));
  ASSERT_TRUE(kept);
  EXPECT_LE(kept->size, doc_->m_nOutDataLimit + 4096);
  // An address's file goes to the disk: the room for a file bounds it, and its size
  // past the room stops it at once.
  {
    const testenv::ScopedFileSizeLimit room(8 << 20);
    Mark();
    const NetStatus status = doc_->OpenAddress(Ftp("/huge.bin"));
    EXPECT_TRUE(Traced(plat::Utf8ToCp932Lossy("ファイル容量オーバーです(>8MB)"))) << plat::Cp932ToUtf8(Trace());
    EXPECT_FALSE(plat::Exists(Tmp("Pelnortmp.htm")));
    EXPECT_FALSE(status.Shown());
  }
  // A small file of the same server still comes whole.
  EXPECT_EQ(doc_->LoadDocument("R:\\small.txt"), 0);
  EXPECT_EQ(Text(), "small");
}

}  // namespace
