// The LZH reader on arbitrary bytes: headers of every level and the -lh5- decoder.
#include <cstddef>
#include <cstdint>

#include "codec/ByteSink.h"
#include "codec/CodecError.h"
#include "codec/lzh/LzhDecoder.h"
#include "codec/lzh/LzhHeader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> archive(data, size);
  uint64_t pos = 0;
  try {
    for (int members = 0; members < 64; ++members) {
      codec::CLzhHeader h;
      if (h.Read(archive, pos) < 0) break;
      if (h.originalSize > (uint64_t{1} << 22)) continue;
      codec::CNullSink sink;
      try {
        codec::DecodeLzhMember(h, archive.subspan(h.dataOffset, h.packedSize), sink);
      } catch (const codec::CodecError&) {
      }
    }
  } catch (const codec::CodecError&) {
  }
  return 0;
}
