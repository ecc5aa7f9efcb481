// The work folder of one run. Every road keeps its work files under fixed names
// ("temp.zip", "Pelnor_tmp.rtf"), so two runs sharing one folder would read
// or delete each other's files: each run gets its own folder below the program's TMP
// and holds it locked while it lives. A folder whose lock anyone can take belongs to
// a run that ended without cleaning up; the next run to make its folder removes it.
// Only folders of the exact name form runs make are ever looked at.
// Making a folder and clearing dead ones happen under the lock of TMP itself, so a
// folder is never taken for dead between its making and its locking.
#include <string>
#include <string_view>

#include <unistd.h>

#include "app/QelDoc.h"
#include "platform/os/Files.h"
#include "platform/os/FolderLock.h"

namespace {

constexpr std::string_view kRunStem = "run";
constexpr size_t kSuffixLength = 6;

// The name of a run's folder exactly as runs make it: "run", the process id, '-' and
// six letters or digits. Anything else under TMP is the user's, whatever its name.
bool IsRunFolderName(std::string_view name) {
  if (name.substr(0, kRunStem.size()) != kRunStem) return false;
  name.remove_prefix(kRunStem.size());
  const size_t dash = name.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash > 9 || name.size() != dash + 1 + kSuffixLength) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    const bool digit = c >= '0' && c <= '9';
    if (i < dash ? !digit : i > dash && !digit && !(c >= 'a' && c <= 'z')) return false;
  }
  return true;
}

void RemoveDeadRunFolders(const std::string& tmp) {
  std::optional<std::vector<plat::DirEntry>> entries = plat::ListDirectory(tmp);
  if (!entries) return;
  for (const plat::DirEntry& entry : *entries) {
    if (!entry.isDirectory || !entry.nameExact || !IsRunFolderName(entry.name)) continue;
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
