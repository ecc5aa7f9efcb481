// The DocImage's pixel block: released before a new load, replaced by a decoder.
#include "app/QelDoc.h"

void CQelDoc::ReleaseImage() {
  std::vector<uint8_t>().swap(m_imageStore);
  m_pImageBits = nullptr;
  m_nImageAlloc = 0;
  m_nImageBitsOwner = 0;
}

void CQelDoc::SetImageBlock(std::vector<uint8_t>&& block, int owner) {
  m_imageStore = std::move(block);
  m_pImageBits = m_imageStore.empty() ? nullptr : m_imageStore.data();
  m_nImageAlloc = static_cast<int>(std::min<size_t>(m_imageStore.size(), INT32_MAX));
  m_nImageBitsOwner = m_pImageBits ? owner : 0;
}
