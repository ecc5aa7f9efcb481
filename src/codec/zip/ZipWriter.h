// The ZIP writer: each file member is read once, its CRC-32 taken and its bytes
// deflated into memory, then its local header and data go out; the central
// directory and the end record close the archive. No data descriptor is written.
// Members and archives of 4 GiB or more, and more than 65,535 members, are refused
// (the records written here have 32-bit sizes).
#pragma once

#include <cstdint>
#include <vector>

#include "codec/ByteSink.h"
#include "codec/zip/ZipRecords.h"

namespace codec {

class CByteSource {
 public:
  virtual ~CByteSource() = default;
  // Reads up to n bytes; 0 at the end, -1 on an error.
  virtual int64_t Read(uint8_t* data, size_t n) = 0;
};

class CZipWriter {
 public:
  explicit CZipWriter(CByteSink& archive) : archive_(archive) {}

  // A file member: name, time and external attributes come from record; method,
  // sizes and CRC are filled here. A read error gives err::kWrite.
  void AddFile(CZipHeader record, CByteSource& source);
  // A folder member (the name ends with '/'): version 10, method 0, no data.
  void AddFolder(CZipHeader record);
  // Writes the central directory and the end record.
  void Finish();

 private:
  void Emit(CZipHeader& record, const std::vector<uint8_t>& data);

  CByteSink& archive_;
  std::vector<uint8_t> directory_;
  uint64_t written_ = 0;
  uint32_t count_ = 0;
};

}  // namespace codec
