// BMZ: a ZIP archive holding one BMP file. ReadBmz unpacks the BMP member in
// memory with the own codec (bounded by the "bmpfile" volume) and reads it like a
// BMP file; WriteBmz packs a BMP file image as "Pelnor1.bmp".
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "archive/codec/CodecError.h"
#include "archive/codec/ZipReader.h"
#include "archive/codec/ZipWriter.h"
#include "image/Bmz.h"
#include "image/ImageStatus.h"

namespace {

// Keeps what fits under a limit and remembers that more came.
class LimitedSink : public codec::CByteSink {
 public:
  explicit LimitedSink(uint64_t limit) : limit_(limit) {}
  void Put(const uint8_t* data, size_t n) override {
    const size_t take = static_cast<size_t>(std::min<uint64_t>(n, limit_ - std::min<uint64_t>(limit_, bytes.size())));
    bytes.insert(bytes.end(), data, data + take);
  }
  std::vector<uint8_t> bytes;

 private:
  uint64_t limit_;
};

class SpanSource : public codec::CByteSource {
 public:
  explicit SpanSource(std::span<const uint8_t> data) : data_(data) {}
  int64_t Read(uint8_t* out, size_t n) override {
    const size_t take = std::min(n, data_.size() - pos_);
    std::memcpy(out, data_.data() + pos_, take);
    pos_ += take;
    return static_cast<int64_t>(take);
  }

 private:
  std::span<const uint8_t> data_;
  size_t pos_ = 0;
};

bool IsBmpName(const std::string& name) {
  if (name.size() < 4) return false;
  std::string ext = name.substr(name.size() - 4);
  for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return ext == ".bmp";
}

}  // namespace

int CQelDoc::ReadBmz(const uint8_t* file, int length, BITMAPINFO* out, std::string /*path*/) {
  LimitedSink sink(static_cast<uint64_t>(std::max(m_nBmpFileLimit, 0)));
  try {
    codec::CZipReader zip(std::span<const uint8_t>(file, static_cast<size_t>(std::max(length, 0))));
    const codec::ZipEntry* member = nullptr;
    for (const auto& e : zip.Entries()) {
      if (!member && IsBmpName(e.header.name)) member = &e;
    }
    if (!member && !zip.Entries().empty()) member = &zip.Entries().front();
    if (!member) return 0;
    zip.Extract(*member, sink);
  } catch (const codec::CodecError&) {
    // A member cut short gives what was unpacked; an unreadable archive nothing.
  }
  if (sink.bytes.size() < 2 || sink.bytes[0] != 'B' || sink.bytes[1] != 'M') {
    ConvAppend(LoadString(IDS_UNSUPPORTED_FORMAT));
    return 0;
  }
  if (!DecodeBmp(sink.bytes.data(), static_cast<int>(sink.bytes.size()), out)) return 0;
  char status[32];
  std::snprintf(status, sizeof status, "Bitmap(zip) %d bit", out->bmiHeader.biBitCount);
  ShowImageFormat(status);
  return 1;
}

bool PackBmz(std::span<const uint8_t> bmpFile, std::vector<uint8_t>& archive) {
  codec::CVectorSink sink;
  try {
    codec::CZipWriter writer(sink);
    codec::CZipHeader record;
    record.name = "Pelnor1.bmp";
    record.externalAttributes = 0x20;
    SpanSource source(bmpFile);
    writer.AddFile(record, source);
    writer.Finish();
  } catch (const codec::CodecError&) {
    return false;
  }
  archive = std::move(sink.bytes);
  return true;
}
