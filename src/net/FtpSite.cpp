// The site-string parser, the pseudo-drive test and the save roads' refusal of a
// pseudo-drive target.
#include "net/FtpSite.h"

#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "base/AsciiCase.h"
#include "frame/MainFrame.h"

std::string ParseFtpSiteSpec(std::string site, SitePart part) {
  // Drop the flag digit and the display name: "R:~2my site~/host" is "R:/host".
  const size_t slash = site.find('/');
  const size_t tilde = site.size() > 3 ? site.find('~', 3) : std::string::npos;
  if (tilde != std::string::npos && slash != std::string::npos && tilde > 0 && tilde < slash) {
    site = site.substr(0, 2) + site.substr(slash);
  }
  if (site.size() >= 3 && site[1] == ':' && (site[2] == '/' || site[2] == '\\')) site.erase(0, 3);
  if (site.starts_with("ftp:") || site.starts_with("FTP:")) site.erase(0, std::min<size_t>(6, site.size()));

  std::string host, user, password, base;
  bool haveHost = false;
  const size_t baseAt = site.find(";BASE=");
  const size_t userAt = site.find(";USER=");
  if (baseAt != std::string::npos) {
    host = site.substr(0, baseAt);
    haveHost = true;
    if (userAt != std::string::npos && userAt > baseAt) base = site.substr(baseAt + 6, userAt - baseAt - 6);
  }
  if (userAt != std::string::npos) {
    const std::string rest = site.substr(userAt + 6);
    const size_t pwAt = rest.find(";PWRD=");
    user = rest.substr(0, pwAt);
    if (pwAt != std::string::npos) password = rest.substr(pwAt + 6);
    if (!haveHost) host = site.substr(0, userAt);
    if (host == ";BASE=") host.clear();
  } else if (!haveHost) {
    host = site;
  }
  switch (part) {
    case SitePart::kHost: return host;
    case SitePart::kUser: return user;
    case SitePart::kPassword: return password;
    case SitePart::kBase: return base;
  }
  return "";
}

std::string FtpSiteWithoutPassword(const std::string& site) {
  const size_t at = site.find(";PWRD=");
  return at == std::string::npos ? site : site.substr(0, at);
}

namespace {

// "X:" at the start: a drive letter, which the file layer does not read as a local path.
bool HasDriveLetter(const std::string& path) {
  return path.size() >= 2 && path[1] == ':' && IsAsciiLetter(static_cast<unsigned char>(path[0]));
}

}  // namespace

int CQelDoc::GetFtpDriveIndex(std::string path) const {
  if (!HasDriveLetter(path)) return 0;
  for (int i = 0; i < 3; ++i) {
    const std::string& site = m_astrSysValue[kFirstFtpSiteValue + i];
    if (site.size() >= 2 && site.compare(0, 2, path, 0, 2) == 0) return site.size() >= 24 ? i + 1 : -1;
  }
  // Any other drive letter names no file at all: there is no local drive, and the
  // letter dropped would name another file of the local root.
  return -1;
}

bool CQelDoc::RefuseFalseFtpDrive(const std::string& path) const {
  if (GetFtpDriveIndex(path) >= 0) return false;
  bool siteLetter = false;
  for (int i = 0; i < 3; ++i) {
    const std::string& site = m_astrSysValue[kFirstFtpSiteValue + i];
    siteLetter = siteLetter || (site.size() >= 2 && site[1] == ':' && AsciiUpper(site[0]) == AsciiUpper(path[0]));
  }
  const std::string drive = path.substr(0, 2);
  AfxMessageBox(path + "\n" + LoadString(IDS_CANNOT_OPEN) + "(" +
                (siteLetter ? drive + " is no FTP pseudo-drive: its site string is shorter than 24 characters, or the letter is in the other case)"
                            : drive + " names no file: no FTP pseudo-drive of the settings has this letter)"));
  return true;
}

bool CQelDoc::RefuseFtpDriveSave(const std::string& path) const {
  // Any configured site's drive letter counts, in either case: nothing is written to
  // a pseudo-drive (there is no upload). Any other drive letter names no file.
  if (!HasDriveLetter(path)) return false;
  for (int i = 0; i < 3; ++i) {
    const std::string& site = m_astrSysValue[kFirstFtpSiteValue + i];
    if (site.size() >= 2 && site[1] == ':' && AsciiUpper(site[0]) == AsciiUpper(path[0])) {
      AfxMessageBox(path + "\n" + LoadString(IDS_NOT_ON_FTP_SITE));
      return true;
    }
  }
  return RefuseFalseFtpDrive(path);
}
