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

namespace plat {

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

// Storage of the large buffers (input image, output text, work tables), sized by
// the memory volumes but mostly left untouched by a road: calloc takes large blocks
// straight from the kernel as zero pages, and value-initialising an element writes
// nothing, so a page is only touched when a road writes or reads it.
template <class T>
struct ZeroedAllocator {
  static_assert(std::is_trivial_v<T>, "only plain bytes and numbers start as zero bits");
  using value_type = T;
  ZeroedAllocator() = default;
  template <class U>
  ZeroedAllocator(const ZeroedAllocator<U>&) noexcept {}

  T* allocate(size_t n) {
    if (n > std::numeric_limits<size_t>::max() / sizeof(T)) throw std::bad_array_new_length();
    void* p = std::calloc(n, sizeof(T));
    if (!p) throw std::bad_alloc();
    return static_cast<T*>(p);
  }
  void deallocate(T* p, size_t) noexcept { std::free(p); }
  // Value-initialisation: the storage is zero already (TryResize clears what a
  // shrink left behind before it is reused).
  template <class U>
  void construct(U*) noexcept {}
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
  template <class U>
  bool operator==(const ZeroedAllocator<U>&) const noexcept {
    return true;
  }
};

// A vector whose new elements are zero without being written. Grow it only through
// TryResize (or TryAllocate): a plain resize within the capacity would show old bytes.
template <class T>
using ZeroedVector = std::vector<T, ZeroedAllocator<T>>;

// Resizes v to n elements (new elements zeroed); false, with v unchanged, when the
// hook refuses or memory runs out.
template <class T, class A>
bool TryResize(std::vector<T, A>& v, size_t n, AllocHook* hook) {
  if (hook && !hook->Allow(n * sizeof(T))) return false;
  const size_t old = v.size();
  const size_t capacity = v.capacity();
  try {
    v.resize(n);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  // Grown within its old storage: the new elements lie on bytes used before.
  if constexpr (std::is_same_v<A, ZeroedAllocator<T>>) {
    if (n > old && n <= capacity) std::memset(static_cast<void*>(v.data() + old), 0, (n - old) * sizeof(T));
  }
  return true;
}

}  // namespace plat
