// Buffers of the system's volumes are allocated through TryResize, which reports
// failure instead of throwing, so that each place can show its own out-of-memory
// text. The hook lets a test make any such allocation fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <utility>
#include <vector>

#include "base/ZeroedVector.h"

class AllocHook {
 public:
  // The allocation after `count` more successful ones fails (0: the next one).
  void FailAfter(int count) { failAfter_ = count; }
  // Every allocation of more than `bytes` fails.
  void FailAbove(size_t bytes) { failAbove_ = bytes; }
  void Reset() {
    failAfter_ = -1;
    failAbove_ = std::numeric_limits<size_t>::max();
  }
  // Decides one allocation of `bytes`.
  bool Allow(size_t bytes) {
    if (bytes > failAbove_) return false;
    if (failAfter_ == 0) {
      failAfter_ = -1;
      return false;
    }
    if (failAfter_ > 0) --failAfter_;
    return true;
  }

 private:
  int failAfter_ = -1;
  size_t failAbove_ = std::numeric_limits<size_t>::max();
};

// Resizes v to n elements (new elements zeroed); false, with v unchanged, when the
// hook refuses or memory runs out.
template <class Vector>
bool TryResize(Vector& v, size_t n, AllocHook* hook) {
  if (hook && !hook->Allow(n * sizeof(typename Vector::value_type))) return false;
  try {
    v.resize(n);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  return true;
}

