// FtpSiteString: "R:~2name~/ftp://host;BASE=pub;USER=anna;PWRD=secret", the site
// entries ftp1 to ftp3 of the system strings (values 26 to 28).
#pragma once

#include <cstdint>
#include <string>

// Part 0 host (with any path after it), 1 user, 2 password, 3 base folder; "" for
// another selector.
std::string ParseFtpSiteSpec(std::string site, int part);
// The site string with its password left out, for texts the user sees.
std::string FtpSiteWithoutPassword(const std::string& site);

constexpr int kFirstFtpSiteValue = 26;  // m_astrSysValue of "ftp1"

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
