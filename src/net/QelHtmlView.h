// CQelHtmlView: the HTML browser pane. It shows the address the document asks it for
// (ShowAddress: the document finds the pane through NetState::htmlPane_), keeps a
// short jump history in slots 1 to 4, writes "[html]  address     [title]" into the
// frame's title, shows loading progress in pane 0, and offers the browser commands
// (net/HtmlViewCommands.cpp). The shown page's text is the HTML converter's reading
// of its bytes, marked where it was cut. A page that did not come says why in pane 0
// and in the title, and returns the reason to whoever sent the address.
#pragma once

#include <array>
#include <string>

#include "app/QelDoc.h"
#include "net/NetStatus.h"
#include "platform/inet/HtmlBrowser.h"

class CQelHtmlView : public CHtmlView, public CDocView {
 public:
  explicit CQelHtmlView(CQelDoc& doc);
  ~CQelHtmlView() override;

  // An update of every view: the pane's first, else nothing to show anew.
  void OnUpdate() override;
  // Shows an address (a login inside it goes to the control only; "init" is the
  // pane's first update, with the home page when the program fetches pages itself).
  // Shown when the pane went there or shows it already; not shown with the page's
  // failure when it did not come, with "" when the pane did not take it (it is not
  // the pane in view, or does not show local files of this kind, or a path that
  // begins with '\').
  NetStatus ShowAddress(const std::string& address);
  void OnActivateView(bool activate);

  // Commands.
  void OnBrowserForward();
  void OnBrowserBack();
  void OnRecall();
  void OnAddressList();
  int OnEditCopy();
  int OnSaveSourceAs();
  void OnHomePage();
  void OnInsertAddress();
  void OnDeleteAddress();
  int OnEditFind();
  // Jump n (1 to 3): navigates to history slot n; an empty slot is ignored.
  void OnJump(int n);
  // The wheel over the pane scrolls the page; above the pane it activates the text
  // pane below the list, below or right of it it is taken and does nothing.
  bool OnMouseWheel(unsigned flags, short delta, CPoint point) override;

  // The shown page as text (CP932), read by the HTML converter when it came; a page
  // cut at the page bound or the display volume ends in the omission note.
  const std::string& PageText() const { return pageText_; }
  // Why the last page did not come (CP932, "" when it came).
  const std::string& PageFailure() const { return failure_; }
  // Navigations the view completed: a command compares it before and after.
  int Navigations() const { return navigations_; }

  CQelDoc& m_doc;
  std::string m_strUrl;
  std::string m_strUrl2;
  std::string m_strTitle;
  int m_nUpdates = 0;
  std::array<std::string, 5> m_strHistory;
  int m_nHistory = 0;
  int m_nLastMove = 0;  // 1 forward, 2 back, 0 after a completed navigation

 protected:
  void OnNavigateComplete2(const std::string& url) override;
  void OnProgressChange(long progress, long maximum) override;
  void OnTitleChange(const std::string& title) override;
  // After every command was updated as disabled: closes the control's script-error
  // window when it is (or, within 150 ms, becomes) the active window.
  void OnCommandStateChange(long command, bool enable) override;

 private:
  // An update with the address to show (the one shown for an update of every view).
  NetStatus Take(std::string address);
  void SetFrameTitle(const std::string& address, const std::string& title);
  // Reads the page that came (its text, its failure, its cut) and says in pane 0
  // why it did not come or that it was cut.
  void ReadPage();
  // The text that says why the page did not come, before its detail.
  std::string FailureHead() const;
  // The title that stands for a page that did not come and has none ("" else).
  std::string FailureTitle() const;

  std::string pageText_;
  std::string failure_;
  int failureId_ = 0;
  int navigations_ = 0;
};

// The short title of a new page title against the previous one: the part that
// follows their common beginning, cut after a separator, without leading blanks
// and marks. Double-byte characters are never split.
std::string ShortPageTitle(const std::string& title, const std::string& previous);

