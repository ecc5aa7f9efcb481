// The work folder of one run. Every road keeps its work files under fixed names
// ("temp.zip", "Pelnor_tmp.rtf"), so two runs sharing one folder would read
// or delete each other's files: each run gets its own folder below the program's TMP
// and holds it locked while it lives. A folder whose lock anyone can take belongs to
// a run that ended without cleaning up; the next run to make its folder removes it.
// Only folders of the exact name form runs make are ever looked at.
// Making a folder and clearing dead ones happen under the lock of TMP itself, so a
// folder is never taken for dead between its making and its locking.
// A run never works in a folder others may enter: when TMP is refused when the first
// work file is made (it became a link, or others may write it), the run works in a
// folder of its own below /tmp instead, and says so.
#include "app/TmpFolder.h"

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "app/FrameHost.h"
#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "base/StringIds.h"
#include "platform/os/Files.h"
#include "platform/os/FolderLock.h"
#include "platform/os/SignalCleanup.h"
#include "platform/text/CodePage.h"

namespace {

constexpr std::string_view kRunStem = "run";
constexpr size_t kSuffixLength = 6;

// The start of this run's folder name: "run", the process id and '-'.
std::string RunStem() { return std::string(kRunStem) + std::to_string(getpid()) + "-"; }

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

// The folder of this run's own below tmp, made and locked; nullopt when tmp is
// refused or the folder cannot be made.
std::optional<std::string> MakeRunFolder(const std::string& tmp, plat::FolderLock& held) {
  std::optional<plat::FolderLock> guard = plat::FolderLock::Take(tmp, true);
  if (!guard) return std::nullopt;
  RemoveDeadRunFolders(tmp);
  std::optional<std::string> own = plat::MakeWorkFolder(tmp, RunStem());
  if (!own) return std::nullopt;
  std::optional<plat::FolderLock> lock = plat::FolderLock::Take(*own, false);
  if (!lock) {
    plat::RemoveTree(*own);
    return std::nullopt;
  }
  held = std::move(*lock);
  return own;
}

}  // namespace

std::string FolderRefusal(const std::string& folder) {
  std::optional<plat::FileInfo> st = plat::LinkStat(folder);
  if (!st) {
    const size_t sep = plat::FindLastSeparator(folder);
    if (sep != std::string::npos && sep > 0) plat::MakeDirectories(folder.substr(0, sep));
    plat::MakeDirectoryAsSpelled(folder, 0700);
    st = plat::LinkStat(folder);
  }
  if (!st) return "it cannot be made";
  if (st->isSymlink) return "it is a link";
  if (!st->isDirectory) return "it is not a folder";
  if (!st->ownedByUser) return "another user owns it";
  if ((st->permissions & 022) != 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st->permissions) & 07777u);
    return std::string("other users may write it: mode ") + mode;
  }
  return "";
}

FolderRefused ProgramFolderRefusal(const std::string& programDir) {
  if (std::string why = FolderRefusal(programDir); !why.empty()) return {programDir, why};
  const std::string tmp = programDir + "\\TMP";
  if (std::string why = FolderRefusal(tmp); !why.empty()) return {tmp, why};
  return {};
}

std::string FolderRefusedText(const FolderRefused& refused) {
  return StringWith(IDS_CANNOT_USE, plat::ShownPath(refused.folder)) +
         plat::Utf8ToCp932Lossy("\n(" + refused.why + "; this run works in a folder of its own below /tmp)");
}

std::optional<std::string> MakeFallbackRunFolder() {
  return plat::MakeWorkFolder("\\tmp", "pelnorix-" + RunStem());
}

void ClearDeadRunFolders(const std::string& tmp) {
  if (std::optional<plat::FolderLock> guard = plat::FolderLock::Take(tmp, true)) RemoveDeadRunFolders(tmp);
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

std::string CQelDoc::TmpFolder() const {
  if (!m_strRunTmp.empty()) {
    // Made again (and locked again) when something removed it during the run.
    if (!plat::LinkStat(m_strRunTmp) && plat::MakeDirectoryAsSpelled(m_strRunTmp, 0700)) {
      if (std::optional<plat::FolderLock> lock = plat::FolderLock::Take(m_strRunTmp, false)) m_runTmpLock = std::move(*lock);
    }
    return m_strRunTmp;
  }
  const std::string tmp = m_strProgramDir + "\\TMP";
  FolderRefused refused = ProgramFolderRefusal(m_strProgramDir);
  std::optional<std::string> own;
  if (refused.folder.empty()) own = MakeRunFolder(tmp, m_runTmpLock);
  if (!own) {
    if (refused.folder.empty()) refused = {tmp, "no folder of this run's own can be made in it"};
    AfxMessageBox(FolderRefusedText(refused));
    own = MakeFallbackRunFolder();
    std::optional<plat::FolderLock> lock = own ? plat::FolderLock::Take(*own, false) : std::nullopt;
    if (lock) {
      m_runTmpLock = std::move(*lock);
    } else {
      if (own) plat::RemoveTree(*own);
      // With no folder at all, a path below a device: every work file fails where it
      // is written, and none reaches a folder someone else chose.
      own = "\\dev\\null\\pelnorix-run";
    }
  }
  m_strRunTmp = *own;
  plat::RemoveAtEndingSignal(m_strRunTmp);
  return m_strRunTmp;
}
