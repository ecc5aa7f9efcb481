// Mapping a pseudo-drive path to the remote one, and fetching a remote file into
// the work file TMP\Pelnor_<name>. A download ends at the volume the file will be
// shown with (a file read by its head is kept cut there, as the load road cuts a
// local file), and a slow server never keeps Esc from being seen.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "app/FileKind.h"
#include "app/Globals.h"
#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "frame/MainFrame.h"
#include "net/FtpSite.h"
#include "net/NetState.h"
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
      base = Slashes(ParseFtpSiteSpec(site, SitePart::kBase));
      break;
    }
  }
  std::string rest = Slashes(path.size() > 2 ? path.substr(2) : "");
  if (!rest.empty() && rest[0] == '/') rest.erase(0, 1);
  if (base.empty() || base.back() != '/') base += '/';
  if (base[0] != '/') base.insert(base.begin(), '/');
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
  if (dir.empty()) dir = '/';
  if (Net().m_pFtpConnection && !Net().m_pFtpConnection->SetCurrentDirectory(dir)) {
    Net().m_pFtpConnection->SetCurrentDirectory("/");
    // A file of a folder that is not there is not the root's file of that name: the
    // whole path is given, so that opening it fails.
    if (mode == 2) result = remote;
  }
  return result;
}

namespace {

// Kinds whose road reads the file whole rather than its head: the Office packages.
bool ReadWhole(int kind) { return kind == kKindXlsx || kind == kKindDocx || kind == kKindPptx; }

}  // namespace

FtpDownloadBound FtpDownloadVolume(const CQelDoc& doc, const std::string& name) {
  const int kind = doc.GetFileKind(name);
  FtpDownloadBound bound;
  if (IsImageKind(kind) || IsMediaKind(kind)) {
    // A picture past the image file volume is refused, as a local one is; a media file
    // is played from the disk and takes the larger of the two volumes.
    bound.bytes = IsImageKind(kind) ? doc.m_nBmpFileLimit : std::max(doc.m_nBmpFileLimit, doc.m_nInDataLimit);
  } else if (ReadWhole(kind)) {
    // A package past the cap is refused, as a local one is.
    bound.bytes = CQelDoc::kPackageByteCap;
  } else {
    // Read by its head (a CSV table and a mail message too, within the input volume):
    // past the larger volume the download stops, and the load road shows what came
    // cut, as it shows a local file that long.
    bound.bytes = std::max(doc.m_nInDataLimit, doc.m_nOutDataLimit);
    bound.cut = true;
  }
  // Never the disk's last free space.
  if (const int64_t room = DownloadRoom(doc); room < bound.bytes) {
    bound.bytes = room;
    bound.cut = false;
  }
  bound.bytes = std::max<int64_t>(0, bound.bytes);
  return bound;
}

std::string CQelDoc::FetchFtpFile(std::string path) {
  const size_t back = plat::FindLastSeparator(path);
  const size_t fwd = path.rfind('/');
  size_t sep = back == std::string::npos ? fwd : (fwd == std::string::npos ? back : std::max(back, fwd));
  const std::string name = sep != std::string::npos && sep > 0 ? path.substr(sep + 1) : path;
  const std::string local = TmpFolder() + "\\Pelnor_" + name;
  plat::RemoveFile(local);
  Net().ftpFetchCut_ = false;
  ShowNetStatus(IDS_FTP_FETCHING);
  if (!Net().m_pFtpConnection) return "";
  const std::string remote = ResolveFtpPath(path, 2);
  const FtpDownloadBound bound = FtpDownloadVolume(*this, name);
  plat::UiHost* ui = g_pMainFrame ? &g_pMainFrame->Ui() : nullptr;
  if (ui) ui->BeginWaitCursor();
  bool over = false;
  bool whole = false;
  int64_t total = 0;
  std::string why;  // a failure's reason, said once the wait cursor is gone
  plat::File file;
  if (!plat::CreateWorkFile(file, local)) {
    if (ui) ui->EndWaitCursor();
    AfxMessageBox(local + "\n" + LoadString(IDS_CANNOT_MAKE) + "  (" + plat::Utf8ToCp932Lossy(std::strerror(errno)) + ")");
    return "";
  }
  try {
    auto remoteFile = Net().m_pFtpConnection->OpenFile(remote, FTP_TRANSFER_TYPE_BINARY);
    // A size past a bound that refuses stops the download before it begins.
    const std::optional<int64_t> length = remoteFile->Length();
    over = !bound.cut && length && *length > bound.bytes;
    // The whole download within the session's transfer time.
    const auto until = plat::InetTransfer::Clock::now() + std::chrono::milliseconds(NetTime(kFtpTransferMs));
    std::vector<char> block(kFetchBlock);
    while (!over) {
      remoteFile->SetDeadline(std::min(plat::InetTransfer::Clock::now() + kEscPoll, until));
      const int64_t got = remoteFile->Read(block.data(), kFetchBlock);
      if (got > 0) {
        // The block that passes a cutting bound is kept: the work file is longer than
        // the volume, so that the load road knows it is cut.
        const bool past = total + got > bound.bytes;
        if (past && !bound.cut) {
          over = true;
          break;
        }
        if (!file.Write(block.data(), got)) {
          why = local + "\n" + LoadString(IDS_CANNOT_MAKE) + "  (" + plat::Utf8ToCp932Lossy(std::strerror(errno)) + ")";
          break;
        }
        total += got;
        // 4 for each block of 4,096 bytes begun.
        ShowNetStatus(NetStatusText(IDS_NET_READING_KB, static_cast<int>((total + kFetchBlock - 1) / kFetchBlock * 4)));
        if (past) {
          Net().ftpFetchCut_ = true;
          whole = true;
          break;
        }
      }
      if (g_pMainFrame && g_pMainFrame->CheckUserAbort()) break;
      if (got < kFetchBlock && remoteFile->AtEnd()) {
        whole = true;
        break;
      }
      if (plat::InetTransfer::Clock::now() >= until) {
        why = path + "\n" + LoadString(IDS_NET_TIME_OVER);
        break;
      }
    }
  } catch (const CInternetException& e) {
    // Not opened, or broken off: nothing of it is kept.
    why = e.GetErrorMessage();
  }
  file.Close();
  if (ui) ui->EndWaitCursor();
  ShowNetStatus(path);
  if (over) why = FileSizeOverText(bound.bytes);
  // An empty file gives nothing to show.
  if (whole && total == 0) {
    why = path + "\n" + LoadString(IDS_NET_NO_DATA);
    whole = false;
  }
  if (!why.empty()) AfxMessageBox(why);
  if (whole) return local;
  Net().ftpFetchCut_ = false;
  plat::RemoveFile(local);
  return "";
}

std::string CQelDoc::FetchPseudoDriveFile(const std::string& path, bool* cut) {
  if (cut) *cut = false;
  if (ConnectFtpSite(path) < 0) return "";
  std::string local = FetchFtpFile(path);
  if (cut) *cut = Net().ftpFetchCut_;
  return local;
}
