// Downloads kept on the disk: the room one may take, the read of a remote file into
// a work file within its bounds, and the offer to save one onto a file the user
// names. A download never takes a disk's last free space, stops at the size its
// server declared, and replaces the user's file only when whole: it is written beside
// the target, on the target's disk and never in the work folder, and renamed onto it
// (a link is replaced, never written through; a read-only file is refused), so that
// a failure leaves an earlier file as it was.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "frame/Dialogs.h"
#include "frame/MainFrame.h"
#include "net/FtpSite.h"
#include "net/NetStatus.h"
#include "platform/inet/Inet.h"
#include "platform/os/Files.h"
#include "platform/text/CodePage.h"

namespace {

constexpr int64_t kMinReserve = 1 << 20;
constexpr int64_t kBlock = 65536;

std::string Reason(int error) { return plat::Utf8ToCp932Lossy(std::strerror(error != 0 ? error : EIO)); }

}  // namespace

int64_t DownloadRoomAt(const std::string& winPath) {
  int64_t room = INT64_MAX;
  if (const std::optional<int64_t> free = plat::FreeSpace(winPath)) {
    // The reserve: a sixteenth of what is free, at least a megabyte.
    room = *free - std::max(kMinReserve, *free / 16);
  }
  if (const std::optional<int64_t> most = plat::FileSizeLimit()) room = std::min(room, *most);
  return std::max<int64_t>(0, room);
}

int64_t DownloadRoom(const CQelDoc& doc) { return DownloadRoomAt(doc.TmpFolder()); }

Downloaded DownloadInto(CInternetFile& in, plat::File& out, int64_t room, std::chrono::milliseconds pass,
                        std::chrono::steady_clock::time_point deadline, std::chrono::milliseconds growth) {
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
    if (growth.count() > 0 && deadline != Clock::time_point::max()) {
      deadline += std::chrono::duration_cast<Clock::duration>(growth) * got / kBlock;
    }
    ShowNetStatus(NetStatusText(IDS_NET_READING_KB, static_cast<int>(std::min<int64_t>(d.bytes / 1024, INT32_MAX))));
    if (got < kBlock && in.AtEnd()) {
      d.end = DownloadEnd::Done;
      return d;
    }
    // A read cut short by its wait: a pass without data, or the whole time, ends it.
    if (got < kBlock && (got == 0 || Clock::now() >= deadline)) {
      d.end = DownloadEnd::Late;
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
      return work + "\n" + LoadString(IDS_CANNOT_MAKE) + "  (" + Reason(d.error) + ")";
    default:
      return "";
  }
}

namespace {

// Says why a save stopped, in a box and in the status bar (kept in *said).
void SayStopped(const std::string& text, std::string* said) {
  AfxMessageBox(text);
  *said = text.substr(0, text.find('\n'));
  ShowNetStatus(*said);
}

// Reads the download into a work file beside target and renames it onto target when
// whole; says why and returns false when it is not saved.
bool SaveDownload(CInternetFile& in, const std::string& target, std::chrono::milliseconds pass, std::string* said) {
  // A read-only file (or a folder) of that name is refused; a link of that name is
  // replaced by the download, whatever it points to.
  if (const auto old = plat::LinkStat(target); old && !old->isSymlink && (old->isDirectory || old->readOnly)) {
    std::vector<char> text(LoadString(IDS_CANNOT_USE).size() + target.size() + 1);
    std::snprintf(text.data(), text.size(), LoadString(IDS_CANNOT_USE).c_str(), target.c_str());
    AfxMessageBox(text.data());
    return false;
  }
  const std::string shown = plat::ShownPath(target);
  const size_t sep = plat::FindLastSeparator(target);
  const std::string folder = sep == std::string::npos ? "." : sep == 0 ? std::string("\\") : target.substr(0, sep);
  const int64_t room = DownloadRoomAt(folder);
  // Nothing is written when the size the server declared does not fit.
  if (const std::optional<int64_t> declared = in.Length(); declared && *declared > room) {
    SayStopped(DownloadStopText(Downloaded{DownloadEnd::NoRoom, 0, room, 0}, shown), said);
    return false;
  }
  plat::WorkFile copy;
  errno = 0;
  if (!copy.CreateBeside(target)) {
    SayStopped(shown + "\n" + LoadString(IDS_CANNOT_MAKE) + "  (" + Reason(errno) + ")", said);
    return false;
  }
  const Downloaded d = DownloadInto(in, copy.Out(), room, pass, std::chrono::steady_clock::now() + pass, pass);
  if (d.end != DownloadEnd::Done) {
    copy.Discard();
    SayStopped(d.end == DownloadEnd::Late
                   ? shown + "\n" + LoadString(IDS_NET_TIME_OVER) +
                         plat::Utf8ToCp932Lossy("  (the server sent too little in time: " + std::to_string(d.bytes) +
                                                " bytes, nothing saved)")
                   : DownloadStopText(d, shown),
               said);
    return false;
  }
  // A file replaced keeps its permissions.
  errno = 0;
  if (copy.CommitAs(target)) return true;
  const int error = errno;
  copy.Discard();
  SayStopped(shown + "\n" + LoadString(IDS_CANNOT_MAKE) + "  (" + Reason(error) + ")", said);
  return false;
}

}  // namespace

SaveOffer OfferSave(CQelDoc& doc, const std::string& object, CInternetFile& in, std::chrono::milliseconds pass,
                    std::string* said) {
  const size_t slash = object.rfind('/');
  CFileDialog dialog(false, slash == std::string::npos ? object : object.substr(slash + 1));
  if (dialog.DoModal() != plat::IDOK) return SaveOffer::Show;
  const std::string target = dialog.GetPathName();
  if (doc.RefuseFtpDriveSave(target)) {
    *said = LoadString(IDS_NOT_ON_FTP_SITE);
    ShowNetStatus(*said);
    return SaveOffer::Failed;
  }
  if (!ConfirmOverwrite(target)) return SaveOffer::Done;
  return SaveDownload(in, target, pass, said) ? SaveOffer::Done : SaveOffer::Failed;
}
