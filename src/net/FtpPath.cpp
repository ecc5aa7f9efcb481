// Mapping a pseudo-drive path to the remote one, and fetching a remote file into
// the work file TMP\Pelnor_<name>. A download ends at the volume the file will be
// shown with, and a slow server never keeps Esc from being seen.
#include <algorithm>
#include <chrono>

#include "app/FileKind.h"
#include "app/Globals.h"
#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "frame/MainFrame.h"
#include "net/FtpSite.h"
#include "net/NetStatus.h"
#include "platform/text/CodePage.h"
#include "platform/os/Files.h"
#include "platform/inet/Inet.h"

namespace {

constexpr int64_t kFetchBlock = 4096;
// The longest a read waits before Esc is looked at again.
constexpr std::chrono::milliseconds kEscPoll{200};

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

int64_t FtpDownloadVolume(const CQelDoc& doc, const std::string& name) {
  const int kind = doc.GetFileKind(name);
  // A picture is shown within the image file volume, a document within the input
  // volume; a media file is played from the disk and takes the larger of the two.
  const int64_t volume = IsImageKind(kind)   ? doc.m_nBmpFileLimit
                         : IsMediaKind(kind) ? std::max(doc.m_nBmpFileLimit, doc.m_nInDataLimit)
                                             : doc.m_nInDataLimit;
  const std::optional<int64_t> room = plat::FreeSpace(doc.TmpFolder());
  return std::max<int64_t>(0, room ? std::min(volume, *room) : volume);
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
  const int64_t volume = FtpDownloadVolume(*this, name);
  plat::UiHost* ui = g_pMainFrame ? &g_pMainFrame->Ui() : nullptr;
  if (ui) ui->BeginWaitCursor();
  int counter = 0;
  bool over = false;
  plat::File file;
  if (!file.Open(local, plat::File::Mode::Write)) {
    if (ui) ui->EndWaitCursor();
    return "";
  }
  try {
    auto remoteFile = m_pFtpConnection->OpenFile(remote, FTP_TRANSFER_TYPE_BINARY);
    std::vector<char> block(kFetchBlock);
    for (int64_t total = 0;;) {
      remoteFile->SetDeadline(plat::InetTransfer::Clock::now() + kEscPoll);
      const int64_t got = remoteFile->Read(block.data(), kFetchBlock);
      if (got > 0) {
        if (total + got > volume) {
          over = true;
          counter = 0;
          break;
        }
        if (!file.Write(block.data(), got)) {
          counter = 0;
          break;
        }
        total += got;
        // 4 for each block of 4,096 bytes begun.
        counter = static_cast<int>((total + kFetchBlock - 1) / kFetchBlock * 4);
        ShowNetStatus(NetStatusText(IDS_NET_READING_KB, counter));
      }
      if (g_pMainFrame && g_pMainFrame->CheckUserAbort()) {
        counter = 0;
        break;
      }
      if (got < kFetchBlock && remoteFile->AtEnd()) break;
    }
  } catch (const CInternetException& e) {
    // Not opened, or broken off: nothing of it is kept.
    counter = 0;
    AfxMessageBox(e.GetErrorMessage());
  }
  file.Close();
  if (ui) ui->EndWaitCursor();
  ShowNetStatus(path);
  if (over) AfxMessageBox(FileSizeOverText(volume));
  if (counter > 0) return local;
  plat::RemoveFile(local);
  return "";
}

std::string CQelDoc::FetchPseudoDriveFile(const std::string& path) {
  if (ConnectFtpSite(path) < 0) return "";
  return FetchFtpFile(path);
}
