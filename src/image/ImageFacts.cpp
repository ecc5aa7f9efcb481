// The document operations through which the rest of the program reads and sets the
// few DocImage facts it needs, so that only image code holds the image state.

#include "app/FileKind.h"
#include "app/QelDoc.h"
#include "base/AsciiCase.h"
#include "image/ImageState.h"

CQelDoc::ImageFacts CQelDoc::LoadedImageFacts() const {
  const ImageState& image = Image();
  ImageFacts facts;
  facts.held = image.m_pImageBits != nullptr;
  facts.loadState = image.m_nImageLoadState;
  facts.width = image.m_nImageWidth;
  facts.height = image.m_nImageHeight;
  facts.bitCount = image.m_bmiImage.bmiHeader.biBitCount;
  facts.cut = image.m_bImageCut != 0;
  facts.shortData = image.m_bImageShort != 0;
  return facts;
}

int CQelDoc::RegisteredImageKind(const std::string& ext) const {
  const auto& registered = Image().m_astrImageExt;
  for (int i = 0; i < static_cast<int>(registered.size()); ++i) {
    std::string name = AsciiLowerCopy(registered[i]);
    if (!name.empty() && name.front() == '.') name.erase(0, 1);
    if (!name.empty() && name == ext) return kKindUserImage1 + i;
  }
  return 0;
}

void CQelDoc::AllowImageLoad() { Image().m_nImageLoadState = 0; }

int CQelDoc::LoadNamedImageFile(const std::string& path, int option) {
  Image().m_strImageFile = path;
  return LoadImageFile(path, option);
}

void CQelDoc::SetImageTurn(int mirror, int rotation) {
  Image().m_bImageMirror = mirror;
  Image().m_nImageRotation = rotation;
}

void CQelDoc::SetImageClick(CPoint point) { Image().m_ptLastClick = point; }

const std::string& CQelDoc::LastImageFile() const { return Image().m_strImageFile; }

void CQelDoc::SetImageExtension(int slot, const std::string& ext) {
  if (slot >= 0 && slot < static_cast<int>(Image().m_astrImageExt.size())) Image().m_astrImageExt[slot] = ext;
}
