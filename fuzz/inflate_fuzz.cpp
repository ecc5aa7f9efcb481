// Inflate on arbitrary bytes: it must end with output or a codec error, within
// bounded output, and never read or write out of bounds.
#include <cstddef>
#include <cstdint>

#include "archive/codec/ByteSink.h"
#include "archive/codec/CodecError.h"
#include "archive/codec/Inflate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  codec::CInflater inflater;
  codec::CNullSink sink;
  try {
    inflater.Run({data, size}, sink, uint64_t{1} << 24, size > 0 && (data[0] & 0x80));
  } catch (const codec::CodecError&) {
  }
  return 0;
}
