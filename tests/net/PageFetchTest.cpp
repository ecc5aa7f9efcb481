// Addresses, the address history and the program's own page fetch, against the
// tests' HTTP handler, Python's http.server and pyftpdlib on 127.0.0.1.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "app/StringTable.h"
#include "net/Address.h"
#include "net/NetState.h"
#include "net/NetStatus.h"
#include "net/QelHtmlView.h"
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
      EXPECT_EQ(doc_->Net().m_nAddrHistoryCount, 29);
      EXPECT_EQ(doc_->Net().m_astrAddrHistory[0], "a2");
    }
  }
  EXPECT_EQ(doc_->Net().m_nAddrHistoryCount, 29);
  EXPECT_EQ(doc_->Net().m_astrAddrHistory[0], "a3");
  EXPECT_EQ(doc_->Net().m_astrAddrHistory[28], "a31");
}

TEST(AddressIndexTest, ReadsExactlySixDigits) {
  const std::pair<const char*, int> cases[] = {
      {"adrs://x000012", 12}, {"adrs://x999999", 999999}, {"adrs://x00001", 0}, {"adrs://x0000123", 0},
      {"adrs://x00a012", 0},  {"adrs://", 0},              {"adrs://x", 0},       {"%1C:\\a.txt", -1},
      {"file:///a", -1},      {"http://h", 0},             {"", 0},
  };
  for (const auto& [address, n] : cases) EXPECT_EQ(ParseAddressIndex(address), n) << address;
}

TEST(AddressResolveTest, ReferencesResolveAsLinksOfThePage) {
  const std::string base = "http://h:8/a/b/c.htm?x#f";
  const std::pair<const char*, const char*> cases[] = {
      {"d.htm", "http://h:8/a/b/d.htm"},   {"./d/", "http://h:8/a/b/d/"},     {"../d.htm", "http://h:8/a/d.htm"},
      {"../../../d", "http://h:8/d"},      {"..", "http://h:8/a/"},           {"/d?q", "http://h:8/d?q"},
      {"?q", "http://h:8/a/b/c.htm?q"},    {"#g", "http://h:8/a/b/c.htm?x#g"}, {"//k/d", "http://k/d"},
      {"javascript:alert(1)", ""},         {"mailto:a@h", ""},                 {"C:x", ""},
  };
  for (const auto& [reference, resolved] : cases) EXPECT_EQ(ResolveAddress(base, reference), resolved) << reference;
  EXPECT_EQ(ResolveAddress("http://h", "d.htm"), "http://h/d.htm");
  EXPECT_EQ(ResolveAddress("", "d.htm"), "");
}

TEST_F(AddressTest, HistoryNumberOutsideTheHistoryIsRefused) {
  doc_->AddAddressHistory("%1" + WriteFile("a.txt", "from history\n"));
  EXPECT_EQ(RunAddressCommand(*doc_, "adrs://x000002").code, NetCode::kNotInHistory);
  EXPECT_EQ(RunAddressCommand(*doc_, "adrs://x000000").code, NetCode::kNotInHistory);
  EXPECT_EQ(RunAddressCommand(*doc_, "adrs://x12").code, NetCode::kNotInHistory);
  EXPECT_EQ(RunAddressCommand(*doc_, "adrs://x000001").code, NetCode::kShown);
  EXPECT_EQ(Text(), "from history\n");
  EXPECT_EQ(doc_->Net().m_nAddrHistoryCount, 1);
}

TEST_F(AddressTest, ListAndFileAddressesOpenLocalFiles) {
  const std::string a = WriteFile("a.txt", "list one\n");
  doc_->m_nActiveList = 2;
  doc_->OpenAddress("%1" + a);
  EXPECT_EQ(doc_->m_strFileName1, a);
  EXPECT_EQ(doc_->m_nActiveList, 1);
  EXPECT_EQ(Text(), "list one\n");
  WriteFile("b.txt", "by file address\n");
  doc_->Net().m_bInternalBrowser = 1;
  doc_->OpenAddress("file://" + *plat::ToHostPath(Win("b.txt")));
  EXPECT_EQ(doc_->m_nActiveList, 2);
  EXPECT_EQ(doc_->m_strFileName2, Win("b.txt"));
  EXPECT_EQ(Text(), "by file address\n");
}

TEST_F(AddressTest, AddressWithPasswordIsKeptWithoutIt) {
  RunAddressCommand(*doc_, "ftp://127.0.0.1:1/pub;USER=anna;PWRD=topsecret");
  ASSERT_EQ(doc_->Net().m_nAddrHistoryCount, 1);
  EXPECT_EQ(doc_->Net().m_astrAddrHistory[0], "ftp://127.0.0.1:1/pub");
}

// A view that counts its updates.
class CountingView : public CDocView {
 public:
  void OnUpdate() override { ++updates; }
  int updates = 0;
};

