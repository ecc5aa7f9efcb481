#include "codec/CodecServices.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "codec/ByteSink.h"
#include "codec/CodecError.h"
#include "codec/checksums/Crc32.h"
#include "codec/deflate/Deflate.h"
#include "codec/ErrorCodes.h"
#include "codec/deflate/Inflate.h"
#include "codec/zip/ZipReader.h"
#include "codec/zip/ZipWriter.h"

namespace {

class SpanSource : public codec::CByteSource {
 public:
  explicit SpanSource(std::span<const uint8_t> data) : data_(data) {}
  int64_t Read(uint8_t* out, size_t n) override {
    const size_t take = std::min(n, data_.size() - pos_);
    if (take > 0) std::memcpy(out, data_.data() + pos_, take);
    pos_ += take;
    return static_cast<int64_t>(take);
  }

 private:
  std::span<const uint8_t> data_;
  size_t pos_ = 0;
};

// The two sums of Adler-32 (RFC 1950) carried on over n more bytes.
void AdlerUpdate(uint32_t& s1, uint32_t& s2, const uint8_t* data, size_t n) {
  for (size_t at = 0; at < n;) {
    const size_t block = std::min<size_t>(n - at, 5552);  // no overflow before the modulo
    for (size_t i = 0; i < block; ++i) {
      s1 += data[at + i];
      s2 += s1;
    }
    s1 %= 65521;
    s2 %= 65521;
    at += block;
  }
}

void PutAdler(uint32_t s1, uint32_t s2, std::vector<uint8_t>& out) {
  const uint32_t adler = (s2 << 16) | s1;
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(adler >> shift));
}

}  // namespace

uint32_t Crc32Of(const uint8_t* data, size_t n) { return ~codec::Crc32Update(0xFFFFFFFFu, data, n); }

void DeflateAppend(std::span<const uint8_t> bytes, std::vector<uint8_t>& out) {
  codec::CDeflater deflater(out, bytes.size());
  deflater.Write(bytes.data(), bytes.size());
  deflater.Finish();
}

void ZlibAppend(std::span<const uint8_t> bytes, std::vector<uint8_t>& out) {
  out.push_back(0x78);
  out.push_back(0xDA);
  DeflateAppend(bytes, out);
  uint32_t s1 = 1, s2 = 0;
  AdlerUpdate(s1, s2, bytes.data(), bytes.size());
  PutAdler(s1, s2, out);
}

CZlibWriter::CZlibWriter(size_t expected) {
  out_ = {0x78, 0xDA};
  deflater_ = std::make_unique<codec::CDeflater>(out_, expected);
}
CZlibWriter::~CZlibWriter() = default;

void CZlibWriter::Write(const uint8_t* data, size_t n) {
  AdlerUpdate(s1_, s2_, data, n);
  deflater_->Write(data, n);
}

void CZlibWriter::Finish() {
  deflater_->Finish();
  PutAdler(s1_, s2_, out_);
  finished_ = true;
}

std::span<const uint8_t> CZlibWriter::Ready() const {
  return {out_.data(), finished_ ? out_.size() : deflater_->Ready()};
}

void CZlibWriter::Release() {
  if (finished_) {
    out_.clear();
  } else {
    deflater_->Release();
  }
}

CBufferInflater::CBufferInflater() : inflater_(std::make_unique<codec::CInflater>()) {}
CBufferInflater::~CBufferInflater() = default;

int64_t CBufferInflater::Run(const uint8_t* in, int64_t length, uint8_t* out, int64_t capacity) {
  if (capacity <= 0) return -1;
  codec::CBoundedSink sink(out, static_cast<uint64_t>(capacity));
  const int64_t run = Run(in, length, static_cast<codec::CByteSink&>(sink), capacity);
  return run < 0 ? run : static_cast<int64_t>(sink.Kept());
}

int64_t CBufferInflater::Run(const uint8_t* in, int64_t length, codec::CByteSink& sink, int64_t capacity) {
  if (length <= 0 || capacity <= 0) return -1;
  struct Counting : codec::CByteSink {
    explicit Counting(codec::CByteSink& to) : to_(to) {}
    void Put(const uint8_t* data, size_t n) override {
      to_.Put(data, n);
      count += n;
    }
    codec::CByteSink& to_;
    uint64_t count = 0;
  } counting(sink);
  try {
    inflater_->Run(std::span<const uint8_t>(in, static_cast<size_t>(length)), counting, static_cast<uint64_t>(capacity), true);
  } catch (const codec::CodecError& e) {
    if (std::string_view(e.Code()) == codec::err::kSizeMismatch) return -3;
    if (counting.count == 0) return -1;
  }
  return static_cast<int64_t>(counting.count);
}

std::optional<std::vector<ZipImageMember>> ListZipImage(std::span<const uint8_t> archive) {
  try {
    codec::CZipReader reader(archive);
    std::vector<ZipImageMember> members;
    members.reserve(reader.Entries().size());
    for (const codec::ZipEntry& e : reader.Entries())
      members.push_back({e.header.name, e.header.uncompressedSize, e.header.method, (e.header.flags & codec::kFlagUtf8) != 0});
    return members;
  } catch (const codec::CodecError&) {
    return std::nullopt;
  }
}

struct CZipImage::Reader {
  explicit Reader(std::span<const uint8_t> bytes) : zip(bytes) {}
  codec::CZipReader zip;
};

CZipImage::CZipImage() = default;
CZipImage::~CZipImage() = default;

bool CZipImage::Open(std::vector<uint8_t> bytes) {
  reader_.reset();
  members_.clear();
  bytes_ = std::move(bytes);
  try {
    reader_ = std::make_unique<Reader>(bytes_);
  } catch (const codec::CodecError&) {
    bytes_ = {};
    return false;
  }
  members_.reserve(reader_->zip.Entries().size());
  for (const codec::ZipEntry& e : reader_->zip.Entries())
    members_.push_back({e.header.name, e.header.uncompressedSize, e.header.method, (e.header.flags & codec::kFlagUtf8) != 0});
  return true;
}

std::string CZipImage::Unpack(size_t index, uint8_t* out) const {
  if (!reader_ || index >= members_.size()) return codec::err::kWrite;
  const codec::ZipEntry& entry = reader_->zip.Entries()[index];
  codec::CBoundedSink sink(out, out ? entry.header.uncompressedSize : 0);
  try {
    reader_->zip.Extract(entry, sink);
  } catch (const codec::CodecError& e) {
    return e.Code();
  }
  return {};
}

std::vector<uint8_t> UnpackZipImageMember(std::span<const uint8_t> archive, size_t index, uint64_t limit) {
  std::vector<uint8_t> bytes;
  codec::CBoundedSink sink(bytes, limit);
  try {
    codec::CZipReader reader(archive);
    if (index < reader.Entries().size()) reader.Extract(reader.Entries()[index], sink);
  } catch (const codec::CodecError&) {
    // What came before the fault stays.
  }
  return bytes;
}

bool PackZipImage(const std::string& name, std::span<const uint8_t> bytes, uint32_t attributes,
                  std::vector<uint8_t>& archive) {
  codec::CVectorSink sink;
  try {
    codec::CZipWriter writer(sink);
    codec::CZipHeader record;
    record.name = name;
    record.externalAttributes = attributes;
    SpanSource source(bytes);
    writer.AddFile(record, source);
    writer.Finish();
  } catch (const codec::CodecError&) {
    return false;
  }
  archive = std::move(sink.bytes);
  return true;
}
