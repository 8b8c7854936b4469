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
    // Step from the mapping's start rather than casting a number back to a
    // pointer, so the compiler still knows where the pointer came from.
    char* const start = static_cast<char*>(raw);
    const size_t lead = (kHugePage - reinterpret_cast<uintptr_t>(raw) % kHugePage) % kHugePage;
    char* const aligned = start + lead;
    if (lead > 0) munmap(start, lead);
    const size_t tail = mapped - lead - rounded;
    if (tail > 0) munmap(aligned + rounded, tail);
#ifdef MADV_HUGEPAGE
    madvise(aligned, rounded, MADV_HUGEPAGE);
#endif
    return aligned;
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
