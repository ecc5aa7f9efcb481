// Office Open XML package access: the package is unpacked as a whole into one work
// folder, from which the converters read the parts they need by fixed names.
//
// Packages are hostile. Before anything is unpacked the member list is read and the
// sizes it declares are summed: a package that would unpack to more than the cap
// (or hold more members than the member cap) is refused. The own ZIP reader never
// writes more than a member declares, so the cap holds for what lands on disk; the
// outside unzip program writes a member to its stream's end whatever it declares,
// so packages always take the own reader. Member names are reduced to paths below
// the folder and no write follows a link (ExtractZip). The folder is emptied first,
// links removed as links, so no part of an earlier package is read as this one's.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "archive/CodecServices.h"
#include "base/CheckedSize.h"
#include "platform/Files.h"

namespace {

constexpr int kEntriesPerPass = 200;  // entries the folder removal takes per folder and call

// Sums the sizes the members declare; false when the bytes are no readable ZIP archive.
bool DeclaredSize(const std::vector<uint8_t>& bytes, int64_t* total, int64_t* members) {
  const auto list = ListZipImage(bytes);
  if (!list) return false;
  *total = 0;
  *members = static_cast<int64_t>(list->size());
  for (const ZipImageMember& e : *list) {
    const auto size = static_cast<int64_t>(std::min<uint64_t>(e.declaredSize, INT64_MAX));
    const std::optional<int64_t> sum = CheckedSize(size, 1, *total);
    if (!sum) {
      *total = INT64_MAX;
      break;
    }
    *total = *sum;
  }
  return true;
}

std::string WithoutTrailingSeparator(std::string folder) {
  while (folder.size() > 1 && plat::FindLastSeparator(folder) == folder.size() - 1) folder.pop_back();
  return folder;
}

// Empties the work folder: a link or file standing in its place is removed (never
// followed); the removal takes a limited number of entries per folder and call, so
// it is repeated until the folder is empty. False when entries stay.
bool EmptyWorkFolder(CQelDoc& doc, const std::string& folder) {
  const std::string dir = WithoutTrailingSeparator(folder);
  const std::optional<plat::FileInfo> st = plat::LinkStat(dir);
  if (!st) return true;
  if (!st->isDirectory || st->isSymlink) return plat::RemoveFile(dir);
  const int passes = CQelDoc::kPackageMemberCap / kEntriesPerPass + 2;
  for (int pass = 0; pass < passes; ++pass) {
    if (doc.DeleteFolderTree(dir, 1, 1, 1, 0, kEntriesPerPass) == 0) return true;
  }
  return false;
}

std::string AbsoluteWinPath(const std::string& path) {
  if (!path.empty() && (path[0] == '\\' || (path.size() >= 2 && path[1] == ':'))) return path;
  std::string cwd = plat::GetCurrentDirectory();
  if (cwd.empty() || plat::FindLastSeparator(cwd) != cwd.size() - 1) cwd += '\\';
  return cwd + path;
}

}  // namespace

std::string CQelDoc::OfficeWorkFolder() const { return TmpFolder() + "\\XLSX\\"; }

int CQelDoc::UnpackOfficePackage(std::string path) {
  // ExtractZip enters the work folder before it opens the package.
  path = AbsoluteWinPath(path);
  std::vector<uint8_t> bytes;
  {
    plat::File file;
    if (!file.Open(path, plat::File::Mode::Read)) return kPackageUnreadable;
    const int64_t length = file.GetLength();
    if (length > kPackageByteCap) return kPackageTooLarge;
    if (!TryAllocate(bytes, length, 1, 0, &m_allocHook)) return kPackageUnreadable;
    if (file.Read(bytes.data(), length) != length) return kPackageUnreadable;
  }
  int64_t total = 0, members = 0;
  if (!DeclaredSize(bytes, &total, &members) || members == 0) return kPackageUnreadable;
  if (total > kPackageByteCap || members > kPackageMemberCap) return kPackageTooLarge;
  bytes = {};

  const std::string folder = OfficeWorkFolder();
  if (!EmptyWorkFolder(*this, folder)) return kPackageUnreadable;
  // The extraction enters the work folder, which the next package empties: the
  // current folder is given back, so relative paths keep their meaning.
  const std::string current = plat::GetCurrentDirectory();
  if (ExtractZip(0, path, folder, 1, 0, nullptr) < 0) m_bPartialLoad = 1;
  if (!current.empty()) plat::SetCurrentDirectory(current);
  return 0;
}

void CQelDoc::AppendPackageTooLarge() {
  // The first line of the file-size-over message, with the cap.
  std::string text = LoadString(IDS_FILE_SIZE_OVER);
  text = text.substr(0, text.find('\r'));
  if (const size_t at = text.find("%d"); at != std::string::npos)
    text.replace(at, 2, std::to_string(kPackageByteCap >> 20));
  ConvAppend(text + "\r\n");
}
