// CQelDoc::CompressToZip: the user's compress command. It packs the active list's
// current file or folder (or a fixed work file, by mode) into a ZIP archive beside
// it, or into BMZ/RTZ forms, and makes the archive the list's current item. An
// existing file of the archive's name is replaced only after Yes to the overwrite
// question. The caller's current folder is restored afterwards.
#include <string>

#include "app/Globals.h"
#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "archive/ArchiveModes.h"
#include "archive/FailureReason.h"
#include "archive/Overwrite.h"
#include "archive/PackList.h"
#include "frame/MainFrame.h"
#include "platform/os/Files.h"

namespace {

constexpr int IDS_NOT_ON_FTP_SITE = 159;
constexpr int IDS_ZIP_ERROR = 161;

class RestoreFolder {
 public:
  RestoreFolder() : folder_(plat::GetCurrentDirectory()) {}
  ~RestoreFolder() { plat::SetCurrentDirectory(folder_); }

 private:
  std::string folder_;
};

std::string Replace(std::string format, const std::string& value) {
  const size_t at = format.find("%s");
  if (at != std::string::npos) format.replace(at, 2, value);
  return format;
}

}  // namespace

int CQelDoc::CompressToZip(int mode) {
  RestoreFolder restore;
  std::string& current = m_nActiveList == 2 ? m_strFileName2 : m_strFileName1;
  bool refresh = true;
  if (mode == kCompressZipQuiet) {
    mode = kCompressZip;
    refresh = false;
  }
  const std::string tmp = TmpFolder();
  std::string source = current;
  std::string archive;
  std::string fileSpec;

  if (mode == kCompressWorkBmp || mode == kCompressWorkRtf) {
    fileSpec = GetPathPart(GetPathPart(m_strPathName, PathPart::kName), PathPart::kStem) + (mode == kCompressWorkBmp ? ".bmp" : ".rtf");
    archive = tmp + (mode == kCompressWorkBmp ? "\\Pelnor1.bmz" : "\\PelnorTMP.zip");
    if (!plat::SetCurrentDirectory(tmp)) return 0;
  } else if (mode == kCompressArchTmp) {
    const std::string folder = tmp + "\\ARCHTMP";
    if (!plat::SetCurrentDirectory(folder)) return 0;
    fileSpec = "*.*";
    archive = folder + "\\temp.zip";
  } else {
    if (m_nStartMode == 1 && (mode == kCompressZip || mode == kCompressBmz) && !plat::IsDirectory("C:\\ARCHTMP"))
      plat::MakeDirectory("C:\\ARCHTMP");
    // The archive would lie beside the source: not on an FTP site.
    if (FtpConnected() && GetFtpDriveIndex(source) > 0) {
      AfxMessageBox(IDS_NOT_ON_FTP_SITE);
      return 0;
    }
    std::optional<plat::FileInfo> st = plat::Stat(source);
    if (!st) return 0;
    std::string name;
    if (st->isDirectory) {
      while (source.size() > 1 && plat::FindLastSeparator(source) == source.size() - 1) source.pop_back();
      if (IsEmptyFolderToPack(source)) return 0;
      if (!plat::SetCurrentDirectory(source)) return 0;
      fileSpec = "*.*";
      archive = source;
    } else {
      const std::string folder = GetPathPart(source, PathPart::kFolder);
      name = GetPathPart(source, PathPart::kName);
      if (name.empty()) return 0;
      if (!folder.empty() && !plat::SetCurrentDirectory(folder)) return 0;
      fileSpec = name;
      archive = source;
    }
    if (m_nStartMode == 1 && (mode == kCompressZip || mode == kCompressBmz))
      archive = "C:\\ARCHTMP\\" + GetPathPart(archive, PathPart::kName);
    if (mode == kCompressZip) {
      archive += ".zip";
    } else if (mode == kCompressBmz || mode == kCompressRtz) {
      if (archive.size() < 4) return 0;
      archive = archive.substr(0, archive.size() - 4) + (mode == kCompressBmz ? ".bmz" : ".rtz");
    }
    // The user's file of that name (archive or not) is replaced only after Yes; the
    // pack always writes a new archive, never adds to one.
    if (plat::Exists(archive) && !AskOverwrite(archive)) return 0;
  }

  const int result = ZipCompress(archive, fileSpec, 0);
  if (result == 0 && m_bKeepFileDate == 1) plat::SetFileTime(archive, m_tSourceFileTime);

  if (mode == kCompressWorkRtf && result == 0) {
    if (!plat::CopyFile(archive, m_strPathName)) {
      const std::string question = Replace(LoadString(IDS_WRITE_PROTECTED_QUESTION), plat::ShownPath(m_strPathName));
      if (AfxMessageBox(question, plat::MB_YESNO) != plat::IDYES)
        return 0;
      plat::SetReadOnly(m_strPathName, false);
      plat::CopyFile(archive, m_strPathName);
    }
    plat::SetReadOnly(archive, false);
    plat::RemoveFile(archive);
    plat::SetReadOnly(fileSpec, false);
    plat::RemoveFile(fileSpec);
  }
  // A failure the pack said with its reason is not said again; string 161 is for
  // the rest.
  if (result != 0) {
    if (result > 0) AfxMessageBox(IDS_ZIP_ERROR);
    return 0;
  }
  if (mode == kCompressZip || mode == kCompressRtz) {
    current = archive;
    m_nViewRequest = kRefreshAll;
    if (refresh) UpdateAllViews();
  }
  return 1;
}
