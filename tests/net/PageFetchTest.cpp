// Addresses, the address history and the program's own page fetch, against the
// tests' HTTP handler, Python's http.server and pyftpdlib on 127.0.0.1.
#include <gtest/gtest.h>

#include "app/StringTable.h"
#include "net/Address.h"
#include "support/NetServers.h"
#include "platform/text/CodePage.h"
#include "platform/os/Files.h"
#include "support/TestEnv.h"

namespace {


// A list address makes its folder the current directory: each test restores it.
class AddressTest : public testenv::DocTest {
 protected:
  void TearDown() override { plat::SetCurrentDirectory(folder_); }
  std::string folder_ = plat::GetCurrentDirectory();
};

TEST_F(AddressTest, HistoryKeepsTwentyNineAfterEachAddition) {
  for (int i = 1; i <= 31; ++i) {
    doc_->AddAddressHistory("a" + std::to_string(i));
    if (i == 30) {
      EXPECT_EQ(doc_->m_nAddrHistoryCount, 29);
      EXPECT_EQ(doc_->m_astrAddrHistory[0], "a2");
    }
  }
  EXPECT_EQ(doc_->m_nAddrHistoryCount, 29);
  EXPECT_EQ(doc_->m_astrAddrHistory[0], "a3");
  EXPECT_EQ(doc_->m_astrAddrHistory[28], "a31");
}

TEST(AddressIndexTest, ReadsExactlySixDigits) {
  const std::pair<const char*, int> cases[] = {
      {"adrs://x000012", 12}, {"adrs://x999999", 999999}, {"adrs://x00001", 0}, {"adrs://x0000123", 0},
      {"adrs://x00a012", 0},  {"adrs://", 0},              {"adrs://x", 0},       {"%1C:\\a.txt", -1},
      {"file:///a", -1},      {"http://h", 0},             {"", 0},
  };
  for (const auto& [address, n] : cases) EXPECT_EQ(ParseAddressIndex(address), n) << address;
}

TEST_F(AddressTest, HistoryNumberOutsideTheHistoryIsRefused) {
  doc_->AddAddressHistory("%1" + WriteFile("a.txt", "from history\n"));
  EXPECT_EQ(RunAddressCommand(*doc_, "adrs://x000002"), -1);
  EXPECT_EQ(RunAddressCommand(*doc_, "adrs://x000000"), -1);
  EXPECT_EQ(RunAddressCommand(*doc_, "adrs://x12"), -1);
  EXPECT_EQ(RunAddressCommand(*doc_, "adrs://x000001"), 0);
  EXPECT_EQ(Text(), "from history\n");
  EXPECT_EQ(doc_->m_nAddrHistoryCount, 1);
}

TEST_F(AddressTest, ListAndFileAddressesOpenLocalFiles) {
  const std::string a = WriteFile("a.txt", "list one\n");
  doc_->m_nActiveList = 2;
  doc_->OpenAddress("%1" + a);
  EXPECT_EQ(doc_->m_strFileName1, a);
  EXPECT_EQ(doc_->m_nActiveList, 1);
  EXPECT_EQ(Text(), "list one\n");
  WriteFile("b.txt", "by file address\n");
  doc_->m_bInternalBrowser = 1;
  doc_->OpenAddress("file://" + *plat::ToHostPath(Win("b.txt")));
  EXPECT_EQ(doc_->m_nActiveList, 2);
  EXPECT_EQ(doc_->m_strFileName2, Win("b.txt"));
  EXPECT_EQ(Text(), "by file address\n");
}

TEST_F(AddressTest, AddressWithPasswordIsKeptWithoutIt) {
  RunAddressCommand(*doc_, "ftp://127.0.0.1:1/pub;USER=anna;PWRD=topsecret");
  ASSERT_EQ(doc_->m_nAddrHistoryCount, 1);
  EXPECT_EQ(doc_->m_astrAddrHistory[0], "ftp://127.0.0.1:1/pub");
}

TEST_F(AddressTest, WithoutTheInternalBrowserTheHtmlPaneIsAsked) {
  doc_->m_nHtmlBrowserMode = 1;
  doc_->OpenAddress("http://127.0.0.1:1/x.htm");
  EXPECT_EQ(doc_->m_strBrowseAddress, "http://127.0.0.1:1/x.htm");
  EXPECT_EQ(doc_->m_bBrowseRequest, 1);
  EXPECT_EQ(doc_->m_nViewRequest, 7);
  EXPECT_TRUE(frame_->StatusBar().Trace().empty());  // nothing fetched
}

class PageFetchTest : public testenv::DocTest {
 protected:
  void SetUp() override {
    START_OR_SKIP(http_.StartHandler(dir_.HostPath("http.log")), "the HTTP test handler");
    doc_->m_bInternalBrowser = 1;
    doc_->m_nNetTimeScale = 50;  // 1.5 s to answer, 3 s a page pass
  }

