// The POSIX side of the LZX encoder: memory for its large tables (large_table.h).
#include <cstdint>
#include <cstdlib>
#include <new>

#include "tools/lzx/large_table.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace kiv::lzx {

namespace {
constexpr size_t kHugePage = size_t{2} << 20;
}

void* MapZeroed(size_t bytes) {
  if (bytes == 0) bytes = 1;
#if defined(__linux__)
  if (bytes >= kHugePage) {
    // Over-map by a huge page so that the table can start on a boundary
    // where the kernel can back it with huge pages; the slack is returned.
    const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    const size_t mapped = rounded + kHugePage;
    void* raw = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) throw std::bad_alloc();
    const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
    if (aligned > start) munmap(raw, aligned - start);
    const uintptr_t end = start + mapped;
    if (end > aligned + rounded) munmap(reinterpret_cast<void*>(aligned + rounded), end - (aligned + rounded));
#ifdef MADV_HUGEPAGE
    madvise(reinterpret_cast<void*>(aligned), rounded, MADV_HUGEPAGE);
#endif
    return reinterpret_cast<void*>(aligned);
  }
#endif
  void* p = std::calloc(1, bytes);
  if (!p) throw std::bad_alloc();
  return p;
}

void Unmap(void* p, size_t bytes) {
  if (bytes == 0) bytes = 1;
#if defined(__linux__)
  if (bytes >= kHugePage) {
    munmap(p, (bytes + kHugePage - 1) / kHugePage * kHugePage);
    return;
  }
#endif
  std::free(p);
}

}  // namespace kiv::lzx
