// Mapping a pseudo-drive path to the remote one, and fetching a remote file into
// the work file TMP\Pelnor_<name>.
#include "app/Globals.h"
#include "app/QelDoc.h"
#include "frame/MainFrame.h"
#include "net/FtpSite.h"
#include "net/NetStatus.h"
#include "platform/text/CodePage.h"
#include "platform/os/Files.h"
#include "platform/inet/Inet.h"

namespace {

constexpr int64_t kFetchBlock = 4096;

// '\' turned into '/', except where it is the second byte of a double-byte character.
std::string Slashes(const std::string& path) {
  std::string out = path;
  for (size_t i = 0; i < out.size(); ++i) {
    if (IsSjisLeadByte(static_cast<uint8_t>(out[i])) && i + 1 < out.size()) {
      ++i;
    } else if (out[i] == '\\') {
      out[i] = '/';
    }
  }
  return out;
}

}  // namespace

std::string CQelDoc::ResolveFtpPath(std::string path, int mode) {
  std::string base;
  for (int i = 0; i < 3; ++i) {
    const std::string& site = m_astrSysValue[kFirstFtpSiteValue + i];
    if (path.size() >= 2 && site.size() >= 2 && site.compare(0, 2, path, 0, 2) == 0) {
      base = Slashes(ParseFtpSiteSpec(site, 3));
      break;
    }
  }
  std::string rest = Slashes(path.size() > 2 ? path.substr(2) : "");
  if (!rest.empty() && rest[0] == '/') rest.erase(0, 1);
  if (base.empty() || base.back() != '/') base += '/';
  if (base[0] != '/') base.insert(0, "/");
  const std::string remote = base + rest;

  const size_t lastSlash = remote.rfind('/');
  std::string dir = remote;
  std::string result = remote;
  if (mode == 2) {
    if (lastSlash != std::string::npos) {
      dir = remote.substr(0, lastSlash);
      result = remote.substr(lastSlash + 1);
    }
  } else if (mode != 1) {
    const size_t lastDot = remote.rfind('.');
    if (lastDot != std::string::npos && lastDot > lastSlash) dir = remote.substr(0, lastSlash);
  }
  if (dir.empty()) dir = "/";
  if (m_pFtpConnection && !m_pFtpConnection->SetCurrentDirectory(dir)) {
    m_pFtpConnection->SetCurrentDirectory("/");
    // A file of a folder that is not there is not the root's file of that name: the
    // whole path is given, so that opening it fails.
    if (mode == 2) result = remote;
  }
  return result;
}

std::string CQelDoc::FetchFtpFile(std::string path) {
  const size_t back = plat::FindLastSeparator(path);
  const size_t fwd = path.rfind('/');
  size_t sep = back == std::string::npos ? fwd : (fwd == std::string::npos ? back : std::max(back, fwd));
  const std::string name = sep != std::string::npos && sep > 0 ? path.substr(sep + 1) : path;
  const std::string local = TmpFolder() + "\\Pelnor_" + name;
  plat::RemoveFile(local);
  ShowNetStatus(IDS_FTP_FETCHING);
  if (!m_pFtpConnection) return "";
  const std::string remote = ResolveFtpPath(path, 2);
  plat::UiHost* ui = g_pMainFrame ? &g_pMainFrame->Ui() : nullptr;
  if (ui) ui->BeginWaitCursor();
  int counter = 0;
  plat::File file;
  if (!file.Open(local, plat::File::Mode::Write)) {
    if (ui) ui->EndWaitCursor();
    return "";
  }
  try {
    auto remoteFile = m_pFtpConnection->OpenFile(remote, FTP_TRANSFER_TYPE_BINARY);
    std::vector<char> block(kFetchBlock);
    for (;;) {
      const int64_t got = remoteFile->Read(block.data(), kFetchBlock);
      if (got > 0) {
        if (!file.Write(block.data(), got)) {
          counter = 0;
          break;
        }
        counter += 4;
        ShowNetStatus(NetStatusText(IDS_NET_READING_KB, counter));
      }
      if (g_pMainFrame && g_pMainFrame->CheckUserAbort()) {
        counter = 0;
        break;
      }
      if (got < kFetchBlock) break;
    }
  } catch (const CInternetException& e) {
    // Not opened, or broken off: nothing of it is kept.
    counter = 0;
    AfxMessageBox(e.GetErrorMessage());
  }
  file.Close();
  if (ui) ui->EndWaitCursor();
  ShowNetStatus(path);
  if (counter > 0) return local;
  plat::RemoveFile(local);
  return "";
}

std::string CQelDoc::FetchPseudoDriveFile(const std::string& path) {
  if (ConnectFtpSite(path) < 0) return "";
  return FetchFtpFile(path);
}
