// A hint for a buffer about to be written through: the kernel gives the whole pages
// of [data, data + bytes) their memory in one call, not one page fault at a time.
// Nothing else changes: the bytes keep what they hold, and where the kernel does not
// take the hint (an older one) the pages come one by one as before.
#pragma once

#include <cstddef>

namespace plat {

void WriteAhead(void* data, size_t bytes);

}  // namespace plat