// An address for the HTML pane asks the pane alone and returns its answer: no other
// view is updated (the text pane is not shown again, the file lists are not re-read),
// no view request is left set, and the program fetches nothing itself.
TEST_F(AddressTest, WithoutTheInternalBrowserTheHtmlPaneIsAsked) {
  doc_->Net().m_nHtmlBrowserMode = 1;
  doc_->Net().m_nNetTimeScale = 50;
  const struct {
    const char* what;
    bool pane;           // the HTML pane is made
    const char* reason;  // UTF-8
  } cases[] = {
      {"no pane to ask", false, "the HTML pane shows a local file only while"},
      {"the pane asked alone", true, "接続できません  ("},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::unique_ptr<CQelHtmlView> pane;
    if (c.pane) {
      pane = std::make_unique<CQelHtmlView>(*doc_);
      pane->OnActivateView(true);
      pane->OnUpdate();
    }
    CountingView other;
    doc_->AddView(&other);
    const auto request = doc_->m_nViewRequest;
    const size_t traced = frame_->StatusBar().Trace().size();
    const NetStatus status = doc_->OpenAddress("http://127.0.0.1:1/x.htm");
    doc_->RemoveView(&other);
    EXPECT_EQ(other.updates, 0);
    EXPECT_EQ(doc_->m_nViewRequest, request);
    EXPECT_EQ(status.code, NetCode::kNotShown);
    EXPECT_EQ(status.reason.find(plat::Utf8ToCp932Lossy(c.reason)), 0u) << plat::Cp932ToUtf8(status.reason);
    const std::vector<std::string>& trace = frame_->StatusBar().Trace();
    EXPECT_EQ(std::find(trace.begin() + static_cast<long>(traced), trace.end(), LoadString(IDS_NET_INITIALIZING)), trace.end());
  }
}

