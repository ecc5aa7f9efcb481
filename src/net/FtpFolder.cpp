// A pseudo-drive folder as the file list reads it.
#include "app/QelDoc.h"
#include "frame/MainFrame.h"
#include "net/FtpSite.h"
#include "net/NetState.h"
#include "platform/inet/Inet.h"

std::optional<std::vector<plat::DirEntry>> CQelDoc::ListFtpFolder(const std::string& folder) {
  if (ConnectFtpSite(folder) < 0 || !Net().m_pFtpConnection) return std::nullopt;
  const std::string remote = ResolveFtpPath(folder, 1);
  std::vector<FtpListEntry> listed;
  try {
    listed = Net().m_pFtpConnection->List(remote);
  } catch (const CInternetException& e) {
    AfxMessageBox(e.GetErrorMessage());
    return std::nullopt;
  }
  if (const size_t leftOut = Net().m_pFtpConnection->LeftOutNames()) AfxNote(FtpLeftOutNote(leftOut));
  std::vector<plat::DirEntry> entries(listed.size());
  for (size_t i = 0; i < listed.size(); ++i) {
    plat::DirEntry& e = entries[i];
    e.name = std::move(listed[i].name);
    e.isDirectory = listed[i].isDirectory;
    e.size = listed[i].size;
    // A name the file list could not address as a Windows path is left out: a '\'
    // of its own, not the trail byte of a double-byte character (表, ソ).
    e.nameExact = plat::FindLastSeparator(e.name) == std::string::npos;
  }
  return entries;
}
