// Zentarix — MIT licence.
// The pixel allocator: alignment, zeroing, reuse of freed large blocks and the reuse bound.
#include <gtest/gtest.h>

#include <cstring>

#include "zx/pixel_memory.h"

namespace {

TEST(PixelMemory, SmallAndLargeBlocksAreAlignedAndSized) {
  for (size_t n : {size_t{1}, size_t{4096}, zx::kLargeBlock, size_t{12} << 20}) {
    void* p = zx::pixel_alloc(n);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 64, 0u);
    EXPECT_GE(zx::pixel_block_size(p), n);
    std::memset(p, 0xAB, n);
    zx::pixel_free(p);
  }
}

TEST(PixelMemory, FreedLargeBlockIsReusedAndZeroedOnRequest) {
  zx::pixel_cache_trim();
  const size_t n = size_t{8} << 20;
  auto* a = static_cast<uint8_t*>(zx::pixel_alloc(n));
  ASSERT_NE(a, nullptr);
  std::memset(a, 0x5A, n);
  zx::pixel_free(a);
  auto* b = static_cast<uint8_t*>(zx::pixel_alloc_zeroed(n - 4096));
  EXPECT_EQ(b, a) << "a freed large block serves the next request of a similar size";
  EXPECT_EQ(b[0], 0);
  EXPECT_EQ(b[n - 4097], 0);
  zx::pixel_free(b);
}

TEST(PixelMemory, CachedBlockIsNotSpentOnMuchSmallerRequest) {
  zx::pixel_cache_trim();
  void* big = zx::pixel_alloc(size_t{64} << 20);
  zx::pixel_free(big);
  void* small = zx::pixel_alloc(size_t{2} << 20);
  EXPECT_NE(small, big);
  zx::pixel_free(small);
  zx::pixel_cache_trim();
}

TEST(PixelMemory, OnlyLiveLargeBlocksAreKnownAsOurs) {
  auto* large = static_cast<uint8_t*>(zx::pixel_alloc(size_t{2} << 20));
  const size_t n = zx::pixel_block_size(large);
  void* small = zx::pixel_alloc(4096);
  uint8_t foreign[64];
  const struct {
    const void* start;
    size_t bytes;
    bool ours;
  } cases[] = {{large, n, true},        {large + 100, n - 100, true}, {large + 100, n - 99, false},
               {large - 1, 2, false},   {small, 16, false},           {foreign, sizeof(foreign), false}};
  for (const auto& c : cases) EXPECT_EQ(zx::pixel_memory_holds(c.start, c.bytes), c.ours) << c.start;
  zx::pixel_free(large);
  zx::pixel_free(small);
  EXPECT_FALSE(zx::pixel_memory_holds(large, 16)) << "a freed block is ours no longer";
}

}  // namespace
