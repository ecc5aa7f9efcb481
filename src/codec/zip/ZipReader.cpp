#include "codec/zip/ZipReader.h"

#include <algorithm>
#include <string_view>

#include "codec/CodecError.h"
#include "codec/deflate/Inflate.h"
#include "codec/zip/ZipSizes.h"
#include "base/ByteCursor.h"

namespace codec {
namespace {

constexpr uint64_t kUnlimited = ~uint64_t{0};
constexpr size_t kEndRecordSize = 22;
constexpr size_t kCentralSize = CentralField::kSize;
constexpr size_t kLocalSize = LocalField::kSize;

// Applies the Zip64 field to the values that hold their 32-bit escape (in a local
// header, to both sizes, which it must hold); a field that runs past the extra
// field's end is not taken.
void ApplyZip64(CZipHeader& h, bool central) {
  const Zip64Escapes escapes{h.uncompressedSize == kZip64Escape || !central, h.compressedSize == kZip64Escape || !central,
                             central && h.localOffset == kZip64Escape};
  const Zip64Field z = ReadZip64Field(h.extra, h.extra.size(), escapes);
  if (!z.found || z.passesEnd) return;
  if (z.uncompressedSize) h.uncompressedSize = *z.uncompressedSize;
  if (z.compressedSize) h.compressedSize = *z.compressedSize;
  if (z.localOffset) h.localOffset = *z.localOffset;
}

// Counts the bytes inflated while a member's end is sought, and asks the walk's poll
// every few megabytes; a poll that says stop ends the inflation (WalkStop).
struct WalkStop {};
class CPolledCount : public CByteSink {
 public:
  explicit CPolledCount(const std::function<bool()>& stop) : stop_(stop) {}
  void Put(const uint8_t*, size_t n) override {
    count_ += n;
    if (stop_ && count_ >= nextPoll_) {
      nextPoll_ = count_ + kPollEvery;
      if (stop_()) throw WalkStop{};
    }
  }

