// Where decoded bytes go: a file, a bounded memory buffer, a CRC check, a vector.
#pragma once

#include <cstddef>
#include <cstdint>
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

}  // namespace codec