class PageFetchTest : public testenv::DocTest {
 protected:
  void SetUp() override {
    START_OR_SKIP(http_.StartHandler(dir_.HostPath("http.log")), "the HTTP test handler");
    doc_->Net().m_bInternalBrowser = 1;
    doc_->Net().m_nNetTimeScale = 50;  // 1.5 s to answer, 3 s a page pass
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
  constexpr int kLoginAsked = -401;
  struct Case {
    const char* object;
    int status;           // string id in the trace, 0 for a page shown
    const char* shown;    // text of the page shown
    bool workFileStays;
    const char* named = nullptr;  // the object the status names, when not the one asked for
  };
  const Case cases[] = {
      {"/page.htm", 0, "hello from the page", true},
      // The status names the page shown, the one the redirect led to.
      {"/redirect", 0, "hello from the page", true, "page.htm"},
      // Its body came after its headers: the redirect went unread and 302 was the answer.
      {"/redirect-late", 0, "hello from the page", true, "page.htm"},
      {"/redirect-https", IDS_NET_NO_PAGE, nullptr, false},
      {"/redirect-loop", IDS_NET_NO_PAGE, nullptr, false},
      {"/auth", kLoginAsked, nullptr, false},
      {"/chunked", 0, "bbbbbbbbbbcccccccccc", true},
      {"/closed", IDS_NET_READ_INCOMPLETE, nullptr, false},
      {"/silent", IDS_NET_NO_ANSWER, nullptr, false},
      {"/slow", IDS_NET_TIME_OVER, nullptr, false},
      {"/size/0.txt", IDS_NET_NO_DATA, nullptr, false},
      {"/tiny", 0, "tiny!", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.object);
    doc_->LoadDocument(WriteFile("blank.txt", "before\n"));
    const NetStatus status = doc_->OpenAddress(Url(c.object));
    if (c.status == kLoginAsked) {
      // A 401 said "no page or an unsupported page": it says the server asked for a login.
      EXPECT_NE(Trace().find(LoginAskedText() + "  (HTTP 401)"), std::string::npos) << plat::Cp932ToUtf8(Trace());
    } else if (c.status != 0) {
      EXPECT_TRUE(Traced(c.status)) << plat::Cp932ToUtf8(Trace());
      EXPECT_EQ(Text(), "before\n");
    } else {
      EXPECT_NE(Text().find(c.shown), std::string::npos) << Text();
      EXPECT_EQ(frame_->StatusBar().GetPaneText(0),
                "127.0.0.1:" + std::to_string(http_.Port()) + "    file = " + (c.named ? c.named : c.object + 1));
    }
    EXPECT_EQ(plat::Exists(WorkPage()), c.workFileStays);
    EXPECT_EQ(status.Shown(), c.status == 0);
    // A failure's reason is the status text it ended with.
    if (!status.Shown()) {
      EXPECT_EQ(status.reason, frame_->StatusBar().GetPaneText(0));
    }
    EXPECT_FALSE(doc_->Net().m_pInetSession);
  }
}

TEST_F(PageFetchTest, TenMegabytesEndWithThePartialMark) {
  doc_->Net().m_nNetTimeScale = 1000;
  doc_->OpenAddress(Url("/big"));
  const std::string pane = frame_->StatusBar().GetPaneText(0);
  EXPECT_NE(pane.find(LoadString(IDS_SHOWN_IN_PART)), std::string::npos) << plat::Cp932ToUtf8(pane);
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

// An address without "://" went to the name lookup as a host ("javascript:alert(1)",
// "foo.htm"): it is a place of the page shown, or refused without any connection.
TEST_F(PageFetchTest, AddressWithoutSchemeFault) {
  const std::string port = std::to_string(http_.Port());
  struct Case {
    std::string address;
    const char* shown;  // nullptr: refused
  };
  const Case cases[] = {
      {"foo.htm", nullptr},
      {"javascript:alert(1)", nullptr},
      {"127.0.0.1:" + port + "/tiny", nullptr},
      {Url("/dir/a/page.htm"), "asked for /dir/a/page.htm"},
      {"b.htm", "asked for /dir/a/b.htm"},
      {"../c.htm?q=1", "asked for /dir/c.htm?q=1"},
      {"/dir/top.htm", "asked for /dir/top.htm"},
      {"javascript:alert(1)", nullptr},
      {"mailto:anna@127.0.0.1", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    const size_t before = frame_->StatusBar().Trace().size();
    const NetStatus status = doc_->OpenAddress(c.address);
    const std::vector<std::string>& trace = frame_->StatusBar().Trace();
    const bool connected = std::find(trace.begin() + static_cast<long>(before), trace.end(), LoadString(IDS_NET_INITIALIZING)) != trace.end();
    EXPECT_EQ(status.Shown(), c.shown != nullptr);
    EXPECT_EQ(connected, c.shown != nullptr);
    if (c.shown) {
      EXPECT_NE(Text().find(c.shown), std::string::npos) << Text();
    } else {
      EXPECT_EQ(frame_->StatusBar().GetPaneText(0), LoadString(IDS_NET_NO_PAGE));
    }
  }
  // A page no longer shown is no base: the reference is refused.
  doc_->LoadDocument(WriteFile("local.txt", "local\n"));
  EXPECT_FALSE(doc_->OpenAddress("b.htm").Shown());
}

// Answers the fetch used to report wrongly: a 200 KB Location as libcurl's "Out of
// memory", and a redirect to another port under the first address.
TEST_F(PageFetchTest, ServerAnswerReportFault) {
  nettest::HttpServer other;
  START_OR_SKIP(other.StartHandler(dir_.HostPath("other.log")), "the HTTP test handler");
  EXPECT_FALSE(doc_->OpenAddress(Url("/long-location")).Shown());
  ASSERT_FALSE(frame_->Ui().MessageLog().empty());
  const std::string said = frame_->Ui().MessageLog().back().text;
  EXPECT_NE(said.find("header line of the server's reply is too long"), std::string::npos) << said;
  EXPECT_EQ(said.find("memory"), std::string::npos) << said;

  const std::string there = "127.0.0.1:" + std::to_string(other.Port());
  doc_->OpenAddress(Url("/goto/http://" + there + "/tiny"));
  EXPECT_NE(Text().find("tiny!"), std::string::npos) << Text();
  EXPECT_EQ(frame_->StatusBar().GetPaneText(0), there + "    file = tiny");
}

// The connection is made when the request is sent: a refused port is an unanswered request.
TEST_F(PageFetchTest, RefusedPortShowsNoAnswer) {
  doc_->OpenAddress("http://127.0.0.1:" + std::to_string(nettest::FreePort()) + "/x");
  EXPECT_TRUE(Traced(IDS_NET_NO_ANSWER));
  EXPECT_FALSE(doc_->Net().m_pInetSession);
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
  ASSERT_EQ(doc_->LoadDocument("R:\\docs\\readme.txt"), 0);
  ASSERT_EQ(doc_->Net().m_bFtpConnected, 1);
  doc_->OpenAddress(Url("/tiny"));
  EXPECT_NE(Text().find("tiny!"), std::string::npos);
  EXPECT_EQ(doc_->Net().m_bFtpConnected, 0);
  EXPECT_EQ(doc_->LoadDocument("R:\\docs\\readme.txt"), 0);
  EXPECT_EQ(Text(), "hello pub\n");
}

TEST_F(FtpPageTest, FtpFileIsOfferedForSavingAndShownWhenNotSaved) {
  doc_->OpenAddress(FtpUrl("/pub/docs/readme.txt"));
  EXPECT_NE(Text().find("hello pub"), std::string::npos) << Text();
  EXPECT_EQ(doc_->Net().m_bFtpConnected, 0);
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
  EXPECT_TRUE(Traced(IDS_NET_NO_DATA));
}

}  // namespace
