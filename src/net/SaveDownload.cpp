// Downloads kept on the disk: the room one may take, the read of a remote file into
// a work file within its bounds, and the copy of a finished download onto the file
// the user named. A download never takes a disk's last free space, stops at the size
// its server declared, and replaces the user's file only when whole: it is written
// beside the target and renamed onto it (a link is replaced, never written through;
// a read-only file is refused), so that a failure leaves an earlier file as it was.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "frame/MainFrame.h"
#include "net/FtpSite.h"
#include "net/NetStatus.h"
#include "platform/inet/Inet.h"
#include "platform/os/Files.h"
#include "platform/text/CodePage.h"

namespace {

constexpr int kCannotCreate = 162;    // "作成できません"
constexpr int kWriteRefused = 179;    // "%s \nは書込み禁止又は他で使用中です。\n実行できません。"
constexpr int64_t kMinReserve = 1 << 20;
constexpr int64_t kBlock = 65536;

std::string Reason(int error) { return plat::Utf8ToCp932Lossy(std::strerror(error != 0 ? error : EIO)); }

}  // namespace

int64_t DownloadRoom(const CQelDoc& doc) {
  const std::string folder = doc.TmpFolder();
  int64_t room = INT64_MAX;
  if (const std::optional<int64_t> free = plat::FreeSpace(folder)) {
    // The reserve: a sixteenth of what is free, at least a megabyte.
    room = *free - std::max(kMinReserve, *free / 16);
  }
  if (const std::optional<int64_t> most = plat::FileSizeLimit()) room = std::min(room, *most);
  return std::max<int64_t>(0, room);
}

Downloaded DownloadInto(CInternetFile& in, plat::File& out, int64_t room, std::chrono::milliseconds pass,
                        std::chrono::steady_clock::time_point deadline) {
  using Clock = plat::InetTransfer::Clock;
  Downloaded d;
  const std::optional<int64_t> declared = in.Length();
  d.bound = declared ? std::min(*declared, room) : room;
  if (declared && *declared > room) {
    d.end = DownloadEnd::NoRoom;
    d.bound = room;
    return d;
  }
  std::vector<char> block(kBlock);
  for (;;) {
    // Each read waits a pass at the most, never past the whole download's deadline.
    in.SetDeadline(std::min(Clock::now() + pass, deadline));
    const int64_t got = in.Read(block.data(), kBlock);
    if (d.bytes + got > d.bound) {
      d.end = declared ? DownloadEnd::PastDeclared : DownloadEnd::NoRoom;
      return d;
    }
    if (got > 0 && !out.Write(block.data(), got)) {
      d.error = errno;
      d.end = DownloadEnd::WriteFailed;
      return d;
    }
    d.bytes += got;
    ShowNetStatus(NetStatusText(IDS_NET_READING_KB, static_cast<int>(std::min<int64_t>(d.bytes / 1024, INT32_MAX))));
    if (got < kBlock) {
      d.end = in.AtEnd() ? DownloadEnd::Done : DownloadEnd::Late;
      return d;
    }
  }
}

std::string DownloadStopText(const Downloaded& d, const std::string& work) {
  switch (d.end) {
    case DownloadEnd::NoRoom:
      return FileSizeOverText(d.bound).substr(0, FileSizeOverText(d.bound).find('\r')) +
             "  (the download would leave too little room on the disk of " + work + ")";
    case DownloadEnd::PastDeclared:
      return FileSizeOverText(d.bound).substr(0, FileSizeOverText(d.bound).find('\r')) + "  (the server sent more than the " +
             std::to_string(d.bound) + " bytes it said the file has)";
    case DownloadEnd::WriteFailed:
      return work + "\n" + LoadString(kCannotCreate) + "  (" + Reason(d.error) + ")";
    default:
      return "";
  }
}

bool SaveDownload(const std::string& work, const std::string& target) {
  // A read-only file (or a folder) of that name is refused; a link of that name is
  // replaced by the download, whatever it points to.
  if (const auto old = plat::LinkStat(target); old && !old->isSymlink && (old->isDirectory || old->readOnly)) {
    std::vector<char> text(LoadString(kWriteRefused).size() + target.size() + 1);
    std::snprintf(text.data(), text.size(), LoadString(kWriteRefused).c_str(), target.c_str());
    AfxMessageBox(text.data());
    return false;
  }
  plat::File in;
  plat::WorkFile copy;
  errno = 0;
  bool whole = in.Open(work, plat::File::Mode::Read) && copy.CreateBeside(target);
  std::vector<char> block(kBlock);
  for (int64_t got = kBlock; whole && got == kBlock;) {
    got = in.Read(block.data(), kBlock);
    whole = got >= 0 && (got == 0 || copy.Out().Write(block.data(), got));
  }
  // A file replaced keeps its permissions.
  if (whole && copy.CommitAs(target)) return true;
  const int error = errno;
  copy.Discard();
  AfxMessageBox(target + "\n" + LoadString(kCannotCreate) + "  (" + Reason(error) + ")");
  return false;
}
