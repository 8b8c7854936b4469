// Zero-filled tables taken straight from the system for the match finder.
// Their pages read as zero until first written and only the pages touched
// cost memory, so a small folder does not pay for a big window's tables and
// nothing has to clear them. On Linux the kernel is also asked for huge
// pages: the tables are read at random across megabytes, and with small
// pages most of those reads would miss the TLB as well as the cache.
#pragma once

#include <cstddef>
#include <utility>

namespace kiv::lzx {

// Zeroed memory of at least `bytes`; throws std::bad_alloc.
void* MapZeroed(size_t bytes);
void Unmap(void* p, size_t bytes);

template <typename T>
class LargeTable {
 public:
  LargeTable() = default;
  explicit LargeTable(size_t n) : data_(static_cast<T*>(MapZeroed(n * sizeof(T)))), size_(n) {}
  ~LargeTable() {
    if (data_) Unmap(data_, size_ * sizeof(T));
  }
  LargeTable(LargeTable&& o) noexcept : data_(std::exchange(o.data_, nullptr)), size_(std::exchange(o.size_, 0)) {}
  LargeTable& operator=(LargeTable&& o) noexcept {
    std::swap(data_, o.data_);
    std::swap(size_, o.size_);
    return *this;
  }

  T& operator[](size_t i) { return data_[i]; }
  const T& operator[](size_t i) const { return data_[i]; }
  T* data() { return data_; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

 private:
  T* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace kiv::lzx
