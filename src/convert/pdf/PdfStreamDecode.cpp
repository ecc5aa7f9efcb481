// Flate decoding of PDF streams into the reader's bounded stream buffer.
#include "convert/pdf/PdfStreamDecode.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <string_view>

#include "archive/codec/CodecError.h"
#include "archive/codec/ErrorCodes.h"

namespace {

// Writes into a fixed buffer; never past its capacity.
class BoundedSink : public codec::CByteSink {
 public:
  BoundedSink(uint8_t* out, int64_t capacity) : out_(out), cap_(capacity) {}
  void Put(const uint8_t* data, size_t n) override {
    const int64_t take = std::min<int64_t>(static_cast<int64_t>(n), cap_ - len_);
    if (take > 0) std::memcpy(out_ + len_, data, static_cast<size_t>(take));
    len_ += std::max<int64_t>(take, 0);
  }
  int64_t Length() const { return len_; }

 private:
  uint8_t* out_;
  int64_t cap_;
  int64_t len_ = 0;
};

}  // namespace

int64_t PdfInflate(codec::CInflater& inflater, const uint8_t* in, int64_t length, uint8_t* out, int64_t capacity) {
  if (length <= 0 || capacity <= 0) return -1;
  BoundedSink sink(out, capacity);
  try {
    inflater.Run(std::span<const uint8_t>(in, static_cast<size_t>(length)), sink, static_cast<uint64_t>(capacity), true);
  } catch (const codec::CodecError& e) {
    if (std::string_view(e.Code()) == codec::err::kSizeMismatch) return -3;
    if (sink.Length() == 0) return -1;
  }
  return sink.Length();
}
