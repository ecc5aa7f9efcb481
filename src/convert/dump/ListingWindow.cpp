#include "convert/dump/ListingWindow.h"

#include <algorithm>

int64_t ListingWindow::Load(int64_t offset, int64_t size) {
  offset_ = offset;
  len_ = 0;
  data_ = nullptr;
  if (offset < 0 || size <= 0 || offset >= fileLength_) return 0;
  const int64_t want = std::min(size, fileLength_ - offset);
  if (held_ && offset + want <= heldLen_) {
    data_ = held_ + offset;
    len_ = want;
    return len_;
  }
  buffer_.resize(static_cast<size_t>(size));
  if (file_.Seek(offset, plat::File::Origin::Begin) != offset) return 0;
  len_ = std::max<int64_t>(file_.Read(buffer_.data(), want), 0);
  data_ = buffer_.data();
  return len_;
}
