// The browser control as the browser view sees it: Navigate2, a travel log with
// GoBack/GoForward, GoHome, Refresh, ExecWB (recorded), GetLocationURL, GetBusy, and
// its events. Pages are fetched through the HTTP layer (a session of the control's
// own, so that no fetch touches the document's FTP session) or read from a local
// file (a path, or a "file://" address); the shown page's bytes are kept for "save
// source" (a compressed body decoded), its title with its character references read.
// A "user:password@" in an address logs in to its server (and to later pages of that
// server, never another) and is never part of the location. A page that takes longer
// than the transfer time, breaks off, or ends in a redirect that was not followed is
// not shown, nor is an address of a scheme other than http, https and file, nor a
// text that is neither an address nor a file's full path ("b.htm", "javascript:..."),
// nor a local file that is not a regular one (a pipe, a device): the page's failure
// says why. A UTF-8 title is read into CP932, '?' standing for a
// character CP932 lacks. A navigation runs to its end before Navigate2 returns and
// raises its events in this order:
//   OnBeforeNavigate2, OnProgressChange (250, 500, 750 and 1000 of 1000),
//   OnNavigateComplete2, OnTitleChange, OnCommandStateChange (back, then forward,
//   then every command with enable false), OnProgressChange (-1 of 1000: done).
// The control's window has a screen rectangle; the wheel scrolls the page by three
// lines a notch (120), within its lines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/inet/InetTransfer.h"
#include "platform/gdi/Types.h"

enum : int { CSC_NAVIGATEFORWARD = 1, CSC_NAVIGATEBACK = 2, CSC_UPDATECOMMANDS = -1 };
enum : int { OLECMDID_PRINT = 6, OLECMDID_PRINTPREVIEW = 7, OLECMDID_PAGESETUP = 8, OLECMDID_STOP = 23 };
enum : uint32_t { navOpenInNewWindow = 1 };

// A page's bytes for a reader that sees no HTTP header: the character set its answer
// declared (CHttpFile::Charset) put in front as a <meta> declaration, after a UTF-8
// byte-order mark, so that a page that declares none itself is read in it (one that
// does declare its own is read in that from its declaration on). Unchanged for "".
std::string WithDeclaredCharset(std::string page, const std::string& charset);

class CHtmlView {
 public:
  // A page larger than this is cut there.
  static constexpr int64_t kMaxPageBytes = 16 << 20;

  CHtmlView() = default;
  virtual ~CHtmlView() = default;
  CHtmlView(const CHtmlView&) = delete;
  CHtmlView& operator=(const CHtmlView&) = delete;

  void Navigate2(const std::string& url, uint32_t flags = 0);
  void GoBack();
  void GoForward();
  void GoHome();
  void Refresh();
  void ExecWB(int command, int option = 0);
  std::string GetLocationURL() const { return location_; }
  bool GetBusy() const { return busy_; }
  void SetWindowRect(const CRect& rect) { window_ = rect; }
  CRect GetWindowRect() const { return window_; }
  // The first page line shown.
  int ScrollLine() const { return scrollLine_; }
  // The wheel at a screen point: true when it was taken.
  virtual bool OnMouseWheel(unsigned flags, short delta, CPoint point);

  void SetHomePage(std::string url) { home_ = std::move(url); }
  const std::string& HomePage() const { return home_; }
  void SetTimeouts(const plat::InetTimeouts& timeouts) { timeouts_ = timeouts; }
  // The page shown: its bytes, its title (CP932) and the failure of its fetch ("" when it came).
  const std::string& PageBytes() const { return page_; }
  const std::string& PageTitle() const { return title_; }
  const std::string& PageError() const { return error_; }
  // The failed fetch's error number (ERROR_INTERNET_..., 0 when no transfer failed),
  // the HTTP status of the answer (0 when none came), and whether the page was cut
  // at kMaxPageBytes.
  uint32_t PageErrorNumber() const { return errorNumber_; }
  // The character set the page's answer declared in its Content-Type ("" for none, and
  // for a local file).
  const std::string& PageCharset() const { return charset_; }
  uint32_t PageStatus() const { return status_; }
  bool PageCut() const { return cut_; }
  const std::vector<int>& ExecLog() const { return execLog_; }
  // Addresses opened in a new window (navOpenInNewWindow).
  const std::vector<std::string>& NewWindows() const { return newWindows_; }
  // The travel log and its current entry (-1 while empty).
  const std::vector<std::string>& TravelLog() const { return travel_; }
  int TravelIndex() const { return travelIndex_; }

 protected:
  virtual void OnBeforeNavigate2(const std::string&) {}
  virtual void OnProgressChange(long, long) {}
  virtual void OnNavigateComplete2(const std::string&) {}
  virtual void OnTitleChange(const std::string&) {}
  virtual void OnCommandStateChange(long, bool) {}
  static constexpr int kWheelDelta = 120;
  static constexpr int kWheelLines = 3;

 private:
  void Load(const std::string& url);
  void Fetch(const std::string& url);
  void FetchHttp(const std::string& url);

  std::string location_;
  std::string home_ = "about:blank";
  std::string page_;
  std::string title_;
  std::string error_;
  std::string charset_;
  uint32_t errorNumber_ = 0;
  uint32_t status_ = 0;
  bool cut_ = false;
  bool busy_ = false;
  CRect window_{0, 0, 640, 480};
  int pageLines_ = 1;
  int scrollLine_ = 0;
  std::vector<std::string> travel_;
  int travelIndex_ = -1;
  std::vector<int> execLog_;
  std::vector<std::string> newWindows_;
  plat::InetTimeouts timeouts_;
  std::string loginServer_;  // the address whose server the login is for
  std::string loginUser_;
  std::string loginPassword_;
};
