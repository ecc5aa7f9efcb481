// Where decoded bytes go: a file, a bounded memory buffer, a CRC check, a vector.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace codec {

class CByteSink {
 public:
  virtual ~CByteSink() = default;
  virtual void Put(const uint8_t* data, size_t n) = 0;
};

// Appends everything to a vector (tests, benchmarks, the fuzz targets).
class CVectorSink : public CByteSink {
 public:
  void Put(const uint8_t* data, size_t n) override { bytes.insert(bytes.end(), data, data + n); }
  std::vector<uint8_t> bytes;
};

// Counts and drops (a dry run that only checks the data).
class CNullSink : public CByteSink {
 public:
  void Put(const uint8_t*, size_t n) override { count += n; }
  uint64_t count = 0;
};

// Keeps the first `limit` bytes that come and counts all of them: in a caller's
// buffer of at least `limit` bytes, or appended to a vector that grows up to the
// limit. Never writes past the limit, whatever the stream holds.
class CBoundedSink : public CByteSink {
 public:
  CBoundedSink(uint8_t* out, uint64_t limit) : out_(out), limit_(out ? limit : 0) {}
  CBoundedSink(std::vector<uint8_t>& grow, uint64_t limit) : grow_(&grow), limit_(limit) {}
  void Put(const uint8_t* data, size_t n) override {
    const size_t take = static_cast<size_t>(std::min<uint64_t>(n, limit_ - kept_));
    if (take > 0) {
      if (grow_) {
        grow_->insert(grow_->end(), data, data + take);
      } else {
        std::memcpy(out_ + kept_, data, take);
      }
      kept_ += take;
    }
    total_ += n;
  }
  // Bytes stored (at most the limit), and bytes that came.
  uint64_t Kept() const { return kept_; }
  uint64_t Total() const { return total_; }
  bool Overflowed() const { return total_ > kept_; }

 private:
  uint8_t* out_ = nullptr;
  std::vector<uint8_t>* grow_ = nullptr;
  uint64_t limit_;
  uint64_t kept_ = 0;
  uint64_t total_ = 0;
};

}  // namespace codec
