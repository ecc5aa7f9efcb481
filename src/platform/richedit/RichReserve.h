// Room in the control's buffers, asked of the allocation hook first: a refusal throws
// std::bad_alloc as memory running out does, so a stream-in ends in one place.
#pragma once

#include <algorithm>
#include <new>

#include "base/Alloc.h"

namespace plat {

template <class V>
void ReserveExactly(V& v, size_t n, AllocHook* hook) {
  if (n <= v.capacity()) return;
  if (hook && !hook->Allow(n * sizeof(typename V::value_type))) throw std::bad_alloc();
  v.reserve(n);
}

// Room for `more` elements after the last, the capacity at least doubling.
template <class V>
void ReserveMore(V& v, size_t more, AllocHook* hook) {
  const size_t need = v.size() + more;
  if (need > v.capacity()) ReserveExactly(v, std::max(need, v.capacity() * 2), hook);
}

}  // namespace plat
