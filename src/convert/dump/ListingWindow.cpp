#include "convert/dump/ListingWindow.h"

#include <algorithm>

ByteCursor ListingWindow::Load(int64_t offset, int64_t size) {
  if (offset < 0 || size <= 0 || offset >= fileLength_) return {};
  const int64_t want = std::min(size, fileLength_ - offset);
  if (held_ && offset + want <= heldLen_) return ByteCursor(held_ + offset, want);
  buffer_.resize(static_cast<size_t>(size));
  if (file_.Seek(offset, plat::File::Origin::Begin) != offset) return {};
  return ByteCursor(buffer_.data(), std::max<int64_t>(file_.Read(buffer_.data(), want), 0));
}
