// The DocImage's pixel block: released before a new load, replaced by a decoder. The
// block is held shared, so that a view shows it without a copy of its own and keeps
// it while the document loads the next image.
#include "app/QelDoc.h"

void CQelDoc::ReleaseImage() {
  m_imageStore.reset();
  m_pImageBits = nullptr;
  m_nImageAlloc = 0;
  m_nImageBitsOwner = 0;
  m_bImageCut = 0;
  m_bImageShort = 0;
}

void CQelDoc::SetImageBlock(std::vector<uint8_t>&& block, int owner) {
  m_imageStore = block.empty() ? nullptr : std::make_shared<std::vector<uint8_t>>(std::move(block));
  m_pImageBits = m_imageStore ? m_imageStore->data() : nullptr;
  m_nImageAlloc = m_imageStore ? static_cast<int>(std::min<size_t>(m_imageStore->size(), INT32_MAX)) : 0;
  m_nImageBitsOwner = m_pImageBits ? owner : 0;
  m_bImageCut = 0;
  m_bImageShort = 0;
}