  std::string Url(const std::string& object) const { return "http://127.0.0.1:" + std::to_string(http_.Port()) + object; }
  std::string Trace() const {
    std::string all;
    for (const auto& t : frame_->StatusBar().Trace()) all += t + "\n";
    return all;
  }
  bool Traced(int id) const { return Trace().find(LoadString(id)) != std::string::npos; }
  std::string WorkPage() const { return doc_->TmpFolder() + "\\Pelnortmp.htm"; }

  nettest::HttpServer http_;
};

TEST_F(PageFetchTest, EachAnswerShowsItsStatusText) {
  struct Case {
    const char* object;
    int status;           // string id in the trace, 0 for a page shown
    const char* shown;    // text of the page shown
    bool workFileStays;
  };
  const Case cases[] = {
      {"/page.htm", 0, "hello from the page", true},
      {"/redirect", 0, "hello from the page", true},
      {"/redirect-https", 229, nullptr, false},
      {"/redirect-loop", 229, nullptr, false},
      {"/auth", 229, nullptr, false},
      {"/chunked", 0, "bbbbbbbbbbcccccccccc", true},
      {"/closed", 232, nullptr, false},
      {"/silent", 228, nullptr, false},
      {"/slow", 233, nullptr, false},
      {"/size/0.txt", 234, nullptr, false},
      {"/tiny", 0, "tiny!", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.object);
    doc_->LoadDocument(WriteFile("blank.txt", "before\n"), 0);
    doc_->OpenAddress(Url(c.object));
    if (c.status != 0) {
      EXPECT_TRUE(Traced(c.status)) << plat::Cp932ToUtf8(Trace());
      EXPECT_EQ(Text(), "before\n");
    } else {
      EXPECT_NE(Text().find(c.shown), std::string::npos) << Text();
      EXPECT_EQ(frame_->StatusBar().GetPaneText(0), "127.0.0.1:" + std::to_string(http_.Port()) + "    file = " + (c.object + 1));
    }
    EXPECT_EQ(plat::Exists(WorkPage()), c.workFileStays);
    EXPECT_FALSE(doc_->m_pInetSession);
  }
}

TEST_F(PageFetchTest, TenMegabytesEndWithThePartialMark) {
  doc_->m_nNetTimeScale = 1000;
  doc_->OpenAddress(Url("/big"));
  const std::string pane = frame_->StatusBar().GetPaneText(0);
  EXPECT_NE(pane.find(LoadString(235)), std::string::npos) << plat::Cp932ToUtf8(pane);
  EXPECT_EQ(plat::Stat(WorkPage())->size, 10000000 + 16384 - 10000000 % 16384);
}

TEST_F(PageFetchTest, RequestSaysAcceptAnyTypeAndTheAgent) {
  doc_->OpenAddress(Url("/echo-headers"));
  EXPECT_NE(Text().find("Accept: */*"), std::string::npos) << Text();
  EXPECT_NE(Text().find("User-Agent: Pelnorix"), std::string::npos) << Text();
}

TEST_F(PageFetchTest, SaveDialogBoundIsOneKilobyteForOfferAndCopy) {
  const std::pair<int, bool> cases[] = {{500, false}, {1023, false}, {1024, true}, {2000, true}};
  for (const auto& [size, offered] : cases) {
    SCOPED_TRACE(size);
    const std::string target = Win("saved" + std::to_string(size) + ".zip");
    frame_->Ui().QueueDialog(plat::DialogAnswer{plat::IDOK, {{"path", target}}});
    doc_->OpenAddress(Url("/size/" + std::to_string(size) + ".zip"));
    if (offered) {
      ASSERT_TRUE(plat::Exists(target));
      EXPECT_EQ(plat::Stat(target)->size, size);
    } else {
      EXPECT_FALSE(plat::Exists(target));
      EXPECT_NE(Text().find(std::string(static_cast<size_t>(size), 'z')), std::string::npos);
      frame_->Ui().RunDialog("unused");  // the queued answer was not taken: drop it
    }
  }
}

TEST_F(PageFetchTest, AddressWithoutSchemeKeepsItsHost) {
  doc_->OpenAddress("127.0.0.1:" + std::to_string(http_.Port()) + "/tiny");
  EXPECT_NE(Text().find("tiny!"), std::string::npos) << Text();
}

// The connection is made when the request is sent: a refused port is an unanswered request.
TEST_F(PageFetchTest, RefusedPortShowsNoAnswer) {
  doc_->OpenAddress("http://127.0.0.1:" + std::to_string(nettest::FreePort()) + "/x");
  EXPECT_TRUE(Traced(228));
  EXPECT_FALSE(doc_->m_pInetSession);
}

TEST_F(PageFetchTest, StaticServerPage) {
  testenv::WriteHostFile(dir_.HostPath("www/index.html"), "<html><title>Static</title><body>static page body</body></html>");
  nettest::HttpServer files;
  START_OR_SKIP(files.StartStatic(dir_.HostPath("www"), dir_.HostPath("static.log")), "http.server");
  doc_->OpenAddress("http://127.0.0.1:" + std::to_string(files.Port()) + "/");
  EXPECT_NE(Text().find("static page body"), std::string::npos) << Text();
}

class FtpPageTest : public PageFetchTest {
 protected:
  void SetUp() override {
    PageFetchTest::SetUp();
    if (IsSkipped()) return;
    testenv::WriteHostFile(dir_.HostPath("site/pub/docs/readme.txt"), "hello pub\n");
    START_OR_SKIP(ftp_.Start(dir_.HostPath("site"), dir_.HostPath("ftp.log")), "pyftpdlib");
    doc_->m_astrSysValue[26] = "R:~2local~/ftp://127.0.0.1:" + std::to_string(ftp_.Port()) + ";BASE=pub;USER=anna;PWRD=secret";
  }
  std::string FtpUrl(const std::string& object) const {
    return "ftp://127.0.0.1:" + std::to_string(ftp_.Port()) + object + ";USER=anna;PWRD=secret";
  }
  nettest::FtpServer ftp_;
};

TEST_F(FtpPageTest, PageFetchDoesNotBreakAConnectedPseudoDrive) {
  ASSERT_EQ(doc_->LoadDocument("R:\\docs\\readme.txt", 0), 0);
  ASSERT_EQ(doc_->m_bFtpConnected, 1);
  doc_->OpenAddress(Url("/tiny"));
  EXPECT_NE(Text().find("tiny!"), std::string::npos);
  EXPECT_EQ(doc_->m_bFtpConnected, 0);
  EXPECT_EQ(doc_->LoadDocument("R:\\docs\\readme.txt", 0), 0);
  EXPECT_EQ(Text(), "hello pub\n");
}

TEST_F(FtpPageTest, FtpFileIsOfferedForSavingAndShownWhenNotSaved) {
  doc_->OpenAddress(FtpUrl("/pub/docs/readme.txt"));
  EXPECT_NE(Text().find("hello pub"), std::string::npos) << Text();
  EXPECT_EQ(doc_->m_bFtpConnected, 0);
  const std::string target = Win("kept.txt");
  frame_->Ui().QueueDialog(plat::DialogAnswer{plat::IDOK, {{"path", target}}});
  doc_->OpenAddress(FtpUrl("/pub/docs/readme.txt"));
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("kept.txt")), "hello pub\n");
}

TEST_F(FtpPageTest, FtpFolderIsListedAsAPage) {
  doc_->OpenAddress(FtpUrl("/"));
  EXPECT_NE(Text().find("ftp://127.0.0.1:" + std::to_string(ftp_.Port()) + "/pub"), std::string::npos) << Text();
}

TEST_F(FtpPageTest, MissingFtpFileShowsNoData) {
  doc_->OpenAddress(FtpUrl("/pub/none.txt"));
  EXPECT_TRUE(Traced(234));
}

}  // namespace
