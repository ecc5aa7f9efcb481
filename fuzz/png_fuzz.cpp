// The PNG reader on arbitrary bytes: it must load a picture or refuse the bytes,
// never read or write out of bounds. Allocations above 64 MB are refused.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "app/QelDoc.h"
#include "platform/Files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static CQelDoc* doc = [] {
    const char* tmp = std::getenv("TMPDIR");
    static CQelDoc d(plat::FromHostPath(std::string(tmp && *tmp ? tmp : "/tmp") + "/pelnorix-fuzz"));
    d.m_allocHook.FailAbove(size_t{64} << 20);
    return &d;
  }();
  BITMAPINFO info{};
  doc->DecodePng(data, static_cast<int>(size), &info);
  doc->ReleaseImage();
  return 0;
}
