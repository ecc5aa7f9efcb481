// The ZIP reader on arbitrary bytes: directory, local headers, descriptors and
// member data, each member checked against its CRC and size.
#include <cstddef>
#include <cstdint>

#include "codec/ByteSink.h"
#include "codec/CodecError.h"
#include "codec/zip/ZipReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    codec::CZipReader reader({data, size});
    for (const codec::ZipEntry& entry : reader.Entries()) {
      if (entry.header.uncompressedSize > (uint64_t{1} << 24)) continue;
      codec::CNullSink sink;
      try {
        reader.Extract(entry, sink);
      } catch (const codec::CodecError&) {
      }
    }
  } catch (const codec::CodecError&) {
  }
  return 0;
}
