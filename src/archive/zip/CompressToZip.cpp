// CQelDoc::CompressToZip: the user's compress command. It packs the active list's
// current file or folder (or a fixed work file, by mode) into a ZIP archive beside
// it, or into BMZ/RTZ forms, and makes the archive the list's current item. An
// existing file of the archive's name is replaced only after Yes to the overwrite
// question. The folder it packs in is handed to the packer; the process's current
// folder is never changed.
#include <optional>
#include <string>

#include "app/Globals.h"
#include "app/OverwriteQuestion.h"
#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "ops/ArchiveModes.h"
#include "archive/ArchivePaths.h"
#include "ops/ArchiveStatus.h"
#include "archive/FailureReason.h"
#include "archive/Overwrite.h"
#include "archive/pack/PackList.h"
#include "frame/MainFrame.h"
#include "platform/os/Files.h"

namespace {

// What a mode packs: fileSpec (a name or a pattern) in folder, into archive.
struct PackPlan {
  std::string folder, fileSpec, archive;
};

// Where the active list's current file or folder is packed (modes kZip, kBmz, kRtz);
// nullopt when it is not packed (said where it needs saying).
std::optional<PackPlan> PlanListItem(CQelDoc& doc, CompressMode mode, std::string source) {
  if (doc.m_nStartMode == 1 && (mode == CompressMode::kZip || mode == CompressMode::kBmz) && !plat::IsDirectory("C:\\ARCHTMP"))
    plat::MakeDirectory("C:\\ARCHTMP");
  // The archive would lie beside the source: not on an FTP site.
  if (doc.FtpConnected() && doc.GetFtpDriveIndex(source) > 0) {
    AfxMessageBox(IDS_NOT_ON_FTP_SITE);
    return std::nullopt;
  }
  std::optional<plat::FileInfo> st = plat::Stat(source);
  if (!st) return std::nullopt;
  PackPlan plan;
  if (st->isDirectory) {
    while (source.size() > 1 && plat::FindLastSeparator(source) == source.size() - 1) source.pop_back();
    if (IsEmptyFolderToPack(source)) return std::nullopt;
    plan.folder = source;
    plan.fileSpec = "*.*";
  } else {
    plan.folder = CQelDoc::GetPathPart(source, PathPart::kFolder);
    plan.fileSpec = CQelDoc::GetPathPart(source, PathPart::kName);
    if (plan.fileSpec.empty()) return std::nullopt;
  }
  if (!plan.folder.empty() && !ResolvedFolder(plan.folder)) return std::nullopt;
  plan.archive = source;
  if (doc.m_nStartMode == 1 && (mode == CompressMode::kZip || mode == CompressMode::kBmz))
    plan.archive = "C:\\ARCHTMP\\" + CQelDoc::GetPathPart(plan.archive, PathPart::kName);
  if (mode == CompressMode::kZip) {
    plan.archive += ".zip";
  } else if (mode == CompressMode::kBmz || mode == CompressMode::kRtz) {
    if (plan.archive.size() < 4) return std::nullopt;
    plan.archive = plan.archive.substr(0, plan.archive.size() - 4) + (mode == CompressMode::kBmz ? ".bmz" : ".rtz");
  }
  // The user's file of that name (archive or not) is replaced only after Yes; the
  // pack always writes a new archive, never adds to one.
  if (plat::Exists(plan.archive) && !AskOverwrite(plan.archive)) return std::nullopt;
  return plan;
}

}  // namespace

ArchiveStatus CQelDoc::CompressToZip(CompressMode mode) {
  std::string& current = m_nActiveList == 2 ? m_strFileName2 : m_strFileName1;
  bool refresh = true;
  if (mode == CompressMode::kZipQuiet) {
    mode = CompressMode::kZip;
    refresh = false;
  }
  const std::string tmp = TmpFolder();
  std::optional<PackPlan> plan;
  if (mode == CompressMode::kWorkBmp || mode == CompressMode::kWorkRtf) {
    const bool bmp = mode == CompressMode::kWorkBmp;
    plan = PackPlan{tmp, GetPathPart(GetPathPart(m_strPathName, PathPart::kName), PathPart::kStem) + (bmp ? ".bmp" : ".rtf"),
                    tmp + (bmp ? "\\Pelnor1.bmz" : "\\PelnorTMP.zip")};
    if (!ResolvedFolder(tmp)) return ArchiveStatus::Fail();
  } else if (mode == CompressMode::kArchTmp) {
    const std::string folder = tmp + "\\ARCHTMP";
    if (!ResolvedFolder(folder)) return ArchiveStatus::Fail();
    plan = PackPlan{folder, "*.*", folder + "\\temp.zip"};
  } else {
    plan = PlanListItem(*this, mode, current);
    if (!plan) return ArchiveStatus::Fail();
  }
  const std::string& archive = plan->archive;

  const ArchiveStatus result = ZipCompress(archive, plan->fileSpec, ZipPacker::kProgramOrOwn, plan->folder);
  if (result.ok() && m_bKeepFileDate == 1) plat::SetFileTime(archive, m_tSourceFileTime);

  if (mode == CompressMode::kWorkRtf && result.ok()) {
    if (!plat::CopyFile(archive, m_strPathName)) {
      if (!AskWriteProtectedQuestion(m_strPathName)) return ArchiveStatus::Fail();
      plat::SetReadOnly(m_strPathName, false);
      plat::CopyFile(archive, m_strPathName);
    }
    const std::string work = InFolder(plan->folder, plan->fileSpec);
    plat::SetReadOnly(archive, false);
    plat::RemoveFile(archive);
    plat::SetReadOnly(work, false);
    plat::RemoveFile(work);
  }
  // A failure was said by the pack; nothing packed makes no archive to show.
  if (!result.ok()) return result;
  if (mode == CompressMode::kZip || mode == CompressMode::kRtz) {
    current = archive;
    m_nViewRequest = kRefreshAll;
    if (refresh) UpdateAllViews();
  }
  return result;
}
