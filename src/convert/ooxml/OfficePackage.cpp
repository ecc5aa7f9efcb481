// Office Open XML package access: the package is read into memory once and its
// member list indexed by path; the converters read the parts they need by fixed
// names straight from it. Nothing is written to disk, so a package of many parts
// costs one pass over its members, and a missing part one lookup.
//
// Packages are hostile. Before anything is indexed the member list is read and the
// sizes it declares are summed: a package that would unpack to more than the cap
// (or hold more members than the member cap) is refused. The own ZIP reader never
// gives more than a member declares, so the cap holds for every part read. Member
// names are reduced to paths below the package's root, and a part is never looked
// for above it.
#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/QelDoc.h"
#include "app/Globals.h"
#include "app/StringTable.h"
#include "codec/CodecServices.h"
#include "base/CheckedSize.h"
#include "convert/office/OfficeState.h"
#include "platform/text/CodePage.h"
#include "convert/ooxml/PackageParts.h"
#include "frame/MainFrame.h"
#include "ops/ArchiveStatus.h"
#include "platform/os/Files.h"

namespace {

// Sums the sizes the members declare.
void DeclaredSize(const std::vector<ZipImageMember>& list, int64_t* total) {
  *total = 0;
  for (const ZipImageMember& e : list) {
    const auto size = static_cast<int64_t>(std::min<uint64_t>(e.declaredSize, INT64_MAX));
    const std::optional<int64_t> sum = CheckedSize(size, 1, *total);
    if (!sum) {
      *total = INT64_MAX;
      break;
    }
    *total = *sum;
  }
}

}  // namespace

std::string CQelDoc::OfficeWorkFolder() const { return TmpFolder() + "\\XLSX\\"; }

int CQelDoc::UnpackOfficePackage(std::string path) {
  Office().m_package.reset();
  std::vector<uint8_t> bytes;
  {
    plat::File file;
    if (!file.Open(path, plat::File::Mode::Read)) return kPackageUnreadable;
    const int64_t length = file.GetLength();
    if (length > kPackageByteCap) return kPackageTooLarge;
    if (!TryAllocate(bytes, length, 1, 0, &m_allocHook)) return kPackageUnreadable;
    if (file.Read(bytes.data(), length) != length) return kPackageUnreadable;
  }
  auto parts = std::make_shared<CPackageParts>();
  if (!parts->Open(std::move(bytes)) || parts->Members().empty()) return kPackageUnreadable;
  int64_t total = 0;
  DeclaredSize(parts->Members(), &total);
  if (total > kPackageByteCap || parts->Members().size() > static_cast<size_t>(kPackageMemberCap))
    return kPackageTooLarge;

  // Names are taken as the unpacking of a user's archive takes them: flagged UTF-8
  // names as such, others by the setting.
  const bool whole = parts->Index(
      [&](const ZipImageMember& m) { return ZipMemberName(m.name, m.utf8Name).path; },
      [](const std::string& note, const char* code) {
        AfxNote(note);
        if (code && g_pMainFrame) g_pMainFrame->SetWindowText(code);
      });
  if (!whole) m_bPartialLoad = 1;
  Office().m_package = std::move(parts);
  return 0;
}

bool CQelDoc::PackageHasPart(std::string_view rel) const { return Office().m_package && Office().m_package->Find(rel).has_value(); }

bool CQelDoc::PackageHasFolder(std::string_view rel) const { return Office().m_package && Office().m_package->HasFolder(rel); }

int64_t CQelDoc::PackagePartsRead() const { return Office().m_package ? Office().m_package->PartsUnpacked() : 0; }

void CQelDoc::DropPackage() { Office().m_package.reset(); }

void CQelDoc::AppendPackageTooLarge() {
  // The first line of the file-size-over message, with the cap.
  std::string text = LoadString(IDS_FILE_SIZE_OVER);
  text = text.substr(0, text.find('\r'));
  if (const size_t at = text.find("%d"); at != std::string::npos)
    text.replace(at, 2, std::to_string(kPackageByteCap >> 20));
  ConvAppend(text + "\r\n");
  // The message is the whole text: nothing of the package is shown.
  m_volumeCut = VolumeCut::kPackageCap;
  m_bNothingShown = 1;
}
