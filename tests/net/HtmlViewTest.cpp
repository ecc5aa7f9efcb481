// The HTML browser pane against Python's http.server on 127.0.0.1: its jump slots,
// the back and forward states, the progress marks and the title; the short title's
// walk over Shift-JIS; the home page and the update notice; and the pane driven by
// a script through the built program.
#include <gtest/gtest.h>

#include <memory>

#include "net/NetState.h"
#include "support/NetServers.h"
#include "app/QelDoc.h"
#include "frame/MainFrame.h"
#include "net/HomePage.h"
#include "net/NetCommands.h"
#include "net/QelHtmlView.h"
#include "platform/ui/Clipboard.h"
#include "platform/text/CodePage.h"
#include "platform/os/Files.h"
#include "support/TestEnv.h"

namespace {

using testenv::Quote;
using testenv::Shell;

std::string Page(const std::string& title, const std::string& body) {
  return "<html><head><title>" + title + "</title></head><body><p>" + body + "</p></body></html>\n";
}

// The pane with its progress handler reachable.
class TestHtmlView : public CQelHtmlView {
 public:
  using CQelHtmlView::CQelHtmlView;
  using CQelHtmlView::OnProgressChange;
};

class HtmlViewTest : public testenv::DocTest {
 protected:
  void SetUp() override {
    for (const char* name : {"a", "b", "c", "d", "e"}) {
      testenv::WriteHostFile(dir_.HostPath(std::string("web/") + name + ".htm"), Page(std::string("Page ") + name, std::string("text of ") + name));
    }
    START_OR_SKIP(http_.StartStatic(dir_.HostPath("web"), dir_.HostPath("http.log")), "http.server");
    doc_->Net().m_nNetTimeScale = 100;
    doc_->Net().m_nHtmlBrowserMode = 1;
    view_ = std::make_unique<TestHtmlView>(*doc_);
    // The pane as the frame makes it: activated, then its first update.
    view_->OnActivateView(true);
    view_->OnUpdate();
  }

  // The home page makes its folder the current directory: each test restores it.
  void TearDown() override { plat::SetCurrentDirectory(folder_); }

  std::string Url(const std::string& name) const { return "http://127.0.0.1:" + std::to_string(http_.Port()) + "/" + name; }
  std::string Trace() const {
    std::string all;
    for (const auto& t : frame_->StatusBar().Trace()) all += t + "\n";
    return all;
  }
  CCmdUI State(unsigned id) {
    CommandContext cx{nullptr, nullptr, doc_.get(), frame_.get(), CommandTarget::HtmlView, view_.get()};
    return QueryCommand(CommandTables{NetCommands(), HomePageCommands()}, id, cx);
  }
  CommandOutcome Run(unsigned id) {
    CommandContext cx{nullptr, nullptr, doc_.get(), frame_.get(), CommandTarget::HtmlView, view_.get()};
    return RunCommand(CommandTables{NetCommands(), HomePageCommands()}, id, cx);
  }

