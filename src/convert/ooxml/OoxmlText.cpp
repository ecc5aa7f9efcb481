#include "convert/ooxml/OoxmlText.h"

#include <climits>
#include <optional>

#include "app/QelDoc.h"
#include "base/CheckedSize.h"
#include "base/ConvertStatus.h"
#include "base/StringIds.h"
#include "convert/office/OfficeState.h"
#include "convert/ooxml/PackageParts.h"
#include "convert/ooxml/XmlPart.h"

namespace ooxml {

namespace {
constexpr size_t kMaxPictureName = 255;
}

std::optional<ConvertStatus> UnpackForText(CQelDoc& doc, const std::string& path, const char* kind) {
  const int unpacked = doc.UnpackOfficePackage(path);
  if (unpacked == 0) return std::nullopt;
  doc.m_nConvPos = 0;
  doc.ConvWriter().Terminate();
  if (unpacked == CQelDoc::kPackageTooLarge) {
    doc.AppendPackageTooLarge();
    doc.m_bPartialLoad = 1;
    return ConvertStatus::Ok();
  }
  // Random bytes or an empty file under the package's name: no ZIP archive.
  return ConvertStatus::Message(IDS_NOT_OF_KIND).With(kind);
}

ConvertStatus DamageFound(CQelDoc& doc) {
  const std::string note = doc.Office().m_package ? doc.Office().m_package->DamageAsked() : std::string();
  if (note.empty()) return ConvertStatus::Ok();
  doc.m_nConvPos = 0;
  doc.ConvWriter().Terminate();
  return ConvertStatus::Message(IDS_FILE_DAMAGED).With(note);
}

std::vector<std::string> ReadPictureNames(std::string_view rels, std::string_view targetPattern, int count) {
  std::vector<std::string> names(static_cast<size_t>(count));
  constexpr std::string_view kTag = "<Relationship ";
  for (size_t at = rels.find(kTag); at != std::string_view::npos; at = rels.find(kTag, at + 1)) {
    int pos = static_cast<int>(at + kTag.size());
    const int number = XmlFindInElement("Id=\"rId", rels, &pos, kXmlNumber);
    if (number < 1 || number >= count) continue;
    if (!XmlFindInElement(targetPattern, rels, &pos, kXmlMoveTo)) continue;
    std::string name;
    for (size_t k = static_cast<size_t>(pos); k < rels.size() && name.size() < kMaxPictureName; ++k) {
      const char c = rels[k];
      if (c == '"' || c == '/' || c == '>') break;
      name += c;
    }
    names[static_cast<size_t>(number)] = name;
  }
  return names;
}

bool GrowConvOutput(CQelDoc& doc, int64_t bytes) {
  if (bytes <= doc.m_nConvCap) return true;
  if (bytes > INT_MAX || (doc.m_pConvBuf && doc.m_pConvBuf != doc.m_convStore.data())) return false;
  if (!TryAllocate(doc.m_convStore, bytes, 1, 0, &doc.m_allocHook)) return false;
  doc.m_pConvBuf = doc.m_convStore.data();
  doc.m_nConvCap = static_cast<int>(bytes);
  return true;
}

std::string PictureLabel(const std::vector<std::string>& names, int number) {
  if (number >= 0 && static_cast<size_t>(number) < names.size()) return "[" + names[static_cast<size_t>(number)] + "]";
  return "[Image]";
}

}  // namespace ooxml
