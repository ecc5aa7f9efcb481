// FtpSiteString: "R:~2name~/ftp://host;BASE=pub;USER=anna;PWRD=secret", the site
// entries ftp1 to ftp3 of the system strings (values 26 to 28).
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

// The parts of a site string (or of an address with ";USER=name;PWRD=password").
enum class SitePart : int {
  kHost = 0,      // with any path after it
  kUser = 1,
  kPassword = 2,
  kBase = 3,      // the base folder
};
// The part of a site string; "" for a value outside SitePart.
std::string ParseFtpSiteSpec(std::string site, SitePart part);
// The site string with its password left out, for texts the user sees.
std::string FtpSiteWithoutPassword(const std::string& site);

constexpr int kFirstFtpSiteValue = 26;  // m_astrSysValue of "ftp1"
// The session's transfer time: the most an FTP listing or one FTP download may take.
constexpr uint32_t kFtpTransferMs = 360000;

class CQelDoc;
// How far an FTP download of a file of this name to be shown goes: the volume it will
// be shown within, the whole file for a kind read whole (never past the room for a
// file in the work folder), and whether past it the download is kept cut (a file read
// by its head) or refused.
struct FtpDownloadBound {
  int64_t bytes = 0;
  bool cut = false;
};
FtpDownloadBound FtpDownloadVolume(const CQelDoc& doc, const std::string& name);

// Downloads kept on the disk (net/SaveDownload.cpp).
class CInternetFile;
namespace plat {
class File;
}
// The most one download may bring into the work folder: the room for a file there,
// less a reserve, so that a download never takes the disk's last free space.
int64_t DownloadRoom(const CQelDoc& doc);
// The same for a file written at winPath: the room on its disk, less the reserve.
int64_t DownloadRoomAt(const std::string& winPath);
enum class DownloadEnd { Done, Late, NoRoom, PastDeclared, WriteFailed };
struct Downloaded {
  DownloadEnd end = DownloadEnd::Done;
  int64_t bytes = 0;
  int64_t bound = 0;  // the bytes it might bring: its declared size, else the room
  int error = 0;      // errno of a failed write
};
// Reads a remote file into out: refused at once when the size its server declared
// passes room, stopped past that size (or past room when none was declared). Each
// read waits a pass at the most and never past deadline; a pass that brings nothing
// ends it (Late). growth moves the deadline on for every 64 KB that arrive, so that a
// download that keeps coming keeps its time and one that dawdles ends. Throws
// CInternetException.
Downloaded DownloadInto(CInternetFile& in, plat::File& out, int64_t room, std::chrono::milliseconds pass,
                        std::chrono::steady_clock::time_point deadline,
                        std::chrono::milliseconds growth = std::chrono::milliseconds(0));
// Why a download stopped, as its message says it ("" when it came whole or late);
// work names the file it went into.
std::string DownloadStopText(const Downloaded& d, const std::string& work);
// How an offer to save a download went: the user keeps it to be shown (Show), it was
// saved or the user let an existing file stay (Done), or it failed, having said why.
enum class SaveOffer { Show, Done, Failed };
// Offers a remote file, whose transfer has begun, for saving under the name of object:
// a target on an FTP pseudo-drive is refused, an existing one replaced only when the
// user lets it go. The file then goes into a work file beside the target, within the
// room on the target's disk (its declared size checked against it before anything is
// written), and is renamed onto the target only when whole (a link is replaced, never
// written through; a read-only file is refused). Its deadline grows with what comes:
// a pass (pass) without data ends it. *said takes the status text it showed last,
// when it showed one. Throws CInternetException.
SaveOffer OfferSave(CQelDoc& doc, const std::string& object, CInternetFile& in, std::chrono::milliseconds pass,
                    std::string* said);
