#include "archive/unpack/UnpackViaProgram.h"

#include <cerrno>
#include <optional>
#include <vector>

#include "archive/unpack/ExtractTarget.h"
#include "archive/FailureReason.h"
#include "codec/ErrorCodes.h"
#include "frame/MainFrame.h"
#include "platform/os/FolderHandle.h"
#include "platform/os/WorkNames.h"

namespace {

// Moves what lies in from (the work folder's level rel) into the target; false when
// something was not placed.
bool MoveBelow(CExtractTarget& target, const plat::FolderHandle& from, const std::string& rel) {
  std::optional<std::vector<plat::DirEntry>> entries = from.List(false);
  if (!entries) return false;
  bool whole = true;
  for (const plat::DirEntry& e : *entries) {
    const std::string name = rel.empty() ? e.name : WinJoin(rel, e.name);
    if (!e.nameExact || e.isSymlink) {
      // Names the program could not spell in Shift-JIS, and links, are not placed.
      const WriteTrouble trouble = e.nameExact ? WriteTrouble::LinkInTheWay : WriteTrouble::NotShiftJis;
      AfxNote(plat::ShownPath(name) + " : " + CodeWithReason(codec::err::kWrite, TroubleReason(trouble)));
      whole = false;
      continue;
    }
    if (e.isDirectory) {
      std::optional<plat::FolderHandle> below = from.OpenChild(e.name);
      if (!below || !target.MakeFolders(name)) {
        AfxNote(plat::ShownPath(name) + " : " + CodeWithReason(codec::err::kWrite, below ? target.Why() : ErrnoReason(errno)));
        whole = false;
        continue;
      }
      whole = MoveBelow(target, *below, name) && whole;
      continue;
    }
    const ArchiveStatus moved = RunCodec([&] { target.MoveFile(name, from, e.name); });
    if (!moved.ok()) {
      AfxNote(plat::ShownPath(name) + " : " + moved.reason);
      whole = false;
    }
  }
  return whole;
}

}  // namespace

std::optional<ArchiveStatus> UnpackThroughWorkFolder(CExtractTarget& target,
                                                     const std::function<int(const std::string& work)>& run,
                                                     const std::function<bool(int)>& succeeded) {
  std::optional<std::string> work = plat::MakeHiddenWorkFolder(target.Folder(), plat::WorkKind::Unpack);
  if (!work) return std::nullopt;
  const int status = run(*work);
  std::optional<ArchiveStatus> result;
  if (succeeded(status)) {
    std::optional<plat::FolderHandle> folder = plat::FolderHandle::Open(*work);
    result = folder && MoveBelow(target, *folder, "") ? ArchiveStatus::Done() : ArchiveStatus::Fail();
  }
  plat::RemoveTree(*work);
  return result;
}
