// The program's own page fetch: a web page or an FTP file or folder listing goes
// into TMP\Pelnortmp.htm; a program or archive (and every FTP file) is offered for
// saving once its answer has come, before its body is read, and saved beside the
// file the user names (net/SaveDownload.cpp), never through the work folder; the
// rest is copied to TMP\Pelnor<n>.htm (with the character set its answer declared)
// and shown through the load road. A fetch that breaks off or runs out of time leaves
// no work file behind, so that nothing partial is ever shown or saved as the page.
// A web page ends at the page limit with its partial mark. Every failure says why
// in the status line, and returns that reason to the address that was opened.
#include <cerrno>
#include <chrono>
#include <cstring>

#include "app/Globals.h"
#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "base/AsciiCase.h"
#include "frame/MainFrame.h"
#include "net/Address.h"
#include "net/FtpSite.h"
#include "net/NetState.h"
#include "net/NetStatus.h"
#include "platform/inet/HtmlBrowser.h"
#include "platform/inet/Inet.h"
#include "platform/os/Files.h"

namespace {

using Clock = plat::InetTransfer::Clock;

constexpr uint32_t kPassMs = 60000;
constexpr int kPassBuffer = 18000;
constexpr int kPassBytes = 16384;
constexpr int kPiece = 1024;
constexpr int64_t kPageLimit = 10000000;
constexpr int64_t kPartialMark = 9999000;
// A download worth saving rather than showing: the one bound of the offer and the copy.
constexpr int64_t kSaveBound = 1024;

class WaitCursor {
 public:
  WaitCursor() {
    if (g_pMainFrame) g_pMainFrame->Ui().BeginWaitCursor();
  }
  ~WaitCursor() {
    if (g_pMainFrame) g_pMainFrame->Ui().EndWaitCursor();
  }
};

bool IsSaveKind(const std::string& object) {
  const std::string tail = AsciiLowerTail(object, 4);
  for (const char* ext : {".exe", ".dll", ".bin", ".zip", ".lzh"}) {
    if (tail == ext) return true;
  }
  return false;
}

// A listed address as page text: the name as it is, the three characters HTML
// reads as markup written as references (no Shift-JIS trail byte is one of them).
std::string PageText(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else out += c;
  }
  return out;
}

// How one fetch went.
struct Fetched {
  // The status text the fetch showed last: the reason it gives when it fails.
  std::string status;
  int64_t total = 0;
  bool late = false;
  std::string stopped;    // why a download stopped short of its end
  bool failed = false;    // ended, having said why
  bool saved = false;     // offered for saving and saved (or left to an existing file)
  std::string askedUrl;   // the web address asked for
  std::string finalUrl;   // the one the data came from, after redirects
  std::string charset;    // the character set the answer declared
  bool listing = false;   // an FTP folder listed as a page of its entries' addresses
};

// Shows a status text of the fetch and keeps it as the fetch's last.
void Say(Fetched& r, const std::string& text) {
  ShowNetStatus(text);
  r.status = text;
}
void Say(Fetched& r, int stringId) { Say(r, LoadString(stringId)); }

// A download into the work file, within its bounds (net/SaveDownload.cpp): the file
// is shown or saved from there. Says why it stopped.
void Download(CQelDoc& doc, CInternetFile& in, plat::File& file, const std::string& work, std::chrono::milliseconds pass,
              Clock::time_point deadline, std::chrono::milliseconds growth, Fetched& r) {
  const Downloaded d = DownloadInto(in, file, DownloadRoom(doc), pass, deadline, growth);
  r.total = d.bytes;
  r.late = d.end == DownloadEnd::Late;
  r.stopped = DownloadStopText(d, work);
}

// An FTP file is offered for saving once its transfer has begun (its size known), and
// saved beside the file the user names; one not saved goes to the work file whole,
// within its bounds and the session's transfer time, and is shown as a local file is.
// A folder becomes a page of its entries' addresses.
void FetchFtpObject(CQelDoc& doc, const std::string& object, const std::string& work, Fetched& r) {
  if (!doc.Net().m_pFtpConnection) return;
  if (!object.empty()) {
    try {
      auto in = doc.Net().m_pFtpConnection->OpenFile(object, FTP_TRANSFER_TYPE_BINARY);
      const SaveOffer offer = OfferSave(doc, object, *in, std::chrono::milliseconds(doc.NetTime(kPassMs)), &r.status);
      r.saved = offer == SaveOffer::Done;
      r.failed = offer == SaveOffer::Failed;
      if (offer != SaveOffer::Show) return;
      plat::File file;
      if (!file.Open(work, plat::File::Mode::CreateNew)) {
        AfxMessageBox(work + "\r\n" + LoadString(IDS_CANNOT_MAKE));
        r.failed = true;
        return;
      }
      const std::chrono::milliseconds whole(doc.NetTime(kFtpTransferMs));
      Download(doc, *in, file, work, whole, Clock::now() + whole, std::chrono::milliseconds(0), r);
    } catch (const CInternetException& e) {
      // The server's reason (a missing file, a refused transfer) in its own box, as
      // every other failure of the fetch shows it.
      AfxMessageBox(e.GetErrorMessage());
      r.total = 0;
      r.saved = false;
    }
    return;
  }
  std::string listing;
  try {
    CFtpFileFind find(*doc.Net().m_pFtpConnection);
    for (bool more = find.FindFile(); more;) {
      more = find.FindNextFile();
      listing += PageText(find.GetFileURL()) + "<br>";
    }
    if (find.LeftOutNames() != 0) AfxNote(FtpLeftOutNote(find.LeftOutNames()));
  } catch (const CInternetException& e) {
    Say(r, IDS_NET_READ_INCOMPLETE);
    AfxMessageBox(e.GetErrorMessage());
    r.failed = true;
    return;
  }
  if (!listing.empty() && plat::WriteWholeFile(work, listing)) {
    r.total = static_cast<int64_t>(listing.size());
    r.listing = true;
  }
}

