// Helpers of the codec's and the archive's tests: zlib as the reference codec, byte
// strings, samples and hand-built ZIP archives. Nothing of the program: the codec's
// tests link the codec alone.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "codec/ByteSink.h"
#include "codec/CodecError.h"
#include "codec/deflate/Inflate.h"
#include "support/TestFiles.h"

namespace archtest {

using Bytes = std::vector<uint8_t>;

inline Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }
inline std::string ToString(const Bytes& b) { return std::string(b.begin(), b.end()); }

// A raw Deflate stream written by zlib.
inline Bytes ZlibDeflate(const Bytes& data, int level, int windowBits = 15, int memLevel = 8,
                         int strategy = Z_DEFAULT_STRATEGY, int flushEvery = 0, int flushKind = Z_SYNC_FLUSH) {
  z_stream z{};
  ::deflateInit2_(&z, level, Z_DEFLATED, -windowBits, memLevel, strategy, ZLIB_VERSION, sizeof(z_stream));
  Bytes out(::deflateBound(&z, data.size()) + 1024 + data.size() / 100);
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  size_t pos = 0;
  do {
    size_t take = flushEvery ? std::min<size_t>(flushEvery, data.size() - pos) : data.size() - pos;
    z.next_in = const_cast<Bytef*>(data.data() + pos);
    z.avail_in = static_cast<uInt>(take);
    pos += take;
    ::deflate(&z, pos == data.size() ? Z_FINISH : flushKind);
  } while (pos < data.size());
  out.resize(z.total_out);
  ::deflateEnd(&z);
  return out;
}

// zlib's reading of a raw Deflate stream: true when it ends cleanly with no input left over.
inline bool ZlibInflate(const Bytes& stream, Bytes* out) {
  z_stream z{};
  ::inflateInit2_(&z, -15, ZLIB_VERSION, sizeof(z_stream));
  out->assign(1 << 16, 0);
  z.next_in = const_cast<Bytef*>(stream.data());
  z.avail_in = static_cast<uInt>(stream.size());
  int rc;
  size_t have = 0;
  do {
    if (have == out->size()) out->resize(out->size() * 2);
    z.next_out = out->data() + have;
    z.avail_out = static_cast<uInt>(out->size() - have);
    rc = ::inflate(&z, Z_NO_FLUSH);
    have = out->size() - z.avail_out;
  } while (rc == Z_OK);
  out->resize(have);
  bool ok = rc == Z_STREAM_END && z.avail_in == 0;
  ::inflateEnd(&z);
  return ok;
}

// Our Inflate: the output, or the error code text.
inline std::string OurInflate(const Bytes& stream, Bytes* out = nullptr, uint64_t max = ~uint64_t{0}) {
  codec::CInflater inflater;
  codec::CVectorSink sink;
  try {
    inflater.Run(stream, sink, max);
  } catch (const codec::CodecError& e) {
    return e.Code();
  }
  if (out) *out = sink.bytes;
  return "ok";
}

// Text and binary samples that every Debian machine has.
inline Bytes SampleText(size_t max) {
  std::string s = testenv::ReadHostFile("/usr/share/common-licenses/GPL-3");
  s += testenv::ReadHostFile(PELNORIX_SOURCE_DIR "/src/codec/deflate/Inflate.cpp");
  if (s.size() > max) s.resize(max);
  return ToBytes(s);
}
inline Bytes SampleBinary(size_t max) {
  std::string s = testenv::ReadHostFile("/bin/sh");
  if (s.size() > max) s.resize(max);
  return ToBytes(s);
}

inline std::string Q(const std::string& s) { return testenv::Quote(s); }

}  // namespace archtest

namespace archtest {

// A ZIP archive built by hand (stored members), for names and faults no tool writes.
struct RawMember {
  std::string name;
  std::string data;
  uint16_t flags = 0;
  int32_t crcDelta = 0;  // added to the CRC written, to make a mismatch
};

inline void Le16(Bytes& b, uint32_t v) { b.push_back(static_cast<uint8_t>(v)), b.push_back(static_cast<uint8_t>(v >> 8)); }
inline void Le32(Bytes& b, uint32_t v) { Le16(b, v & 0xFFFF), Le16(b, v >> 16); }

inline Bytes RawZip(const std::vector<RawMember>& members, bool withDirectory = true) {
  Bytes zip, dir;
  for (const RawMember& m : members) {
    uint32_t crc = static_cast<uint32_t>(::crc32(0, reinterpret_cast<const Bytef*>(m.data.data()), static_cast<uInt>(m.data.size())));
    crc += static_cast<uint32_t>(m.crcDelta);
    uint32_t offset = static_cast<uint32_t>(zip.size());
    Le32(zip, 0x04034b50), Le16(zip, 20), Le16(zip, m.flags), Le16(zip, 0), Le16(zip, 0x6DBD), Le16(zip, 0x58A6);
    Le32(zip, crc), Le32(zip, static_cast<uint32_t>(m.data.size())), Le32(zip, static_cast<uint32_t>(m.data.size()));
    Le16(zip, static_cast<uint32_t>(m.name.size())), Le16(zip, 0);
    zip.insert(zip.end(), m.name.begin(), m.name.end());
    zip.insert(zip.end(), m.data.begin(), m.data.end());
    Le32(dir, 0x02014b50), Le16(dir, 20), Le16(dir, 20), Le16(dir, m.flags), Le16(dir, 0), Le16(dir, 0x6DBD);
    Le16(dir, 0x58A6), Le32(dir, crc), Le32(dir, static_cast<uint32_t>(m.data.size()));
    Le32(dir, static_cast<uint32_t>(m.data.size())), Le16(dir, static_cast<uint32_t>(m.name.size())), Le16(dir, 0);
    Le16(dir, 0), Le16(dir, 0), Le16(dir, 0), Le32(dir, 0), Le32(dir, offset);
    dir.insert(dir.end(), m.name.begin(), m.name.end());
  }
  if (!withDirectory) return zip;
  uint32_t dirOffset = static_cast<uint32_t>(zip.size());
  zip.insert(zip.end(), dir.begin(), dir.end());
  Le32(zip, 0x06054b50), Le16(zip, 0), Le16(zip, 0), Le16(zip, static_cast<uint32_t>(members.size()));
  Le16(zip, static_cast<uint32_t>(members.size())), Le32(zip, static_cast<uint32_t>(dir.size())), Le32(zip, dirOffset);
  Le16(zip, 0);
  return zip;
}

}  // namespace archtest
