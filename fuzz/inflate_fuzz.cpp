// Inflate on arbitrary bytes: it must end with output or a codec error, within
// bounded output, and never read or write out of bounds. The fast loop and the
// bounded one-symbol step must agree on the bytes, the consumed count and the error.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "codec/ByteSink.h"
#include "codec/CodecError.h"
#include "codec/deflate/Inflate.h"

namespace {

struct Outcome {
  std::string code;
  codec::CVectorSink sink;
  codec::InflateResult result;
};

void Decode(const uint8_t* data, size_t size, bool fast, Outcome& o) {
  codec::CInflater inflater;
  inflater.UseFastLoop(fast);
  try {
    o.result = inflater.Run({data, size}, o.sink, uint64_t{1} << 24, size > 0 && (data[0] & 0x80));
  } catch (const codec::CodecError& e) {
    o.code = e.Code();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Outcome fast, slow;
  Decode(data, size, true, fast);
  Decode(data, size, false, slow);
  if (fast.code != slow.code || fast.sink.bytes != slow.sink.bytes || fast.result.consumed != slow.result.consumed ||
      fast.result.complete != slow.result.complete)
    std::abort();
  return 0;
}
