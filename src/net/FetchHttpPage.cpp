// The program's own page fetch: a web page or an FTP file or folder listing goes
// into TMP\Pelnortmp.htm; a program or archive is offered for saving; the rest is
// copied to TMP\Pelnor<n>.htm and shown through the load road. A fetch that breaks
// off or runs out of time leaves no work file behind, so that nothing partial is
// ever shown or saved as the page.
#include <chrono>
#include <cstring>

#include "app/Globals.h"
#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "frame/Dialogs.h"
#include "frame/MainFrame.h"
#include "net/FtpSite.h"
#include "net/NetStatus.h"
#include "platform/os/Files.h"
#include "platform/inet/Inet.h"

namespace {

using Clock = plat::InetTransfer::Clock;

constexpr uint32_t kPassMs = 60000;
constexpr int kPassBuffer = 18000;
constexpr int kPassBytes = 16384;
constexpr int kPiece = 1024;
constexpr int64_t kPageLimit = 10000000;
constexpr int64_t kPartialMark = 9999000;
// An FTP download that succeeded counts as this many bytes.
constexpr int64_t kFtpFetched = 1025;
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

std::string LowerTail(const std::string& text, size_t n) {
  std::string tail = text.size() >= n ? text.substr(text.size() - n) : text;
  for (char& c : tail) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return tail;
}

bool IsSaveKind(const std::string& object) {
  const std::string tail = LowerTail(object, 4);
  for (const char* ext : {".exe", ".dll", ".bin", ".zip", ".lzh"}) {
    if (tail == ext) return true;
  }
  return false;
}

}  // namespace