 private:
  static constexpr uint64_t kPollEvery = uint64_t{4} << 20;
  const std::function<bool()>& stop_;
  uint64_t count_ = 0;
  uint64_t nextPoll_ = kPollEvery;
};

}  // namespace

std::span<const uint8_t> CZipReader::Bytes(uint64_t offset, uint64_t n, const char* code) const {
  CODEC_CHECK(offset <= archive_.size() && n <= archive_.size() - offset, code);
  return archive_.subspan(static_cast<size_t>(offset), static_cast<size_t>(n));
}

CZipReader::CZipReader(std::span<const uint8_t> archive, const ZipWalkLimits& limits) : archive_(archive) {
  if (ReadDirectory()) {
    fromDirectory_ = true;
    return;
  }
  entries_.clear();
  // An archive that starts with the "PK00" marker of a one-part spanned archive.
  uint64_t start = ByteCursor(archive_).PeekU32LE(0) == kSpannedMarker ? 4 : 0;
  WalkLocalHeaders(start, limits);
}

bool CZipReader::ReadDirectory() {
  const size_t size = archive_.size();
  const ByteCursor in(archive_);
  if (size < kEndRecordSize) return false;
  // The end record sits in the last 22 + 65,535 bytes (its comment may follow it).
  size_t lowest = size - kEndRecordSize > 0xFFFF ? size - kEndRecordSize - 0xFFFF : 0;
  size_t end = size - kEndRecordSize + 1;
  bool found = false;
  while (end-- > lowest) {
    if (in.PeekU32LE(end) == kEndSignature) {
      found = true;
      break;
    }
  }
  if (!found) return false;
  uint64_t count = in.PeekU16LE(end + 10);
  uint64_t dirSize = in.PeekU32LE(end + 12);
  uint64_t dirOffset = in.PeekU32LE(end + 16);
  uint64_t dirEnd = end;  // where the directory should end, as the archive stands
  if (end >= 20 && in.PeekU32LE(end - 20) == kZip64LocatorSignature) {
    // The Zip64 end record lies just before the locator (its recorded offset may be
    // shifted like the others, so its place is taken from the locator's).
    if (end < 20 + 56) return false;
    uint64_t at = end - 20 - 56;
    if (in.PeekU32LE(at) != kZip64EndSignature) return false;
    count = in.PeekU64LE(at + 32);
    dirSize = in.PeekU64LE(at + 40);
    dirOffset = in.PeekU64LE(at + 48);
    dirEnd = at;
  }
  // Bytes in front of the archive (a self-extractor, a marker) shift every offset.
  if (dirSize > dirEnd || dirOffset > dirEnd - dirSize) return false;
  const uint64_t shift = dirEnd - dirSize - dirOffset;
  if (count > dirSize / kCentralSize) return false;

  uint64_t p = dirOffset + shift;
  for (uint64_t i = 0; i < count; ++i) {
    if (p + kCentralSize > dirEnd || in.PeekU32LE(p) != kCentralSignature) return false;
    const uint8_t* c = &archive_[p];  // the record's name and extra field follow it
    ZipFixedPart fixed;
    ReadCentralFixed(archive_.subspan(static_cast<size_t>(p), kCentralSize), fixed);
    ZipEntry entry{};
    CZipHeader& h = entry.header;
    h = std::move(fixed.header);
    const uint64_t nameLen = fixed.nameLength, extraLen = fixed.extraLength, commentLen = fixed.commentLength;
    uint64_t next = p + kCentralSize + nameLen + extraLen + commentLen;
    if (next > dirEnd) return false;
    h.name.assign(reinterpret_cast<const char*>(c + kCentralSize), nameLen);
    h.extra.assign(c + kCentralSize + nameLen, c + kCentralSize + nameLen + extraLen);
    ApplyZip64(h, true);

    uint64_t local = h.localOffset + shift;
    if (local > size || size - local < kLocalSize || in.PeekU32LE(local) != kLocalSignature) return false;
    entry.headerOffset = local;
    ZipFixedPart localFixed;
    ReadLocalFixed(archive_.subspan(static_cast<size_t>(local), kLocalSize), localFixed);
    entry.dataOffset = local + kLocalSize + localFixed.nameLength + localFixed.extraLength;
    if (entry.dataOffset > size || h.compressedSize > size - entry.dataOffset) return false;
    entries_.push_back(std::move(entry));
    p = next;
  }
  return true;
}

void CZipReader::WalkLocalHeaders(uint64_t p, const ZipWalkLimits& limits) {
  const uint64_t size = archive_.size();
  const ByteCursor in(archive_);
  uint64_t walked = 0;  // bytes the members found so far inflate to
  while (p + 4 <= size && in.PeekU32LE(p) == kLocalSignature) {
    ZipFixedPart fixed;
    ReadLocalFixed(Bytes(p, kLocalSize, err::kLocalHeaderBeyond), fixed);
    ZipEntry entry{};
    CZipHeader& h = entry.header;
    h = std::move(fixed.header);
    const uint64_t nameLen = fixed.nameLength, extraLen = fixed.extraLength;
    std::span<const uint8_t> var = Bytes(p + kLocalSize, nameLen + extraLen, err::kLocalNameBeyond);
    h.name.assign(reinterpret_cast<const char*>(var.data()), nameLen);
    h.extra.assign(var.begin() + static_cast<std::ptrdiff_t>(nameLen), var.end());
    ApplyZip64(h, false);
    h.localOffset = p;
    entry.headerOffset = p;
    entry.dataOffset = p + kLocalSize + nameLen + extraLen;
    uint64_t next;
    if (h.flags & kFlagDescriptor) {
      // The sizes follow the data. Only a Deflate stream tells where its data ends.
      CODEC_CHECK(h.method == 8 && !(h.flags & kFlagEncrypted), err::kDescriptor);
      CInflater inflater;
      CPolledCount count(limits.stop);
      const uint64_t room = std::min(limits.member, limits.total - std::min(walked, limits.total));
      InflateResult r;
      try {
        r = inflater.Run(archive_.subspan(static_cast<size_t>(entry.dataOffset)), count, room);
      } catch (const WalkStop&) {
        walkStopped_ = true;
        return;
      } catch (const CodecError& e) {
        // Past its room (the inflater's size error): listed as the member that passed it.
        if (std::string_view(e.Code()) != err::kSizeMismatch) throw;
        h.uncompressedSize = room == kUnlimited ? room : room + 1;
        h.compressedSize = size - entry.dataOffset;
        entries_.push_back(std::move(entry));
        walkCut_ = true;
        return;
      }
      walked += r.produced;
      const uint64_t q = entry.dataOffset + r.consumed;
      const bool wide = ReadZip64Field(h.extra, h.extra.size(), {}).found;
      const ZipDescriptor d = ReadDescriptor(archive_.subspan(static_cast<size_t>(q)), wide, DescriptorMarks::kSignature);
      CODEC_CHECK(d.complete, err::kDescriptor);
      CODEC_CHECK(d.compressedSize == r.consumed && d.uncompressedSize == r.produced, err::kDescriptor);
      h.crc32 = d.crc32;
      h.compressedSize = d.compressedSize;
      h.uncompressedSize = d.uncompressedSize;
      next = q + d.length;
    } else {
      Bytes(entry.dataOffset, h.compressedSize, err::kDirectory);
      next = entry.dataOffset + h.compressedSize;
    }
    entries_.push_back(std::move(entry));
    p = next;
  }
}

bool CZipReader::MembersOverlap() const {
  std::vector<std::pair<uint64_t, uint64_t>> spans;  // [local header, end of data)
  spans.reserve(entries_.size());
  for (const ZipEntry& e : entries_) spans.emplace_back(e.headerOffset, e.dataOffset + e.header.compressedSize);
  std::sort(spans.begin(), spans.end());
  for (size_t i = 1; i < spans.size(); ++i)
    if (spans[i].first < spans[i - 1].second) return true;
  return false;
}

uint64_t CZipReader::DeclaredTotal() const {
  uint64_t total = 0;
  for (const ZipEntry& e : entries_) total = e.header.uncompressedSize > ~total ? ~uint64_t{0} : total + e.header.uncompressedSize;
  return total;
}

uint64_t CZipReader::Extract(const ZipEntry& entry, CByteSink& sink, const ZipExtractOptions& options) const {
  const CZipHeader& h = entry.header;
  CODEC_CHECK(!(h.flags & kFlagEncrypted), err::kEncrypted);
  std::span<const uint8_t> data = Bytes(entry.dataOffset, h.compressedSize, err::kDirectory);
  CCrc32Writer out(&sink, !options.placeholderSizes);
  if (h.method == 0) {
    if (!options.placeholderSizes) CODEC_CHECK(h.uncompressedSize == h.compressedSize, err::kSizeMismatch);
    out.Put(data.data(), data.size());
  } else if (h.method == 8) {
    CInflater inflater;
    inflater.Run(data, out, h.uncompressedSize, options.placeholderSizes);
  } else {
    return 0;
  }
  if (!options.placeholderSizes) {
    CODEC_CHECK(out.Count() == h.uncompressedSize, err::kSizeMismatch);
    CODEC_CHECK(out.Crc() == h.crc32, err::kCrcMismatch);
  }
  return out.Count();
}

}  // namespace codec