  std::string folder_ = plat::GetCurrentDirectory();
  nettest::HttpServer http_;
  std::unique_ptr<TestHtmlView> view_;
};

TEST_F(HtmlViewTest, AddressFromTheDocumentIsShownWithItsTitle) {
  EXPECT_TRUE(doc_->OpenAddress(Url("a.htm")).Shown());
  EXPECT_EQ(view_->GetLocationURL(), Url("a.htm"));
  EXPECT_EQ(frame_->GetWindowText(), "[html]  " + Url("a.htm") + "     [Page a]");
  EXPECT_EQ(view_->m_strTitle, "Page_a");
  EXPECT_NE(view_->PageText().find("text of a"), std::string::npos) << view_->PageText();
}

TEST_F(HtmlViewTest, HistoryFillsSlotsOneToFourAndNeverRepeats) {
  doc_->OpenAddress(Url("a.htm"));  // an update: the history starts again at slot 1
  for (const char* name : {"b.htm", "a.htm", "c.htm", "d.htm", "e.htm"}) view_->Navigate2(Url(name));
  EXPECT_EQ(view_->m_strHistory[1], Url("a.htm"));
  EXPECT_EQ(view_->m_strHistory[2], Url("b.htm"));
  EXPECT_EQ(view_->m_strHistory[3], Url("c.htm"));
  EXPECT_EQ(view_->m_strHistory[4], Url("d.htm"));  // e.htm finds no slot
  EXPECT_EQ(view_->m_nHistory, 5);
  EXPECT_TRUE(State(32843).m_bEnabled);  // jump 2 and 3 with their slots filled
  EXPECT_TRUE(State(32844).m_bEnabled);
  EXPECT_EQ(Run(32843), CommandOutcome::Done);
  EXPECT_EQ(view_->GetLocationURL(), Url("b.htm"));
  // A new update starts the slots again.
  doc_->OpenAddress(Url("e.htm"));
  EXPECT_EQ(view_->m_nHistory, 2);
  EXPECT_EQ(view_->m_strHistory[1], Url("e.htm"));
  EXPECT_FALSE(State(32843).m_bEnabled);
}

TEST_F(HtmlViewTest, BackAndForwardFollowTheTravelLogAndTheLastMove) {
  doc_->OpenAddress(Url("a.htm"));
  view_->Navigate2(Url("b.htm"));
  EXPECT_TRUE(State(33038).m_bEnabled);
  EXPECT_FALSE(State(33039).m_bEnabled);  // nothing after b.htm to go forward to
  EXPECT_EQ(Run(33038), CommandOutcome::Done);
  EXPECT_EQ(view_->GetLocationURL(), Url("a.htm"));
  EXPECT_EQ(view_->m_nLastMove, 0);  // the navigation completed
  // At the start of the log there is nothing to go back to: Back is disabled.
  EXPECT_FALSE(State(33038).m_bEnabled);
  EXPECT_EQ(Run(33038), CommandOutcome::Disabled);
  EXPECT_TRUE(State(33039).m_bEnabled);
  EXPECT_EQ(Run(33039), CommandOutcome::Done);
  EXPECT_EQ(view_->GetLocationURL(), Url("b.htm"));
  EXPECT_EQ(frame_->GetWindowText(), "[html]  " + Url("b.htm") + "     [Page b]");
}

TEST_F(HtmlViewTest, ProgressShowsAsterisksPastAQuarter) {
  const struct {
    long progress, maximum;
    const char* shown;  // nullptr: pane 0 is not written
  } cases[] = {{250, 1000, nullptr}, {251, 1000, "*****"}, {800, 1000, ""}, {850, 1000, "*"}, {1000, 1000, nullptr}, {-1, 1000, nullptr}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.progress);
    frame_->StatusBar().SetPaneText(0, "before", true);
    view_->OnProgressChange(c.progress, c.maximum);
    EXPECT_EQ(frame_->StatusBar().GetPaneText(0), c.shown ? c.shown : "before");
  }
  // A navigation passes through them: 500 and 750 of 1,000 give 10 and 15 marks.
  doc_->OpenAddress(Url("a.htm"));
  EXPECT_NE(Trace().find("**********\n***************\n"), std::string::npos) << Trace();
}

// A jump to an empty slot did nothing and reported success: it is not available.
TEST_F(HtmlViewTest, JumpToAnEmptySlotFault) {
  ASSERT_TRUE(view_->m_strHistory[1].empty());
  EXPECT_EQ(Run(32842), CommandOutcome::Disabled);
  EXPECT_TRUE(view_->TravelLog().empty());
  EXPECT_EQ(view_->GetLocationURL(), "");
  EXPECT_EQ(Trace().find('*'), std::string::npos) << Trace();
}

TEST_F(HtmlViewTest, TitleLeadByteWalkKeepsDoubleByteCharacters) {
  // 0x88 0x88 is one character whose second byte looks like a lead byte: the common
  // beginning of six such bytes is three characters, not five bytes and a half.
  const std::string kanji3 = "\x88\x88\x88\x88\x88\x88";
  const struct {
    std::string title, previous, shortTitle;
  } cases[] = {
      {kanji3 + "BBBBBB", kanji3 + "AAAA", "BBBBB"},
      {kanji3 + "ABCD", kanji3, "ABCD"},                                    // the whole previous title in common
      {"News: today's weather in the city", "News", "today's weather in the city"},  // cut after the separator
      {"Same", "Same", "Same"},
      {"\x81\x40\x81\x40Title", "", "Title"},                               // full-width blanks stripped
      // A separator's byte inside a double-byte character is no separator: 0x83 0x7C is
      // one character, "|" only when it stands on its own.
      {"\x83\x7C" "AB", "", "\x83\x7C" "AB"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(plat::Cp932ToUtf8(c.title));
    EXPECT_EQ(ShortPageTitle(c.title, c.previous), c.shortTitle);
  }
}

TEST_F(HtmlViewTest, EditCopyPutsTheAddressOnTheClipboard) {
  doc_->OpenAddress(Url("b.htm"));
  EXPECT_EQ(Run(57634), CommandOutcome::Done);
  EXPECT_EQ(frame_->Ui().GetClipboard().GetData(plat::CF_TEXT), Url("b.htm"));
  EXPECT_EQ(frame_->StatusBar().GetPaneText(0), Url("b.htm"));
}

TEST_F(HtmlViewTest, SaveSourceWritesThePageShown) {
  doc_->OpenAddress(Url("c.htm"));
  const std::string target = Win("saved.htm");
  frame_->Ui().QueueDialog(plat::DialogAnswer{plat::IDOK, {{"path", target}}});
  EXPECT_EQ(Run(32930), CommandOutcome::Done);
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("saved.htm")), Page("Page c", "text of c"));
}

