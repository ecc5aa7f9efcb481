// CQelDoc::LoadImageAsDib: any picture LoadImageFile reads, written as a BMP file
// (the rich-text picture insertion and the file list's image joining use it).
#include "app/QelDoc.h"
#include "ops/ArchiveStatus.h"
#include "ops/SourceMode.h"
#include "image/ImageState.h"
#include "image/codecs/BmpFile.h"
#include "image/saving/SaveFile.h"
#include "platform/os/Files.h"

int CQelDoc::LoadImageAsDib(std::string source, std::string target) {
  // A protected or compressed source is read from its plain copy, which is removed
  // once the picture is loaded.
  const std::string ext = GetPathPart(source, PathPart::kExtension);
  std::string plainCopy;
  if (!ext.empty() && (ext[0] == '+' || ext[0] == '-' || ext[0] == '=')) {
    const ArchiveStatus expanded = ConvertSource(SourceMode::kExpand, source, "");
    if (expanded.ok()) plainCopy = expanded.path;
  }
  if (!plainCopy.empty() && m_nDisplayForm != 1) {
    source = plainCopy;
    m_nFileKind = GetFileKind(source);
  }
  const int savedState = Image().m_nImageLoadState;
  Image().m_nImageLoadState = 0;
  const int loaded = LoadImageFile(source, 0);
  Image().m_nImageLoadState = savedState;
  if (!plainCopy.empty()) plat::RemoveFile(plainCopy);
  if (loaded < 0 || !Image().m_pImageBits) return -1;
  const std::vector<uint8_t> bmp = BuildBmpFile(Image().m_pImageBits, Image().m_bmiImage);
  return !bmp.empty() && ReplaceFileWith(target, bmp).ok() ? 0 : -1;
}
