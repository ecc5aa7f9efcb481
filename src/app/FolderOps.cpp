// Folder and file helpers of the document: removing a work folder's contents,
// the overwrite question and the current directory.
#include "app/FrameHost.h"
#include "app/Globals.h"
#include "app/OverwriteQuestion.h"
#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "platform/os/Files.h"
#include "platform/text/CodePage.h"

#include <cstdio>
#include <optional>

namespace {

// Removes what lies below folder, at most limit entries per folder; links are
// removed as links, never followed. Returns the count of entries that stayed.
int RemoveBelow(const std::string& folder, bool files, bool folders, bool recurse, int limit) {
  auto entries = plat::ListDirectory(folder);
  if (!entries) return 1;
  int left = 0;
  int taken = 0;
  for (const auto& e : *entries) {
    if (taken++ >= limit) {
      ++left;
      continue;
    }
    if (!e.nameExact) {  // a host name CP932 cannot express: not reachable by this path
      ++left;
      continue;
    }
    const std::string path = folder + "\\" + e.name;
    if (e.isDirectory) {
      if (recurse) left += RemoveBelow(path, files, folders, recurse, limit);
      if (folders && !plat::RemoveEmptyDirectory(path)) ++left;
    } else if (files && !plat::RemoveFile(path)) {
      ++left;
    }
  }
  return left;
}

}  // namespace

int CQelDoc::DeleteFolderTree(std::string folder, int removeFiles, int removeFolders, int recurse, int selector,
                              int limit) {
  if (selector != 0) return -1;  // only the local file system
  while (folder.size() > 1 && plat::FindLastSeparator(folder) == folder.size() - 1) folder.pop_back();
  auto info = plat::LinkStat(folder);
  if (!info || !info->isDirectory) return -1;
  return RemoveBelow(folder, removeFiles != 0, removeFolders != 0, recurse != 0, limit > 0 ? limit : 1) == 0 ? 0 : -1;
}

int ConfirmOverwrite(std::string path) {
  // Every save road asks here before it writes: a target on an FTP pseudo-drive is
  // refused (with its reason) before any question about a local file of that name.
  if (g_pDoc && g_pDoc->RefuseFtpDriveSave(path)) return 0;
  if (!plat::Exists(path)) return 1;
  return AskOverwriteQuestion(path, plat::MB_OKCANCEL) ? 1 : 0;
}

namespace {

// A replacement the user refused: the file is kept and the statement that asked fails.
void NoteNotReplaced(const std::string& path) {
  if (g_pDoc) g_pDoc->m_astrNotReplaced.push_back(path);
}

}  // namespace

bool AskOverwriteQuestion(const std::string& path, unsigned buttons) {
  char text[1200];
  std::snprintf(text, sizeof text, LoadString(IDS_OVERWRITE_QUESTION).c_str(),
                plat::ShownPath(path).substr(0, 1000).c_str());
  const int answer = AfxMessageBox(text, buttons);
  if (answer != plat::IDOK && answer != plat::IDYES) {
    NoteNotReplaced(path);
    return false;
  }
  return UnprotectAfterAsking(path);
}

bool AskWriteProtectedQuestion(const std::string& path) {
  if (AfxMessageBox(StringWith(IDS_WRITE_PROTECTED_QUESTION, plat::ShownPath(path)), plat::MB_YESNO) == plat::IDYES) return true;
  NoteNotReplaced(path);
  return false;
}

bool UnprotectAfterAsking(const std::string& path) {
  const std::optional<plat::FileInfo> st = plat::LinkStat(path);
  if (!st || st->isSymlink || st->isDirectory || !st->readOnly) return true;
  if (!AskWriteProtectedQuestion(path)) return false;
  // Made writable, the file is replaced as any other; where it cannot be (another
  // user's file), the write refuses it with its reason.
  plat::SetReadOnly(path, false);
  return true;
}

int ChangeDirectory(std::string path) {
  std::string single;
  bool lastWasSeparator = false;
  for (size_t i = 0; i < path.size(); ++i) {
    const auto b = static_cast<uint8_t>(path[i]);
    if (IsSjisLeadByte(b) && i + 1 < path.size()) {
      single += path[i];
      single += path[++i];
      lastWasSeparator = false;
    } else if (b == '\\' && lastWasSeparator) {
      continue;  // "\\" is one separator
    } else {
      single += path[i];
      lastWasSeparator = b == '\\';
    }
  }
  return plat::SetCurrentDirectory(single) ? 0 : -1;
}