// Saving the source after a page that did not come, or came cut short, emptied the
// chosen file. It is refused with the reason and the file stays as it was; a failed
// page's title says why instead of standing as loaded.
TEST_F(HtmlViewTest, SaveSourceAfterFailedPageFault) {
  nettest::HttpServer handler;
  START_OR_SKIP(handler.StartHandler(dir_.HostPath("handler.log")), "the HTTP test handler");
  const std::string server = "http://127.0.0.1:" + std::to_string(handler.Port());
  const std::string refused = "http://127.0.0.1:" + std::to_string(nettest::FreePort()) + "/a.htm";
  const struct {
    const char* what;
    std::string address;
    const char* title;  // UTF-8
    const char* says;   // UTF-8
  } cases[] = {
      {"a refused address", refused, "接続できません", "データがありません\n接続できません  ("},
      {"a server that closes early", server + "/closed", "データの読み取りが完了しませんでした",
       "データがありません\nデータの読み取りが完了しませんでした  ("},
      {"a page cut at the page bound", server + "/endless", "", "データの読み取りが完了しませんでした   <部分表示>"},
  };
  const std::string notes = "my own notes\n";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testenv::WriteHostFile(dir_.HostPath("notes.htm"), notes);
    doc_->OpenAddress(c.address);
    if (*c.title) {
      EXPECT_EQ(frame_->GetWindowText(), "[html]  " + c.address + "     [" + plat::Utf8ToCp932Lossy(c.title) + "]");
    }
    frame_->Ui().QueueDialog(plat::DialogAnswer{plat::IDOK, {{"path", Win("notes.htm")}}});
    frame_->Ui().QueueAnswer(plat::IDOK);
    EXPECT_EQ(Run(32930), CommandOutcome::Failed);
    EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("notes.htm")), notes);
    ASSERT_FALSE(frame_->Ui().MessageLog().empty());
    EXPECT_EQ(frame_->Ui().MessageLog().back().text.rfind(plat::Utf8ToCp932Lossy(c.says), 0), 0u)
        << plat::Cp932ToUtf8(frame_->Ui().MessageLog().back().text);
  }
}

TEST_F(HtmlViewTest, HomePageTogglesThePaneAndItsCheckMark) {
  doc_->m_astrSysValue[25] = WriteFile("home.txt", "my home page\n");
  doc_->Net().m_bInternalBrowser = 1;
  EXPECT_EQ(State(32880).m_nCheck, 0);
  EXPECT_EQ(Run(32880), CommandOutcome::Done);
  EXPECT_EQ(doc_->Net().m_nAddrListRequest, 1);
  EXPECT_EQ(State(32880).m_nCheck, 1);
  EXPECT_EQ(Text(), "my home page\n");
  EXPECT_EQ(doc_->Net().m_strHomeAddress, doc_->m_astrSysValue[25]);
  EXPECT_NE(Trace().find("OnInet"), std::string::npos);
  // Again: the home page closes and the pane goes off.
  EXPECT_EQ(Run(32880), CommandOutcome::Done);
  EXPECT_EQ(doc_->Net().m_nAddrListRequest, 0);
  EXPECT_EQ(doc_->Net().m_nHtmlBrowserMode, 0);
  EXPECT_EQ(State(32880).m_nCheck, 0);
}