// The out-of-memory text of the page fetch becomes the document text.
void ShowOutOfMemory(CQelDoc& doc) {
  const std::string text = OutOfMemoryText(" 027");
  if (TryResize(doc.m_textStore, text.size() + 1, &doc.m_allocHook)) {
    std::memcpy(doc.m_textStore.data(), text.c_str(), text.size() + 1);
    doc.m_pText = doc.m_textStore.data();
    doc.m_nTextCap = static_cast<int>(doc.m_textStore.size());
    doc.m_nTextLen = static_cast<int>(text.size());
  }
}

// A web object read into the work file: a page in passes up to the page limit, a
// program or archive (to be saved) whole within its bounds.
void FetchWebObject(CQelDoc& doc, const std::string& server, const std::string& object, plat::File& file,
                    const std::string& work, Fetched& r) {
  std::unique_ptr<CHttpFile> request;
  uint32_t status = 0;
  try {
    request = doc.Net().m_pHttpConnection->OpenRequest("GET", object, INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | 1);
    r.askedUrl = request->GetFileURL();
    // "*/*" is the media range of any type; a page's compressed body is read decoded,
    // as the browser pane reads it. A file to be saved is asked for as it is, so that
    // its declared length is the length it has.
    request->AddRequestHeaders("Accept: */*\r\n");
    if (!IsSaveKind(object)) request->AcceptCompressed();
    request->SendRequest();
    request->QueryInfoStatusCode(status);
  } catch (const CInternetException& e) {
    Say(r, IDS_NET_NO_ANSWER);
    AfxMessageBox(e.GetErrorMessage());
    r.failed = true;
    return;
  }
  if (status == 401) {
    Say(r, LoginAskedText() + "  (HTTP 401)");
    r.failed = true;
    return;
  }
  if (status == 301 || status == 302 || status == 303) {
    Say(r, IDS_NET_NO_PAGE);
    r.failed = true;
    return;
  }
  r.finalUrl = request->GetFileURL();
  r.charset = IsSaveKind(object) ? "" : request->Charset();
  Say(r, NetStatusText(IDS_NET_READING_FROM, server, object));
  int64_t last = 0;
  try {
    if (IsSaveKind(object)) {
      // A program or archive of a kilobyte or more (or of a size not told) is offered
      // for saving before its body is read; the rest, and one the user keeps to be
      // shown, comes whole into the work file. Each read waits a pass at the most, and
      // the whole a pass more for every 64 KB that came.
      const std::chrono::milliseconds pass(doc.NetTime(kPassMs));
      if (const std::optional<int64_t> declared = request->Length(); !declared || *declared >= kSaveBound) {
        const SaveOffer offer = OfferSave(doc, object, *request, pass, &r.status);
        r.saved = offer == SaveOffer::Done;
        r.failed = offer == SaveOffer::Failed;
        if (offer != SaveOffer::Show) return;
      }
      Download(doc, *request, file, work, pass, Clock::now() + pass, pass, r);
      return;
    }
    do {
      std::vector<char> buffer;
      if (!TryResize(buffer, kPassBuffer, &doc.m_allocHook)) {
        ShowOutOfMemory(doc);
        r.failed = true;
        return;
      }
      // The pass's deadline bounds each read's wait, however slowly bytes come.
      const auto deadline = Clock::now() + std::chrono::milliseconds(doc.NetTime(kPassMs));
      request->SetDeadline(deadline);
      int filled = 0;
      do {
        last = request->Read(buffer.data() + filled, kPiece);
        filled += static_cast<int>(last);
        r.late = Clock::now() >= deadline;
      } while (last == kPiece && filled < kPassBytes && !r.late);
      if (!file.Write(buffer.data(), filled)) {
        r.stopped = DownloadStopText(Downloaded{DownloadEnd::WriteFailed, r.total, 0, errno}, work);
        return;
      }
      r.total += filled;
      Say(r, NetStatusText(IDS_NET_READING_KB, static_cast<int>(r.total / 1024)));
    } while (last > 10 && r.total < kPageLimit && !r.late);
  } catch (const CInternetException& e) {
    Say(r, IDS_NET_READ_INCOMPLETE);
    AfxMessageBox(e.GetErrorMessage());
    r.failed = true;
  }
}

