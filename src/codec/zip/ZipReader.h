// The ZIP reader. Members are found from the central directory (with Zip64 sizes and
// offsets, and the offset shift of an archive with bytes in front of it); an archive
// without a usable directory is walked from its first local header by each member's
// own sizes, a member with a data descriptor by the end of its Deflate stream. No
// member is ever found by searching the data for a signature.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "codec/ByteSink.h"
#include "codec/checksums/Crc32.h"
#include "codec/zip/ZipRecords.h"

namespace codec {

struct ZipEntry {
  CZipHeader header;      // from the central directory when there is one
  uint64_t dataOffset;    // first byte of the member's data in the archive
  uint64_t headerOffset;  // its local header in the archive
};

// Passes bytes on to a target (none: they are only checked) and keeps their CRC-32
// and count.
class CCrc32Writer : public CByteSink {
 public:
  // Without `check` the bytes are only counted and passed on (a placeholder CRC
  // that nothing compares with is not worth computing).
  explicit CCrc32Writer(CByteSink* target, bool check = true) : target_(target), check_(check) {}
  void Put(const uint8_t* data, size_t n) override {
    if (check_) crc_.Update(data, n);
    count_ += n;
    if (target_) target_->Put(data, n);
  }
  uint32_t Crc() const { return crc_.Value(); }
  uint64_t Count() const { return count_; }

 private:
  CByteSink* target_;
  bool check_;
  CCrc32 crc_;
  uint64_t count_ = 0;
};

struct ZipExtractOptions {
  // The header's sizes and CRC are placeholders (the temporary archive around a bare
  // Deflate stream): the stream's end decides, output beyond the uncompressed size
  // throws the size error (the caller takes it as the end of its room), and a stream
  // cut short gives what it holds.
  bool placeholderSizes = false;
};

// Bounds of the walk of an archive without a usable directory, where a member with a
// data descriptor is found only by inflating it: the most one member, and all of
// them together, may inflate to, and a poll (every few megabytes of output) that
// ends the walk when it returns true.
struct ZipWalkLimits {
  uint64_t member = ~uint64_t{0};
  uint64_t total = ~uint64_t{0};
  std::function<bool()> stop;
};

class CZipReader {
 public:
  // Reads the member list; throws a CodecError when the archive cannot be read.
  explicit CZipReader(std::span<const uint8_t> archive, const ZipWalkLimits& limits = {});

  const std::vector<ZipEntry>& Entries() const { return entries_; }
  // True when the list came from the central directory.
  bool FromDirectory() const { return fromDirectory_; }
  // True when two members share bytes: their local headers and data overlap (a
  // directory whose entries point into one member to unpack it over and over).
  bool MembersOverlap() const;
  // True when the walk ended at a bound: its last member is the one that passed it,
  // declared one byte past what was left for it (so that DeclaredTotal, or that
  // member's size, tells the bound passed), with the rest of the archive as its data.
  bool WalkCut() const { return walkCut_; }
  // True when the poll ended the walk: the members found so far are listed.
  bool WalkStopped() const { return walkStopped_; }
  // The sum of the members' declared sizes: at most what unpacking writes, since no
  // member is written beyond its size.
  uint64_t DeclaredTotal() const;

  // Decodes a member into sink and checks its size and CRC-32 against the header.
  // Methods other than 0 and 8 are not decoded (the caller skips them).
  uint64_t Extract(const ZipEntry& entry, CByteSink& sink, const ZipExtractOptions& options = {}) const;

 private:
  bool ReadDirectory();
  void WalkLocalHeaders(uint64_t start, const ZipWalkLimits& limits);
  std::span<const uint8_t> Bytes(uint64_t offset, uint64_t n, const char* code) const;

  std::span<const uint8_t> archive_;
  std::vector<ZipEntry> entries_;
  bool fromDirectory_ = false;
  bool walkCut_ = false;
  bool walkStopped_ = false;
};

}  // namespace codec