// A home string that ends in "@" and a letter: the letter sets the text size and
// is no part of the page's name.
TEST_F(HtmlViewTest, HomeStringSizeLetterIsAppliedAndCut) {
  const std::string home = WriteFile("home.txt", "my home page\n");
  doc_->m_astrSysValue[25] = home + "@d";
  doc_->Net().m_bInternalBrowser = 1;
  EXPECT_EQ(Run(32880), CommandOutcome::Done);
  EXPECT_EQ(doc_->m_nTextPointSize, 180);
  EXPECT_EQ(doc_->m_bLowerCaseLetter, 1);
  EXPECT_EQ(doc_->Net().m_strHomeAddress, home);
  EXPECT_EQ(Text(), "my home page\n");
}

TEST_F(HtmlViewTest, UpdateInformationShowsTheNoticeOfTheIndexPage) {
  const std::string body = std::string(600, 'n') + "\r\nnews of the day\r\n";
  testenv::WriteHostFile(dir_.HostPath("web/index.htm"), "<html><!-- 14 " + Url("b.htm") + "@@\r\n" + body + "-->\n</html>\n");
  doc_->Net().m_strInfoPage = Url("index.htm");
  EXPECT_EQ(Run(33012), CommandOutcome::Done);
  EXPECT_EQ(testenv::ReadHostFile(frame_ ? plat::ToHostPath(doc_->m_strProgramDir + "\\Index2.txf").value_or("") : ""), body);
  EXPECT_EQ(doc_->Net().m_bInternalBrowser, 0);  // restored
  EXPECT_EQ(doc_->Net().m_bUpdateShown, 1);
  EXPECT_EQ(doc_->Net().m_nAddrListRequest, 1);
  // The notice (an address here) went to the pane, which showed it.
  EXPECT_EQ(view_->GetLocationURL(), Url("b.htm"));
}

