#include "codec/zip/ZipWriter.h"

#include <array>

#include "codec/CodecError.h"
#include "codec/checksums/Crc32.h"
#include "codec/deflate/Deflate.h"
#include "codec/ErrorCodes.h"

namespace codec {
namespace {
constexpr uint64_t kLimit = 0xFFFFFFFFull;  // 32-bit fields: this value and above are refused
}

void CZipWriter::Emit(CZipHeader& record, const std::vector<uint8_t>& data) {
  CODEC_CHECK(count_ < 0xFFFF, err::kTooLarge);
  CODEC_CHECK(written_ < kLimit, err::kTooLarge);
  record.localOffset = written_;
  std::vector<uint8_t> local;
  record.signature = kLocalSignature;
  AppendLocalHeader(local, record);
  CODEC_CHECK(written_ + local.size() + data.size() < kLimit, err::kTooLarge);
  archive_.Put(local.data(), local.size());
  if (!data.empty()) archive_.Put(data.data(), data.size());
  written_ += local.size() + data.size();
  record.signature = kCentralSignature;
  AppendCentralHeader(directory_, record);
  ++count_;
}

void CZipWriter::AddFile(CZipHeader record, CByteSource& source) {
  std::vector<uint8_t> data;
  CCrc32 crc;
  uint64_t size = 0;
  {
    CDeflater deflater(data);
    std::array<uint8_t, 65536> chunk;
    for (;;) {
      int64_t n = source.Read(chunk.data(), chunk.size());
      CODEC_CHECK(n >= 0, err::kWrite);
      if (n == 0) break;
      size += static_cast<uint64_t>(n);
      CODEC_CHECK(size < kLimit, err::kTooLarge);
      crc.Update(chunk.data(), static_cast<size_t>(n));
      deflater.Write(chunk.data(), static_cast<size_t>(n));
    }
    deflater.Finish();
  }
  record.versionMadeBy = 20;
  record.versionNeeded = 20;
  record.method = 8;
  record.crc32 = crc.Value();
  record.uncompressedSize = size;
  record.compressedSize = data.size();
  Emit(record, data);
}

void CZipWriter::AddFolder(CZipHeader record) {
  record.versionMadeBy = 20;
  record.versionNeeded = 10;
  record.method = 0;
  record.crc32 = 0;
  record.compressedSize = record.uncompressedSize = 0;
  record.externalAttributes = 0;
  Emit(record, {});
}

void CZipWriter::Finish() {
  CODEC_CHECK(written_ + directory_.size() < kLimit, err::kTooLarge);
  std::vector<uint8_t> end;
  AppendEndRecord(end, count_, static_cast<uint32_t>(directory_.size()), static_cast<uint32_t>(written_));
  archive_.Put(directory_.data(), directory_.size());
  archive_.Put(end.data(), end.size());
}

}  // namespace codec
