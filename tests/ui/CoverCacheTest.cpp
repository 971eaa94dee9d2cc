#include "ui/CoverCache.h"

#include <gtest/gtest.h>

namespace {

std::shared_ptr<const CoverCache::Cover> Pixels(std::size_t bytes) {
    return std::make_shared<const CoverCache::Cover>(CoverCache::Cover{{5, 5}, std::vector<uint8_t>(bytes, 7)});
}

constexpr CascadeDims kBox{135, 135};

TEST(CoverCacheTest, KeepsTheMostRecentlyUsedCoversWithinTheByteBound) {
    CoverCache cache(250);
    cache.Store("http://s/1.jpg", kBox, Pixels(100));
    cache.Store("http://s/2.jpg", kBox, Pixels(100));
    ASSERT_TRUE(cache.Find("http://s/1.jpg", kBox));  // 1 is now the newest
    cache.Store("http://s/3.jpg", kBox, Pixels(100));  // 2 goes
    EXPECT_TRUE(cache.Find("http://s/1.jpg", kBox));
    EXPECT_FALSE(cache.Find("http://s/2.jpg", kBox));
    EXPECT_TRUE(cache.Find("http://s/3.jpg", kBox));
    EXPECT_EQ(cache.GetBytes(), 200u);
    EXPECT_EQ(cache.GetCount(), 2u);
    EXPECT_EQ(cache.GetHits(), 3u);
    EXPECT_EQ(cache.GetMisses(), 1u);
}

TEST(CoverCacheTest, SizesAreKeptApartAndAStoreReplacesItsOwnKey) {
    CoverCache cache(1000);
    cache.Store("http://s/1.jpg", kBox, Pixels(100));
    cache.Store("http://s/1.jpg", {220, 220}, Pixels(300));
    cache.Store("http://s/1.jpg", kBox, Pixels(50));
    EXPECT_EQ(cache.GetCount(), 2u);
    EXPECT_EQ(cache.GetBytes(), 350u);
    EXPECT_EQ(cache.Find("http://s/1.jpg", kBox)->pixels.size(), 50u);
    EXPECT_FALSE(cache.Find("http://s/1.jpg", {10, 10}));
}

TEST(CoverCacheTest, ACoverLargerThanTheBoundAndNullCoversAreNotKept) {
    CoverCache cache(100);
    cache.Store("http://s/big.jpg", kBox, Pixels(101));
    cache.Store("http://s/none.jpg", kBox, nullptr);
    EXPECT_EQ(cache.GetCount(), 0u);
    cache.Store("http://s/1.jpg", kBox, Pixels(100));
    cache.Clear();
    EXPECT_EQ(cache.GetBytes(), 0u);
    EXPECT_FALSE(cache.Find("http://s/1.jpg", kBox));
}

}  // namespace
