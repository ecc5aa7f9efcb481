// Sizes computed from file fields are checked before anything is allocated: count
// times element size plus extra, in 64 bits, refusing negative factors, overflow and
// anything above a cap. TryAllocate then resizes through the allocation hook, so a
// refused or failed allocation is one false, turned into the place's own message.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "base/Alloc.h"

// a * b + add, or nothing when a factor is negative or the result passes cap.
inline std::optional<int64_t> CheckedSize(int64_t a, int64_t b, int64_t add = 0,
                                          int64_t cap = std::numeric_limits<int64_t>::max()) {
  if (a < 0 || b < 0 || add < 0) return std::nullopt;
  int64_t product = 0;
  if (__builtin_mul_overflow(a, b, &product)) return std::nullopt;
  int64_t total = 0;
  if (__builtin_add_overflow(product, add, &total)) return std::nullopt;
  if (total > cap) return std::nullopt;
  return total;
}

// v holds a * b + add elements (zeroed), or false with v unchanged.
template <class Vector>
bool TryAllocate(Vector& v, int64_t a, int64_t b, int64_t add, AllocHook* hook) {
  using T = typename Vector::value_type;
  const auto count = CheckedSize(a, b, add, static_cast<int64_t>(std::numeric_limits<int64_t>::max() / sizeof(T)));
  if (!count) return false;
  return TryResize(v, static_cast<size_t>(*count), hook);
}
