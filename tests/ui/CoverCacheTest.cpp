#include "ui/CoverCache.h"

#include <gtest/gtest.h>

namespace {

std::shared_ptr<const CoverCache::Cover> Pixels(std::size_t bytes) {
    return std::make_shared<const CoverCache::Cover>(CoverCache::Cover{{5, 5}, std::vector<uint8_t>(bytes, 7)});
}

// The most recently used covers within the byte bound, each size apart; a
// store replaces its own key; a cover larger than the bound is not kept.
TEST(CoverCache, KeepsTheMostRecentlyUsedCoversWithinTheByteBound) {
    constexpr CascadeDims kBox{135, 135};
    CoverCache cache(350);
    cache.Store("http://s/1.jpg", kBox, Pixels(100));
    cache.Store("http://s/2.jpg", kBox, Pixels(100));
    cache.Store("http://s/1.jpg", {220, 220}, Pixels(50));
    ASSERT_TRUE(cache.Find("http://s/1.jpg", kBox));   // now the newest
    cache.Store("http://s/3.jpg", kBox, Pixels(150));  // 2 goes
    EXPECT_FALSE(cache.Find("http://s/2.jpg", kBox));
    EXPECT_EQ(100u, cache.Find("http://s/1.jpg", kBox)->pixels.size());
    cache.Store("http://s/1.jpg", kBox, Pixels(10));
    EXPECT_EQ(10u, cache.Find("http://s/1.jpg", kBox)->pixels.size());
    EXPECT_EQ(210u, cache.GetBytes());
    cache.Store("http://s/big.jpg", kBox, Pixels(351));
    EXPECT_FALSE(cache.Find("http://s/big.jpg", kBox));
    EXPECT_EQ(3u, cache.GetCount());
}

}  // namespace