TEST(UpdateNoticeTest, NoticeNeedsItsMarkAndAPageAfterIt) {
  const std::string head(14, 'h');
  const std::string fill(600, 'x');
  const struct {
    const char* what;
    std::string page;
    bool found;
    std::string notice, body;
  } cases[] = {
      {"a notice", head + "NEWS@@\r\n" + fill + "-->tail", true, "NEWS", fill},
      {"UpdateNoticeWithoutMarkIsNoNotice", head + fill + "-->", false, "", ""},
      {"UpdateNoticeWithMarkInTheLastBytesIsNoNotice", head + fill + "@@-->", false, "", ""},
      {"mark two bytes before the end", head + fill + "@@\r-->", false, "", ""},
      {"an empty page after the mark", head + fill + "@@\r\n-->", true, fill, ""},
      {"fewer than 500 bytes", head + "N@@\r\n" + std::string(100, 'x') + "-->", false, "", ""},
      {"no end within 8,000 bytes", head + "N@@\r\n" + std::string(9000, 'x'), false, "", ""},
      {"shorter than its skipped head", "tiny", false, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string notice = "stale", body = "stale";
    EXPECT_EQ(ReadUpdateNotice(c.page, &notice, &body), c.found);
    EXPECT_EQ(notice, c.notice);
    EXPECT_EQ(body, c.body);
  }
}

TEST_F(HtmlViewTest, EditCommandsAreDisabledWhileTheBrowserPaneIsOn) {
  for (unsigned id : {32777u, 32778u, 32782u, 32784u, 32786u}) {
    SCOPED_TRACE(id);
    doc_->Net().m_nHtmlBrowserMode = 1;
    EXPECT_FALSE(State(id).m_bEnabled);
    doc_->Net().m_nHtmlBrowserMode = 2;
    EXPECT_FALSE(State(id).m_bEnabled);
    doc_->Net().m_nHtmlBrowserMode = 0;
    EXPECT_TRUE(State(id).m_bEnabled);
  }
}

// After a navigation the control's script-error window is closed when it is the
// active window or becomes it within 150 ms; other windows, and one that comes
// later, stay.
TEST_F(HtmlViewTest, ScriptErrorWindowIsClosed) {
  plat::UiHost& ui = frame_->Ui();
  plat::Screen& screen = ui.GetScreen();
  const std::string title = plat::Utf8ToCp932Lossy("スクリプト エラー");
  struct Case {
    const char* what;
    std::string name;
    uint64_t frontAfterMs;
    bool closed;
  };
  const Case cases[] = {
      {"the active window", title, 0, true},
      {"active within the wait", title, 120, true},
      {"active after the wait", title, 400, false},
      {"another window", "Other", 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const uint64_t window = screen.PlaceWindow(CRect{10, 10, 210, 110}, RGB(255, 0, 0), c.name);
    screen.BringToFront(c.name, ui.NowMs() + c.frontAfterMs);
    const uint64_t before = ui.NowMs();
    view_->Navigate2(Url("a.htm"));
    EXPECT_LE(ui.NowMs() - before, 150u);
    EXPECT_EQ(screen.WindowTitle(window).empty(), c.closed);
    screen.CloseWindow(window);
  }
}

TEST_F(HtmlViewTest, MouseWheelScrollsThePaneAndIsTakenAroundIt) {
  std::string lines;
  for (int i = 0; i < 10; ++i) lines += "line " + std::to_string(i) + "<br>\n";
  testenv::WriteHostFile(dir_.HostPath("web/long.htm"), Page("Long", lines));
  view_->Navigate2(Url("long.htm"));
  view_->SetWindowRect(CRect{0, 100, 640, 580});
  frame_->ActivateViewPane(1, 0);
  struct Case {
    const char* what;
    short delta;
    CPoint point;
    int line;  // the first page line shown afterwards
  };
  const Case cases[] = {
      {"one notch down", -120, {10, 200}, 3},
      {"two notches down", -240, {10, 200}, 9},
      {"down past the end", -1200, {10, 200}, 11},  // twelve lines: 11 is the last
      {"up past the start", 2400, {10, 200}, 0},
      {"left of the pane scrolls too", -120, {-5, 200}, 3},
      {"below the pane: taken", -120, {10, 580}, 3},
      {"right of the pane: taken", -120, {640, 200}, 3},
      {"above the pane: activates the text pane", -120, {10, 99}, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_TRUE(view_->OnMouseWheel(0, c.delta, c.point));
    EXPECT_EQ(view_->ScrollLine(), c.line);
  }
  EXPECT_EQ(frame_->m_nActiveViewKind, 0);
  EXPECT_EQ(frame_->m_nActiveViewIndex, 1);
}

// Print preview and margins did nothing and said they were built; the text
// two-pane command was not built.
TEST_F(HtmlViewTest, PrintPreviewAndTwoPaneFault) {
  EXPECT_EQ(Run(57609), CommandOutcome::NotBuilt);
  EXPECT_EQ(Run(32874), CommandOutcome::NotBuilt);
  EXPECT_EQ(Run(32856), CommandOutcome::Done);
  EXPECT_EQ(frame_->m_nScreenLayout, kScreenLayoutTextTwoPane);
  EXPECT_EQ(frame_->m_nActiveViewIndex, 0);
  const std::string commands = Shell(Quote(PELNORIX_BINARY) + " --commands");
  for (const char* row : {"57609\tID_FILE_PRINT_PREVIEW\t印刷ﾌﾟﾚﾋﾞｭｰ(&V)\thtml\tnot built\n",
                          "32874\tID_PRINT_MARGINS\t印刷余白設定(&H)\thtml\tnot built\n",
                          "32856\tID_TEXT_TWO_PANE\tﾃｷｽﾄ2画面(&W)\thtml\tbuilt\ttext-two-pane\n"}) {
    EXPECT_NE(commands.find(row), std::string::npos) << row;
  }
}

TEST_F(HtmlViewTest, ScriptDrivesThePaneThroughTheProgram) {
  const std::string script = "set htmlpane=1\n"
                             "pane html\n"
                             "address " + Url("a.htm") + "\n"
                             "print title\n"
                             "answer " + Url("b.htm") + "\n"
                             "command enter-address\n"
                             "print history\n"
                             "command browser-back\n"
                             "print title\n"
                             "expect text \"text of a\"\n"
                             "command browser-back\n";
  testenv::WriteHostFile(dir_.HostPath("s.script"), script);
  int status = -1;
  const std::string out = Shell("cd " + Quote(dir_.Host()) + " && PELNORIX_HOME=" + Quote(dir_.HostPath("home")) + " " +
                                    Quote(PELNORIX_BINARY) + " --script s.script 2>" + Quote(dir_.HostPath("err.txt")),
                                &status);
  EXPECT_EQ(out, "[html]  " + Url("a.htm") + "     [Page a]\n"
                 "1 " + Url("a.htm") + "\n2 " + Url("b.htm") + "\n"
                 "[html]  " + Url("a.htm") + "     [Page a]\n");
  // At the start of the log the second Back has nothing to go back to: it is refused.
  EXPECT_EQ(status, 1);
  EXPECT_NE(testenv::ReadHostFile(dir_.HostPath("err.txt")).find("s.script:11: ID_BROWSER_BACK is not available now"), std::string::npos)
      << testenv::ReadHostFile(dir_.HostPath("err.txt"));
}

}  // namespace
