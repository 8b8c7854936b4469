#include "tools/lzx/large_table.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace kiv::lzx {
namespace {

// Small tables come from the heap, big ones straight from the system on a
// huge-page boundary: both read as zero, keep what is written and hand
// their memory over when moved.
TEST(LargeTable, ZeroedWritableAndMovableAtEverySize) {
  for (size_t n : {size_t{1}, size_t{1000}, size_t{3} << 20}) {
    SCOPED_TRACE(n);
    LargeTable<uint32_t> table(n);
    ASSERT_EQ(table.size(), n);
    EXPECT_EQ(table[0], 0u);
    EXPECT_EQ(table[n / 2], 0u);
    EXPECT_EQ(table[n - 1], 0u);
    table[n - 1] = 7;
#if defined(__linux__)
    if (n * sizeof(uint32_t) >= (size_t{2} << 20)) {
      EXPECT_EQ(reinterpret_cast<uintptr_t>(table.data()) % (size_t{2} << 20), 0u);
    }
#endif
    LargeTable<uint32_t> moved(std::move(table));
    // The moved-from table must hand back nothing it no longer owns.
    EXPECT_TRUE(table.empty());  // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(moved[n - 1], 7u);
    LargeTable<uint32_t> other(16);
    other = std::move(moved);
    EXPECT_EQ(other.size(), n);
    EXPECT_EQ(other[n - 1], 7u);
  }
}

}  // namespace
}  // namespace kiv::lzx
