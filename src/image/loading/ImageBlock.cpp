// The DocImage's pixel block: released before a new load, replaced by a decoder. The
// block is held shared, so that a view shows it without a copy of its own and keeps
// it while the document loads the next image.
#include "app/QelDoc.h"
#include "image/ImageState.h"

void CQelDoc::ReleaseImage() {
  Image().m_imageStore.reset();
  Image().m_pImageBits = nullptr;
  Image().m_nImageAlloc = 0;
  Image().m_nImageBitsOwner = 0;
  Image().m_bImageCut = 0;
  Image().m_bImageShort = 0;
}

void CQelDoc::SetImageBlock(PictureRows&& block, int owner) {
  Image().m_imageStore = block.empty() ? nullptr : std::make_shared<PictureRows>(std::move(block));
  Image().m_pImageBits = Image().m_imageStore ? Image().m_imageStore->data() : nullptr;
  Image().m_nImageAlloc = Image().m_imageStore ? static_cast<int>(std::min<size_t>(Image().m_imageStore->size(), INT32_MAX)) : 0;
  Image().m_nImageBitsOwner = Image().m_pImageBits ? owner : 0;
  Image().m_bImageCut = 0;
  Image().m_bImageShort = 0;
}
