#include "platform/os/WriteAhead.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace plat {

namespace {
#ifdef MADV_POPULATE_WRITE
constexpr int kPopulateWrite = MADV_POPULATE_WRITE;
#else
constexpr int kPopulateWrite = 23;  // Linux 5.14 on
#endif
}  // namespace

void WriteAhead(void* data, size_t bytes) {
  static const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  if (!data || bytes == 0 || page == 0) return;
  const auto from = reinterpret_cast<uintptr_t>(data);
  if (bytes > UINTPTR_MAX - from) return;
  const uintptr_t first = (from + page - 1) / page * page;
  const uintptr_t last = (from + bytes) / page * page;
  if (last <= first) return;
  // The result is not looked at: a refusal only leaves the pages to come one by one.
  (void)madvise(reinterpret_cast<void*>(first), last - first, kPopulateWrite);
}

}  // namespace plat
