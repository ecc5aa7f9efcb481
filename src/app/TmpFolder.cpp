// The work folder of one run. Every road keeps its work files under fixed names
// ("temp.zip", "Pelnor_tmp.rtf"), so two runs sharing one folder would read
// or delete each other's files: each run gets its own folder below the program's TMP
// and holds it locked while it lives. A folder whose lock anyone can take belongs to
// a run that ended without cleaning up; the next run to make its folder removes it.
// Making a folder and clearing dead ones happen under the lock of TMP itself, so a
// folder is never taken for dead between its making and its locking.
#include <string>

#include <unistd.h>

#include "app/QelDoc.h"
#include "platform/os/Files.h"
#include "platform/os/FolderLock.h"

namespace {

constexpr std::string_view kRunStem = "run";

void RemoveDeadRunFolders(const std::string& tmp) {
  std::optional<std::vector<plat::DirEntry>> entries = plat::ListDirectory(tmp);
  if (!entries) return;
  for (const plat::DirEntry& entry : *entries) {
    if (!entry.isDirectory || !entry.nameExact || entry.name.rfind(kRunStem, 0) != 0) continue;
    const std::string folder = tmp + "\\" + entry.name;
    if (std::optional<plat::FolderLock> dead = plat::FolderLock::Take(folder, false)) plat::RemoveTree(folder);
  }
}

}  // namespace

std::string CQelDoc::TmpFolder() const {
  const std::string tmp = m_strProgramDir + "\\TMP";
  if (!m_strRunTmp.empty()) {
    // Made again (and locked again) when something removed it during the run.
    if (!plat::LinkStat(m_strRunTmp) && plat::MakeDirectoryAsSpelled(m_strRunTmp, 0700)) {
      if (std::optional<plat::FolderLock> lock = plat::FolderLock::Take(m_strRunTmp, false)) m_runTmpLock = std::move(*lock);
    }
    return m_strRunTmp;
  }
  if (!plat::LinkStat(tmp)) {
    plat::MakeDirectories(m_strProgramDir);
    plat::MakeDirectoryAsSpelled(tmp, 0700);
  }
  std::optional<plat::FolderLock> guard = plat::FolderLock::Take(tmp, true);
  if (!guard) return tmp;  // TMP is not a usable folder: the work files fail where they are written
  RemoveDeadRunFolders(tmp);
  const std::string stem = std::string(kRunStem) + std::to_string(getpid()) + "-";
  std::optional<std::string> own = plat::MakeWorkFolder(tmp, stem);
  if (!own) return tmp;
  std::optional<plat::FolderLock> lock = plat::FolderLock::Take(*own, false);
  if (!lock) {
    plat::RemoveTree(*own);
    return tmp;
  }
  m_runTmpLock = std::move(*lock);
  m_strRunTmp = *own;
  return m_strRunTmp;
}
