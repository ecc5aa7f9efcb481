// The browser control's model on its own: the order of its events, its travel log,
// the pages it reads (Python's http.server, the tests' handler, local files) and the
// servers a login may go to.
#include <gtest/gtest.h>

#include <functional>

#include "platform/inet/HtmlBrowser.h"
#include "platform/text/CodePage.h"
#include "support/NetServers.h"
#include "support/TestFiles.h"

namespace {

using plat::Utf8ToCp932Lossy;

// Records each event as a line, " idle" added once the control is no longer busy.
class RecordingBrowser : public CHtmlView {
 public:
  std::vector<std::string> events;

 protected:
  void OnBeforeNavigate2(const std::string& url) override { Note("before " + url); }
  void OnProgressChange(long progress, long) override { Note("progress " + std::to_string(progress)); }
  void OnNavigateComplete2(const std::string& url) override { Note("complete " + url); }
  void OnTitleChange(const std::string& title) override { Note("title " + title); }
  void OnCommandStateChange(long command, bool enable) override {
    Note("state " + std::to_string(command) + (enable ? " on" : " off"));
  }

 private:
  void Note(const std::string& line) { events.push_back(line + (GetBusy() ? "" : " idle")); }
};

class HtmlBrowserTest : public ::testing::Test {
 protected:
  std::string Url(const nettest::HttpServer& server, const std::string& object) const {
    return "http://127.0.0.1:" + std::to_string(server.Port()) + object;
  }
  // A file of the test's folder by its Windows path.
  std::string Page(const std::string& name, const std::string& bytes) const {
    testenv::WriteHostFile(dir_.HostPath(name), bytes);
    return dir_.Win() + "\\" + name;
  }