void CQelDoc::FetchHttpPage(std::string server, std::string object, int kind, std::string user, std::string password) {
  if (server.empty() && object.empty()) return;
  ApplySettingsOnce(1);
  if (OpenInternetConnection(server, user, password, kind, 1) < 0) return;

  const std::string work = TmpFolder() + "\\Pelnortmp.htm";
  plat::File file;
  if (!file.Open(work, plat::File::Mode::Write)) {
    CloseInternetSession();
    return;
  }
  auto discard = [&] {
    file.Close();
    plat::RemoveFile(work);
  };
  int64_t total = 0;
  bool late = false;
  int64_t tooLarge = -1;  // the volume a download passed
  {
    WaitCursor wait;
    ShowNetStatus(NetStatusText(IDS_NET_WAITING, server, object));
    if (kind == 2) {
      discard();
      // The session's transfer time bounds the download and the listing.
      if (!object.empty() && m_pFtpConnection) {
        const int64_t volume = FtpDownloadVolume(*this, object);
        CFtpConnection::GetFileEnd end = CFtpConnection::GetFileEnd::Failed;
        total = m_pFtpConnection->GetFile(object, work, true, volume, &end) ? kFtpFetched : 0;
        late = end == CFtpConnection::GetFileEnd::Late;
        if (end == CFtpConnection::GetFileEnd::TooLarge) tooLarge = volume;
      } else if (m_pFtpConnection) {
        std::string listing;
        try {
          CFtpFileFind find(*m_pFtpConnection);
          for (bool more = find.FindFile(); more;) {
            more = find.FindNextFile();
            listing += find.GetFileURL() + "<br>";
          }
        } catch (const CInternetException& e) {
          ShowNetStatus(IDS_NET_READ_INCOMPLETE);
          AfxMessageBox(e.GetErrorMessage());
          listing.clear();
        }
        if (!listing.empty() && plat::WriteWholeFile(work, listing)) {
          total = static_cast<int64_t>(listing.size());
          kind = 1;
        }
      }
      CloseInternetSession();
    } else {
      std::unique_ptr<CHttpFile> request;
      uint32_t status = 0;
      try {
        request = m_pHttpConnection->OpenRequest("GET", object, INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | 1);
        // "*/*" is the media range of any type.
        request->AddRequestHeaders("Accept: */*\r\n");
        request->SendRequest();
        request->QueryInfoStatusCode(status);
      } catch (const CInternetException& e) {
        ShowNetStatus(IDS_NET_NO_ANSWER);
        AfxMessageBox(e.GetErrorMessage());
        request.reset();
        CloseInternetSession();
        discard();
        return;
      }
      if (status == 301 || status == 302 || status == 303 || status == 401) {
        ShowNetStatus(IDS_NET_NO_PAGE);
        request.reset();
        CloseInternetSession();
        discard();
        return;
      }
      ShowNetStatus(NetStatusText(IDS_NET_READING_FROM, server, object));
      int64_t last = 0;
      try {
        do {
          std::vector<char> buffer;
          if (!TryResize(buffer, kPassBuffer, &m_allocHook)) {
            const std::string text = OutOfMemoryText(" 027");
            if (TryResize(m_textStore, text.size() + 1, &m_allocHook)) {
              std::memcpy(m_textStore.data(), text.c_str(), text.size() + 1);
              m_pText = m_textStore.data();
              m_nTextCap = static_cast<int>(m_textStore.size());
              m_nTextLen = static_cast<int>(text.size());
            }
            request.reset();
            CloseInternetSession();
            discard();
            return;
          }
          // The pass's deadline bounds each read's wait, however slowly bytes come.
          const auto deadline = Clock::now() + std::chrono::milliseconds(NetTime(kPassMs));
          request->SetDeadline(deadline);
          int filled = 0;
          do {
            last = request->Read(buffer.data() + filled, kPiece);
            filled += static_cast<int>(last);
            late = Clock::now() >= deadline;
          } while (last == kPiece && filled < kPassBytes && !late);
          if (!file.Write(buffer.data(), filled)) break;
          total += filled;
          ShowNetStatus(NetStatusText(IDS_NET_READING_KB, static_cast<int>(total / 1024)));
        } while (last > 10 && total < kPageLimit && !late);
      } catch (const CInternetException& e) {
        ShowNetStatus(IDS_NET_READ_INCOMPLETE);
        AfxMessageBox(e.GetErrorMessage());
        request.reset();
        CloseInternetSession();
        discard();
        return;
      }
      file.Close();
      request.reset();
      CloseInternetSession();
    }
  }
  if (late) {
    ShowNetStatus(IDS_NET_TIME_OVER);
    plat::RemoveFile(work);
    return;
  }
  if (tooLarge >= 0) {
    AfxMessageBox(FileSizeOverText(tooLarge));
    return;
  }
  if (total == 0) {
    ShowNetStatus(IDS_NET_NO_DATA);
    plat::RemoveFile(work);
    return;
  }
  ShowNetStatus(server + "    file = " + object + (kind != 2 && total > kPartialMark ? LoadString(IDS_NET_PARTIAL) : ""));

  if (kind == 2 || (total >= kSaveBound && IsSaveKind(object))) {
    const size_t slash = object.rfind('/');
    CFileDialog dialog(false, slash == std::string::npos ? object : object.substr(slash + 1));
    if (dialog.DoModal() == plat::IDOK) {
      if (!ConfirmOverwrite(dialog.GetPathName())) return;
      if (total >= kSaveBound) plat::CopyFile(work, dialog.GetPathName());
      return;
    }
  }

  char number[16];
  std::snprintf(number, sizeof number, "%2d", m_nAddrHistoryCount + 100);
  const std::string shown = TmpFolder() + "\\Pelnor" + number + ".htm";
  if (!plat::CopyFile(work, shown)) return;
  m_strFileName2 = shown;
  m_nActiveList = 2;
  if (kind == 3) return;
  if (g_pMainFrame) {
    g_pMainFrame->ActivateViewPane(0, 0);
    g_pMainFrame->ActivateListPane(0, 1);
  }
  LoadDocument(shown, 0);
  if (g_pMainFrame) g_pMainFrame->ActivateViewPane(0, 0);
}
