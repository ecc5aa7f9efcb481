// A vector of plain bytes or numbers whose storage starts as zero bits: calloc
// takes large blocks straight from the kernel as zero pages, so the large buffers
// and work tables (sized by the memory volumes, mostly untouched by a road) cost no
// page until a road writes or reads it. Growing zeroes only the new part with one
// memset, never element by element (a value-initialising std::vector with its own
// allocator constructs each element in a loop, which unoptimised and sanitizer
// builds keep: 200,000 calls for one table). Copies and moves keep the contents.
// A block written whole (a picture's rows, a file read into memory) may ask for the
// kernel's transparent huge pages (HugePages::kAsk), so that its blocks of 2 MB and
// more are mapped 2 MB a fault instead of 4 KB (showing a 36 MB picture took 9,281
// page faults, 1,107 with them). Sparsely used blocks (the output buffer, the cell
// tables) do not ask: a huge page is faulted whole however little of it is used.
#pragma once

#include <sys/mman.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <utility>

enum class HugePages { kNo, kAsk };

template <class T, HugePages kHuge = HugePages::kNo>
class ZeroedVector {
  static_assert(std::is_trivial_v<T>, "only plain bytes and numbers start as zero bits");

 public:
  using value_type = T;
  using size_type = size_t;
  using iterator = T*;
  using const_iterator = const T*;
  using reference = T&;
  using const_reference = const T&;

  ZeroedVector() = default;
  explicit ZeroedVector(size_t n) { resize(n); }
  template <class Iterator>
    requires(!std::is_integral_v<Iterator>)
  ZeroedVector(Iterator first, Iterator last) {
    assign(first, last);
  }
  ZeroedVector(const ZeroedVector& other) {
    if (other.size_ == 0) return;
    Reallocate(other.size_);
    std::memcpy(static_cast<void*>(data_), other.data_, other.size_ * sizeof(T));
    size_ = other.size_;
  }
  ZeroedVector(ZeroedVector&& other) noexcept { swap(other); }
  ZeroedVector& operator=(const ZeroedVector& other) {
    if (this != &other) ZeroedVector(other).swap(*this);
    return *this;
  }
  ZeroedVector& operator=(ZeroedVector&& other) noexcept {
    ZeroedVector(std::move(other)).swap(*this);
    return *this;
  }
  ~ZeroedVector() { std::free(data_); }

  void swap(ZeroedVector& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
  }

  T* data() noexcept { return data_; }
  const T* data() const noexcept { return data_; }
  size_t size() const noexcept { return size_; }
  size_t capacity() const noexcept { return capacity_; }
  bool empty() const noexcept { return size_ == 0; }
  T& operator[](size_t i) noexcept { return data_[i]; }
  const T& operator[](size_t i) const noexcept { return data_[i]; }
  T& front() noexcept { return data_[0]; }
  const T& front() const noexcept { return data_[0]; }
  T& back() noexcept { return data_[size_ - 1]; }
  const T& back() const noexcept { return data_[size_ - 1]; }
  T* begin() noexcept { return data_; }
  T* end() noexcept { return data_ + size_; }
  const T* begin() const noexcept { return data_; }
  const T* end() const noexcept { return data_ + size_; }

  // New elements are zero; throws std::bad_alloc (or std::length_error) when the
  // storage cannot grow, with the vector unchanged.
  // Fresh storage is already zero past the old contents: only reused storage is
  // cleared, so a large buffer's pages stay untouched until a road writes them.
  void resize(size_t n) {
    if (n > capacity_) {
      Reallocate(n);
    } else if (n > size_) {
      std::memset(static_cast<void*>(data_ + size_), 0, (n - size_) * sizeof(T));
    }
    size_ = n;
  }
  void reserve(size_t n) {
    if (n > capacity_) Reallocate(n);
  }
  void clear() noexcept { size_ = 0; }
  // The contents replaced by the elements [first, last).
  template <class Iterator>
    requires(!std::is_integral_v<Iterator>)
  void assign(Iterator first, Iterator last) {
    const size_t n = static_cast<size_t>(std::distance(first, last));
    if (n > capacity_) {
      size_ = 0;
      Reallocate(n);
    }
    std::copy(first, last, data_);
    size_ = n;
  }
  // The contents replaced by n copies of value.
  void assign(size_t n, const T& value) {
    clear();
    resize(n);
    if (value != T{}) std::fill(data_, data_ + n, value);
  }
  void shrink_to_fit() {
    if (size_ == 0) {
      ZeroedVector().swap(*this);
    } else if (size_ < capacity_) {
      ZeroedVector(*this).swap(*this);
    }
  }
  void push_back(const T& value) {
    const T copy = value;  // value may lie in the storage a growth frees
    if (size_ == capacity_) Reallocate(capacity_ ? capacity_ * 2 : 16);
    data_[size_++] = copy;
  }
  template <class... Args>
  T& emplace_back(Args&&... args) {
    push_back(T(std::forward<Args>(args)...));
    return back();
  }
  void pop_back() noexcept { --size_; }

 private:
  // Moves the contents into zeroed storage of n elements (n at least size_).
  void Reallocate(size_t n) {
    if (n > static_cast<size_t>(PTRDIFF_MAX) / sizeof(T)) throw std::length_error("ZeroedVector");
    T* fresh = static_cast<T*>(std::calloc(n, sizeof(T)));
    if (!fresh) throw std::bad_alloc();
    if constexpr (kHuge == HugePages::kAsk) PreferHugePages(fresh, n * sizeof(T));
    if (size_) std::memcpy(static_cast<void*>(fresh), data_, size_ * sizeof(T));
    std::free(data_);
    data_ = fresh;
    capacity_ = n;
  }

  // Marks the whole pages of a large block for huge pages (only a hint: the kernel
  // may map them as it likes, and blocks below 2 MB never fill one).
  static void PreferHugePages(void* block, size_t bytes) {
    constexpr uintptr_t kPage = 4096, kHugePage = uintptr_t{2} << 20;
    if (bytes < kHugePage) return;
    const uintptr_t at = reinterpret_cast<uintptr_t>(block);
    const uintptr_t first = (at + kPage - 1) & ~(kPage - 1), end = (at + bytes) & ~(kPage - 1);
    if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
  }

  T* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

