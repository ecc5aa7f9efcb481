// The own codec as callers outside archive/ use it: PNG and BMZ pictures (image/),
// the Flate streams of PDF files read and written (convert/pdf/, richtext/sheet/),
// Office packages (convert/ooxml/). Whole buffers in and out, failures as values: no
// CodecError leaves these functions. archive/ drives the codec's readers and writers
// itself and catches their CodecError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace codec {
class CByteSink;
class CDeflater;
class CInflater;
}

// CRC-32 of ZIP and PNG over n bytes.
uint32_t Crc32Of(const uint8_t* data, size_t n);

// Appends the raw Deflate stream of bytes to out.
void DeflateAppend(std::span<const uint8_t> bytes, std::vector<uint8_t>& out);
// Appends the zlib stream of bytes (RFC 1950: header, raw Deflate, Adler-32) to out.
void ZlibAppend(std::span<const uint8_t> bytes, std::vector<uint8_t>& out);

// A zlib stream made piece by piece, for a writer that passes it on while it is made
// (a large picture's rows need never be held whole): Write compresses more input,
// Ready gives the bytes finished since the last Release, and Finish ends the stream
// with its Adler-32 (Ready then gives the rest).
class CZlibWriter {
 public:
  // expected: the whole input's size when it is known.
  explicit CZlibWriter(size_t expected = SIZE_MAX);
  ~CZlibWriter();
  CZlibWriter(const CZlibWriter&) = delete;
  CZlibWriter& operator=(const CZlibWriter&) = delete;

  void Write(const uint8_t* data, size_t n);
  void Finish();
  std::span<const uint8_t> Ready() const;
  void Release();

 private:
  std::vector<uint8_t> out_;
  std::unique_ptr<codec::CDeflater> deflater_;
  uint32_t s1_ = 1, s2_ = 0;
  bool finished_ = false;
};

// Raw Deflate data into a caller's buffer; the decode tables are kept from one
// stream to the next.
class CBufferInflater {
 public:
  CBufferInflater();
  ~CBufferInflater();
  CBufferInflater(const CBufferInflater&) = delete;
  CBufferInflater& operator=(const CBufferInflater&) = delete;

  // Inflates in into out (at most capacity bytes). Returns the length, -3 when the
  // data holds more than capacity (out then holds the first capacity bytes), or -1
  // when nothing could be decoded. A stream that breaks off keeps what was decoded
  // before the break.
  int64_t Run(const uint8_t* in, int64_t length, uint8_t* out, int64_t capacity);
  // The same into a sink that takes the bytes as they are decoded, so that no
  // buffer need hold them all.
  int64_t Run(const uint8_t* in, int64_t length, codec::CByteSink& sink, int64_t capacity);

 private:
  std::unique_ptr<codec::CInflater> inflater_;
};

// A ZIP archive held in memory.
struct ZipImageMember {
  std::string name;
  uint64_t declaredSize = 0;  // the uncompressed size the archive gives
  uint16_t method = 0;        // 0 stored, 8 Deflate; others cannot be unpacked
  bool utf8Name = false;      // the name is flagged as UTF-8
};
// Its members in order, or nothing when the bytes are no readable ZIP archive.
std::optional<std::vector<ZipImageMember>> ListZipImage(std::span<const uint8_t> archive);
// Member `index` unpacked, at most limit bytes of it kept; a member that breaks off
// or fails its check keeps what came before.
std::vector<uint8_t> UnpackZipImageMember(std::span<const uint8_t> archive, size_t index, uint64_t limit);
// A ZIP archive kept in memory with its member list read once: members are
// unpacked on demand, each at most its declared size.
class CZipImage {
 public:
  CZipImage();
  ~CZipImage();
  CZipImage(const CZipImage&) = delete;
  CZipImage& operator=(const CZipImage&) = delete;

  // Takes the archive's bytes and reads its member list; false when they are no
  // readable ZIP archive (the image is then empty).
  bool Open(std::vector<uint8_t> bytes);
  const std::vector<ZipImageMember>& Members() const { return members_; }
  // Unpacks member index into out (room for its declared size) and checks its size
  // and CRC; out may be null for a check alone. "" when the member came out whole,
  // else the codec's error code (out then holds what came before the fault).
  std::string Unpack(size_t index, uint8_t* out) const;

 private:
  struct Reader;
  std::vector<uint8_t> bytes_;
  std::unique_ptr<Reader> reader_;
  std::vector<ZipImageMember> members_;
};

// A ZIP archive of one file member (name, bytes, external attributes); false when
// it cannot be made.
bool PackZipImage(const std::string& name, std::span<const uint8_t> bytes, uint32_t attributes,
                  std::vector<uint8_t>& archive);