// The work file copied to the file the page is shown from; a web page whose answer
// declared its character set gets that declaration in front (a page fetched ends
// within the page limit, so it is read whole).
bool CopyPage(const std::string& work, const std::string& shown, const std::string& charset) {
  if (charset.empty()) return plat::CopyFile(work, shown);
  const std::optional<std::string> page = plat::ReadFileHead(work, kPageLimit + kPassBuffer);
  return page && plat::WriteWholeFile(shown, WithDeclaredCharset(*page, charset));
}

// A web address split as the status names a server and its object: "http://" is
// dropped as the address's own was, "https://" stays with its server.
void SplitUrl(const std::string& url, std::string& server, std::string& object) {
  const std::string rest = StartsWithNoCase(url, "http://") ? url.substr(7) : url;
  const size_t scheme = rest.find("://");
  const size_t slash = rest.find('/', scheme == std::string::npos ? 0 : scheme + 3);
  server = rest.substr(0, slash);
  object = slash == std::string::npos ? "" : rest.substr(slash + 1);
}

}  // namespace

NetStatus CQelDoc::FetchHttpPage(const ParsedAddress& address) {
  std::string server = address.server, object = address.object;
  if (server.empty() && object.empty()) return {};
  ApplySettingsOnce(1);
  if (OpenInternetConnection(server, address.user, address.password, address.scheme, 1) < 0) {
    return NetStatus::NotShown(LoadString(IDS_NET_CANNOT_CONNECT));
  }

  const std::string work = TmpFolder() + "\\Pelnortmp.htm";
  plat::File file;
  if (!plat::CreateWorkFile(file, work)) {
    CloseInternetSession();
    AfxMessageBox(work + "\r\n" + LoadString(IDS_CANNOT_MAKE));
    // The status line still says the connection was being made: the reason it gives.
    return NetStatus::NotShown(LoadString(IDS_NET_CONNECTING));
  }
  const bool web = address.scheme == NetScheme::kWeb;
  Fetched r;
  {
    WaitCursor wait;
    Say(r, NetStatusText(IDS_NET_WAITING, server, object));
    if (!web) {
      file.Close();
      plat::RemoveFile(work);
      // The session's transfer time bounds the download and the listing.
      FetchFtpObject(*this, object, work, r);
    } else {
      FetchWebObject(*this, server, object, file, work, r);
      file.Close();
    }
    CloseInternetSession();
  }
  const auto fail = [&](int statusId) {
    if (statusId) Say(r, statusId);
    plat::RemoveFile(work);
    return NetStatus::NotShown(r.status);
  };
  if (r.failed) return fail(0);
  if (r.saved) {
    plat::RemoveFile(work);
    ShowNetStatus(server + "    file = " + object);
    return {};
  }
  if (r.late) return fail(IDS_NET_TIME_OVER);
  if (!r.stopped.empty()) {
    AfxMessageBox(r.stopped);
    Say(r, r.stopped.substr(0, r.stopped.find('\n')));
    return fail(0);
  }
  if (r.total == 0) return fail(IDS_NET_NO_DATA);
  // After a redirect the data came from another address: the status names that one.
  if (web && r.finalUrl != r.askedUrl) SplitUrl(r.finalUrl, server, object);
  // A page (or a folder's listing) past the partial mark ends with it; a file never.
  const bool page = web || r.listing;
  Say(r, server + "    file = " + object + (page && r.total > kPartialMark ? LoadString(IDS_SHOWN_IN_PART) : ""));

  char number[16];
  std::snprintf(number, sizeof number, "%2d", Net().m_nAddrHistoryCount + 100);
  const std::string shown = TmpFolder() + "\\Pelnor" + number + ".htm";
  if (!CopyPage(work, shown, r.charset)) {
    AfxMessageBox(shown + "\r\n" + LoadString(IDS_CANNOT_MAKE));
    return fail(IDS_CANNOT_MAKE);
  }
  m_strFileName2 = shown;
  m_nActiveList = 2;
  Net().pageAddress_ = web ? r.finalUrl : "";
  Net().pageCopy_ = shown;
  if (g_pMainFrame) {
    g_pMainFrame->ActivateViewPane(0, 0);
    g_pMainFrame->ActivateListPane(0, 1);
  }
  const bool loaded = LoadDocument(shown) >= 0;
  if (g_pMainFrame) g_pMainFrame->ActivateViewPane(0, 0);
  return loaded ? NetStatus{} : NetStatus::NotShown(r.status);
}
