// CQelDoc::ZipCompress: packs a file or a pattern (relative to the folder it is given)
// into a ZIP archive through the zip program when there is one, else with the own
// writer. The zip program stores names as the host spells them (UTF-8), where the
// own writer stores the Shift-JIS names the rest of the system reads; so names that
// are not plain ASCII always go to the own writer. The program is handed the files
// walked here (it never recurses, so it follows no link) and writes a new archive in
// a work folder, which replaces the target only when complete: it never adds to an
// existing file, ZIP archive or not.
#include <cerrno>
#include <optional>
#include <string>
#include <vector>

#include "app/Globals.h"
#include "app/QelDoc.h"
#include "ops/ArchiveModes.h"
#include "archive/ArchivePaths.h"
#include "ops/ArchiveStatus.h"
#include "archive/ArchiveState.h"
#include "archive/FailureReason.h"
#include "archive/pack/FileSpec.h"
#include "archive/pack/PackList.h"
#include "base/StringIds.h"
#include "codec/ErrorCodes.h"
#include "frame/MainFrame.h"
#include "platform/os/Files.h"
#include "platform/os/WorkNames.h"
#include "platform/os/Process.h"
#include "platform/text/CodePage.h"

namespace {

bool IsAscii(const std::string& text) {
  for (unsigned char c : text)
    if (c >= 0x80) return false;
  return true;
}

// Why the zip program failed, from what it wrote: its last line, a full disk and the
// file-size limit in the system's words.
std::string ProgramReason(const std::string& output) {
  if (output.find("No space left on device") != std::string::npos) return ErrnoReason(ENOSPC);
  if (output.find("File too large") != std::string::npos) return ErrnoReason(EFBIG);
  const size_t end = output.find_last_not_of("\r\n ");
  if (end == std::string::npos) return ReasonOfCode(codec::err::kWrite);
  const size_t newline = output.rfind('\n', end);
  const size_t start = newline == std::string::npos ? 0 : newline + 1;
  return plat::Utf8ToCp932Lossy(output.substr(start, end + 1 - start));
}

std::string FolderOf(const std::string& path) {
  const size_t sep = plat::FindLastSeparator(path);
  return sep == std::string::npos ? std::string() : sep == 0 ? std::string("\\") : path.substr(0, sep);
}

// A pack the zip program could not be handed: said with string 161.
ArchiveStatus NotPacked() {
  AfxMessageBox(IDS_ZIP_ERROR);
  return ArchiveStatus::Fail();
}

}  // namespace

ArchiveStatus CQelDoc::ZipCompress(std::string zipName, std::string fileSpec, ZipPacker packer, std::string folder) {
  LeftOut leftOut;
  const std::vector<std::string> names = ExpandFileSpec(folder, fileSpec, &leftOut.unnamed);
  bool ascii = IsAscii(zipName);
  for (const std::string& n : names) ascii = ascii && IsAscii(n);
  const auto ownWriter = [&] {
    return WriteArchive(PackMode::kZip, PackName::Given(zipName), {fileSpec}, PackMessages::kShow, folder);
  };
  if (packer == ZipPacker::kOwn || !Archive().m_zipProgram.Present() || !ascii) return ownWriter();

  if (names.empty() && leftOut.unnamed.empty()) return ArchiveStatus::Fail(ArchiveCode::kNothingToPack);
  // The folder the names are relative to, where the program runs.
  const std::optional<std::string> base = ResolvedFolder(folder);
  if (!base) return NotPacked();
  const std::string archive = InFolder(*base, zipName);
  std::optional<std::string> cwd = plat::ToHostPath(*base);
  if (!cwd) return NotPacked();
  // A name that cannot be stored, or a file that cannot be read, refuses the pack.
  size_t notStored = 0;
  const std::optional<std::vector<std::string>> walked = WalkPackList(folder, names, leftOut, &notStored);
  if (!walked) return ArchiveStatus::Fail();
  const std::vector<std::string>& members = *walked;
  if (members.empty()) return ArchiveStatus::Fail(ArchiveCode::kNothingToPack);
  std::optional<std::string> work = plat::MakeHiddenWorkFolder(FolderOf(archive), plat::WorkKind::Zip);
  if (!work) return NotPacked();
  const std::string workArchive = *work + "\\new.zip";
  std::optional<std::string> hostArchive = plat::ToHostPath(workArchive);
  // -y stores a link as a link; none is handed over, and none is ever followed.
  std::vector<std::string> args{"-q", "-9", "-nw", "-y", hostArchive.value_or("")};
  bool spelled = hostArchive.has_value();
  for (const std::string& n : members) {
    std::optional<std::string> host = plat::ToHostPath(n);
    if (!host || host->empty()) spelled = false;
    // A name that starts with '-' must not read as an option.
    if (host) args.push_back((*host)[0] == '-' ? "./" + *host : *host);
  }
  if (!spelled) {
    plat::RemoveTree(*work);
    return NotPacked();
  }
  if (g_pMainFrame) g_pMainFrame->Ui().BeginWaitCursor();
  const plat::ProgramResult run = plat::RunProgram(Archive().m_zipProgram.Path(), args, *cwd);
  if (g_pMainFrame) g_pMainFrame->Ui().EndWaitCursor();
  // A program that could not be started (a list longer than a command line takes):
  // the own writer packs the same files.
  if (run.exitCode < 0 || run.exitCode == 127) {
    plat::RemoveTree(*work);
    return ownWriter();
  }
  std::string why;
  if (run.exitCode != 0) {
    why = ProgramReason(run.output);
  } else if (!plat::ReplaceByRename(workArchive, archive)) {
    why = ErrnoReason(errno);
  }
  plat::RemoveTree(*work);
  if (why.empty()) return FinishedLeavingOut(archive, notStored, Loss::NotStored);
  // A failure is said with its reason (a full disk, ...), the archive named.
  AfxMessageBox(plat::ShownPath(archive) + " : " + CodeWithReason(codec::err::kWriteFailed, why));
  return ArchiveStatus::Fail();
}