  testenv::TempDir dir_;
  RecordingBrowser browser_;
};

std::vector<std::string> NavigationEvents(const std::string& asked, const std::string& shown, const std::string& title,
                                          bool back, bool forward) {
  return {"before " + asked, "progress 250", "progress 500", "progress 750", "progress 1000", "complete " + shown,
          "title " + title, std::string("state 2 ") + (back ? "on" : "off"),
          std::string("state 1 ") + (forward ? "on" : "off"), "state -1 off", "progress -1 idle"};
}

TEST_F(HtmlBrowserTest, EventsComeInTheirOrder) {
  nettest::HttpServer http;
  START_OR_SKIP(http.StartHandler(dir_.HostPath("http.log")), "the HTTP test handler");
  const std::string page = Url(http, "/page.htm");
  const std::string tiny = Url(http, "/tiny");
  const std::string viaRedirect = Url(http, "/goto/" + tiny);
  struct Step {
    const char* what;
    void (CHtmlView::*move)();
    std::string url;  // for Navigate2
    std::vector<std::string> events;
  };
  const Step steps[] = {
      {"a page with a title", nullptr, page, NavigationEvents(page, page, "Test Page", false, false)},
      // The redirect's target is the location; a page without a title is named by it.
      {"a redirect", nullptr, viaRedirect, NavigationEvents(viaRedirect, tiny, tiny, true, false)},
      {"back", &CHtmlView::GoBack, "", NavigationEvents(page, page, "Test Page", false, true)},
      {"forward", &CHtmlView::GoForward, "", NavigationEvents(tiny, tiny, tiny, true, false)},
      {"reload", &CHtmlView::Refresh, "", NavigationEvents(tiny, tiny, tiny, true, false)},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    browser_.events.clear();
    if (step.move) {
      (browser_.*step.move)();
    } else {
      browser_.Navigate2(step.url);
    }
    EXPECT_EQ(browser_.events, step.events);
    EXPECT_FALSE(browser_.GetBusy());
  }
  // Stopping is recorded and leaves the control idle; a new window raises no event.
  browser_.events.clear();
  browser_.ExecWB(OLECMDID_STOP);
  browser_.Navigate2(page, navOpenInNewWindow);
  EXPECT_TRUE(browser_.events.empty());
  EXPECT_EQ(browser_.ExecLog(), std::vector<int>{OLECMDID_STOP});
  EXPECT_EQ(browser_.NewWindows(), std::vector<std::string>{page});
}

TEST_F(HtmlBrowserTest, TravelLogKeepsThePathTaken) {
  const std::string a = Page("a.htm", "<title>A</title>");
  const std::string b = Page("b.htm", "<title>B</title>");
  const std::string c = Page("c.htm", "<title>C</title>");
  const std::string d = Page("d.htm", "<title>D</title>");
  browser_.SetHomePage(a);
  struct Step {
    const char* what;
    std::function<void(CHtmlView&)> run;
    std::vector<std::string> log;
    int index;
    const char* title;
  };
  const Step steps[] = {
      {"back while empty", [](CHtmlView& v) { v.GoBack(); }, {}, -1, ""},
      {"a", [&](CHtmlView& v) { v.Navigate2(a); }, {a}, 0, "A"},
      {"b", [&](CHtmlView& v) { v.Navigate2(b); }, {a, b}, 1, "B"},
      {"c", [&](CHtmlView& v) { v.Navigate2(c); }, {a, b, c}, 2, "C"},
      {"back twice", [](CHtmlView& v) { v.GoBack(), v.GoBack(); }, {a, b, c}, 0, "A"},
      {"back at the start", [](CHtmlView& v) { v.GoBack(); }, {a, b, c}, 0, "A"},
      {"forward", [](CHtmlView& v) { v.GoForward(); }, {a, b, c}, 1, "B"},
      // A new address drops the entries ahead of the current one.
      {"d", [&](CHtmlView& v) { v.Navigate2(d); }, {a, b, d}, 2, "D"},
      {"forward at the end", [](CHtmlView& v) { v.GoForward(); }, {a, b, d}, 2, "D"},
      {"home", [](CHtmlView& v) { v.GoHome(); }, {a, b, d, a}, 3, "A"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.run(browser_);
    EXPECT_EQ(browser_.TravelLog(), step.log);
    EXPECT_EQ(browser_.TravelIndex(), step.index);
    EXPECT_EQ(browser_.PageTitle(), step.title);
    if (step.index >= 0) {
      EXPECT_EQ(browser_.GetLocationURL(), step.log[static_cast<size_t>(step.index)]);
    }
  }
}

TEST_F(HtmlBrowserTest, PagesComeAsServed) {
  // A folder whose name needs escaping, listed and served by http.server (UTF-8).
  const std::string folder = "資料&表";
  const std::string escaped = "/%E8%B3%87%E6%96%99%26%E8%A1%A8/";
  const std::string served = "<html><head><meta charset=\"utf-8\"><title>\n  表計算\tの  ページ </title></head></html>\n";
  testenv::WriteHostFile(dir_.HostPath("site/" + folder + "/p.htm"), served);
  const std::string snow = "<html><head><meta charset=\"utf-8\"><title>Snow \u2603 day</title></head></html>\n";
  testenv::WriteHostFile(dir_.HostPath("site/snow.htm"), snow);
  nettest::HttpServer site;
  nettest::HttpServer handler;
  START_OR_SKIP(site.StartStatic(dir_.HostPath("site"), dir_.HostPath("site.log")), "http.server");
  START_OR_SKIP(handler.StartHandler(dir_.HostPath("handler.log")), "the HTTP test handler");
  const std::string local = "<title>Local &amp; &lt;near&gt; &#x41;&#66;</title>";
  const std::string localPath = Page("my page.htm", local);
  const std::string hostPath = dir_.HostPath("my page.htm");
  const std::string spaced = hostPath.substr(0, hostPath.rfind('/')) + "/my%20page.htm";
  struct Case {
    const char* what;
    std::string url;
    std::string error;
    std::string title;       // CP932
    std::string bytes;       // the page, when given
    size_t size = 0;         // else its size
  };
  const Case cases[] = {
      {"a served page, its title's blanks folded", Url(site, escaped + "p.htm"), "", Utf8ToCp932Lossy("表計算 の ページ"),
       served},
      {"http.server's listing, its title unescaped", Url(site, escaped), "",
       Utf8ToCp932Lossy("Directory listing for /" + folder + "/"), ""},
      // It came as its UTF-8 bytes, read as Shift-JIS.
      {"a UTF-8 title with a character CP932 lacks", Url(site, "/snow.htm"), "", "Snow ? day", snow},
      {"an error page is shown and named", Url(handler, "/nothing"), "HTTP 404", "", "not here"},
      {"a page over the page bound is cut there", Url(handler, "/size/" + std::to_string(CHtmlView::kMaxPageBytes + 5000) + ".htm"),
       "", "", "", static_cast<size_t>(CHtmlView::kMaxPageBytes)},
      {"a local file by its path", localPath, "", "Local & <near> AB", local},
      {"a local file by a file address", "file://" + spaced, "", "Local & <near> AB", local},
      // A drive letter names no local file: dropped, C:/DIR would read DIR.
      {"a file address with a drive", "file:///C:" + spaced, "the file cannot be read", "", ""},
      {"a missing local file", dir_.Win() + "\\none.htm", "the file cannot be read", "", ""},
      // Read as files of the current folder.
      {"a script address", "javascript:alert(1)", "javascript: addresses are not shown here", "", ""},
      {"a reference without its page", "b.htm", "it is neither an address nor a full path", "", ""},
      {"a blank page", "about:blank", "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    browser_.Navigate2(c.url);
    EXPECT_EQ(browser_.PageError(), c.error);
    EXPECT_EQ(browser_.PageTitle(), c.title);
    EXPECT_EQ(browser_.PageCut(), c.size != 0);
    if (c.size != 0) {
      EXPECT_EQ(browser_.PageBytes().size(), c.size);
    } else if (!c.bytes.empty() || c.title.empty()) {
      EXPECT_EQ(browser_.PageBytes(), c.bytes);
    }
  }
  // A server that refuses the connection gives no page and says why.
  browser_.Navigate2("http://127.0.0.1:" + std::to_string(nettest::FreePort()) + "/");
  EXPECT_TRUE(browser_.PageBytes().empty());
  EXPECT_FALSE(browser_.PageError().empty());
}

// A login given for one server went with every page of the same host name, whatever
// its port, and with every redirect.
TEST_F(HtmlBrowserTest, LoginWentToOtherServersFault) {
  nettest::HttpServer own;
  nettest::HttpServer other;
  START_OR_SKIP(own.StartHandler(dir_.HostPath("own.log")), "the HTTP test handler");
  START_OR_SKIP(other.StartHandler(dir_.HostPath("other.log")), "the HTTP test handler");
  const std::string password = "S3cr3tPw";
  const std::string login = "http://anna:" + password + "@127.0.0.1:" + std::to_string(own.Port()) + "/auth-basic";
  struct Case {
    const char* what;
    std::string url;
    bool authorized;
  };
  const Case cases[] = {
      {"the page of the login", login, true},
      {"a later page of its server", Url(own, "/echo-headers"), true},
      {"a server on another port", Url(other, "/echo-headers"), false},
      {"a redirect to another server", Url(own, "/goto/" + Url(other, "/echo-headers")), false},
      {"a redirect to the same server", Url(own, "/goto/" + Url(own, "/echo-headers")), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    browser_.Navigate2(c.url);
    ASSERT_EQ(browser_.PageError(), "");
    const std::string& page = browser_.PageBytes();
    EXPECT_EQ(page == "welcome anna" || page.find("Authorization: Basic") != std::string::npos, c.authorized) << page;
  }
  for (const std::string& line : browser_.events) EXPECT_EQ(line.find(password), std::string::npos) << line;
  for (const std::string& url : browser_.TravelLog()) EXPECT_EQ(url.find(password), std::string::npos) << url;
}

}  // namespace
