// The home page (the "dir@" page and the browser pane) turned on and off, and the
// update information fetched from the maker's index page.
#include "net/HomePage.h"

#include <algorithm>

#include "app/Globals.h"
#include "app/QelDoc.h"
#include "frame/MainFrame.h"
#include "net/NetState.h"
#include "net/NetStatus.h"
#include "net/QelHtmlView.h"
#include "platform/text/CodePage.h"
#include "platform/os/Files.h"

namespace {

constexpr size_t kNoticeSkip = 14;
constexpr size_t kNoticeLimit = 8000;
constexpr size_t kNoticeMinimum = 500;
constexpr int kHomePageValue = 25;  // the "dir@" system string

bool IsNoticeFileName(const std::string& path) {
  const size_t sep = plat::FindLastSeparator(path);
  const std::string name = sep == std::string::npos ? path : path.substr(sep + 1);
  return name == "Index.txf" || name == "index.txf";
}

}  // namespace

bool ReadUpdateNotice(const std::string& page, std::string* notice, std::string* body) {
  notice->clear();
  body->clear();
  std::string collected;
  for (size_t i = kNoticeSkip; i < page.size() && collected.size() < kNoticeLimit; ++i) {
    collected += page[i];
    if (collected.size() >= 3 && collected.compare(collected.size() - 3, 3, "-->") == 0) break;
  }
  if (collected.size() < kNoticeMinimum || collected.size() == kNoticeLimit) return false;
  const size_t mark = collected.find("@@");
  if (mark == std::string::npos) return false;
  // The page runs from two characters after the mark to the "-->" that ends the
  // collection; a mark in the last bytes leaves no page, and so no notice.
  const size_t from = mark + 4;
  const size_t to = collected.size() - 3;
  if (from > to) return false;
  *notice = collected.substr(0, mark);
  *body = collected.substr(from, to - from);
  return true;
}

void CQelDoc::OpenHomePage(int mode) {
  CMainFrame* frame = g_pMainFrame;
  if (mode == 0 && Net().m_nAddrListRequest != 0) {
    // The home page is shown: it is closed.
    if (frame && frame->m_nCompactMenu > 0) frame->m_nCompactMenu = 0;
    if (Net().m_nAddrListRequest == 1) UpdateAllViews();
    Net().m_nAddrListRequest = 0;
    m_nListLayout = m_nListLayout >= 9 ? 10 : 0;
    Net().m_nHtmlBrowserMode = 0;
    if (frame) frame->m_nScreenLayout = kScreenLayoutHomePageClosed;
    return;
  }

  std::string notice, page;
  if (mode == 1) {
    // The notice is read from the notice page this fetch brought, never from a page an
    // earlier fetch left in the work file: no notice page, or one that did not come,
    // means no notice.
    const bool came = !Net().m_strInfoPage.empty() && OpenAddress(Net().m_strInfoPage).Shown();
    const std::string work = TmpFolder() + "\\Pelnortmp.htm";
    std::string body;
    if (auto bytes = came ? plat::ReadFileHead(work, kNoticeSkip + kNoticeLimit + 16) : std::nullopt;
        bytes && ReadUpdateNotice(*bytes, &notice, &body)) {
      const std::string file = m_strProgramDir + "\\Index2.txf";
      if (plat::ReplaceWholeFile(file, body)) page = file;
    }
  } else if (m_nListLayout == 2 && frame) {
    frame->OnListDisplay();
    frame->OnListDisplay();
  }

  if (Net().m_nHtmlBrowserMode == 0) Net().m_nHtmlBrowserMode = 1;
  Net().m_nAddrListRequest = 1;
  m_nListLayout = m_nListLayout >= 9 ? 12 : 2;

  if (page.empty()) page = m_astrSysValue[kHomePageValue];
  // "...@X" at the end of a long page name carries a size letter, which is no part of the name.
  if (page.size() > 11 && page[page.size() - 2] == '@') {
    SetSizeFromLetter(page.back());
    page.resize(page.size() - 2);
  }
  Net().m_strHomeAddress = page;
  if (!page.empty() && !IsNoticeFileName(page) && plat::Exists(page) && LoadDocument(page) >= 0) {
    const size_t sep = plat::FindLastSeparator(page);
    if (sep != std::string::npos && sep > 0) ChangeDirectory(page.substr(0, sep));
  }

  // The text pane shows the home page; the pane, put in view, shows the notice (or
  // has its first update).
  const int pane = m_nActivePane;
  m_nActivePane = 5;
  m_nViewRequest = ViewRequest::kRedisplay;
  UpdateAllViews();
  if (Net().htmlPane_) Net().htmlPane_->ShowAddress(notice.empty() ? "init" : notice);
  m_nActivePane = pane;

  if (mode == 1 || Net().m_bInternalBrowser == 0) {
    const std::string& maker = mode == 1 ? Net().m_strInfoPage : Net().m_strTopPage;
    if (!maker.empty()) OpenAddress(maker);
    Net().m_bUpdateShown = 1;
  }
}

void CQelDoc::OnInternet() { OpenHomePage(0); }

void CQelDoc::OnUpdateInfo() {
  const int keep = Net().m_bInternalBrowser;
  Net().m_bInternalBrowser = 1;
  OpenHomePage(1);
  Net().m_bInternalBrowser = keep;
  Net().m_bUpdateShown = 1;
}

namespace {

int OnInternetCommand(CommandContext& cx) { return cx.doc->OnInternet(), 0; }
void OnUpdateInternet(CommandContext& cx, CCmdUI& ui) {
  ui.Enable(true);
  ui.SetCheck(cx.doc->Net().m_nAddrListRequest != 0 ? 1 : 0);
}
int OnUpdateInfoCommand(CommandContext& cx) { return cx.doc->OnUpdateInfo(), 0; }

constexpr CommandTarget kDoc = CommandTarget::Document;

constexpr CommandEntry kRows[] = {
    {32880, "ID_INTERNET", "ｲﾝﾀｰﾈｯﾄ(&@)", kDoc, OnInternetCommand, OnUpdateInternet, "internet"},
    {33012, "ID_UPDATE_INFO", "更新情報(&R)", kDoc, OnUpdateInfoCommand, nullptr, "update-info"},
};

}  // namespace

CommandRows HomePageCommands() { return kRows; }
