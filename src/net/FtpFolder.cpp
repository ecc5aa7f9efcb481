// A pseudo-drive folder as the file list reads it.
#include "app/QelDoc.h"
#include "frame/MainFrame.h"
#include "net/FtpSite.h"
#include "platform/inet/Inet.h"

std::optional<std::vector<plat::DirEntry>> CQelDoc::ListFtpFolder(const std::string& folder) {
  if (ConnectFtpSite(folder) < 0 || !m_pFtpConnection) return std::nullopt;
  const std::string remote = ResolveFtpPath(folder, 1);
  std::vector<plat::DirEntry> entries;
  try {
    CFtpFileFind find(*m_pFtpConnection);
    for (bool more = find.FindFile(remote); more;) {
      more = find.FindNextFile();
      plat::DirEntry e;
      e.name = find.GetFileName();
      e.isDirectory = find.IsDirectory();
      e.size = find.GetLength();
      // A name the file list could not address as a Windows path is left out: a '\'
      // of its own, not the trail byte of a double-byte character (表, ソ).
      e.nameExact = plat::FindLastSeparator(e.name) == std::string::npos;
      entries.push_back(std::move(e));
    }
  } catch (const CInternetException& e) {
    AfxMessageBox(e.GetErrorMessage());
    return std::nullopt;
  }
  return entries;
}
