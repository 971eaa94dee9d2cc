#include "platform/CascadeSharedMemZone.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <string>

namespace {

// A name no other test run uses at the same time.
std::string ZoneName(const char* what) {
    return "QuendrelTest-" + std::string(what) + "-" + std::to_string(::getpid());
}

TEST(CascadeSharedMemZone, WhatOneObjectWritesAnotherReadsByName) {
    const std::string name = ZoneName("share");
    CascadeSharedMemZone writer;
    ASSERT_TRUE(writer.Open(name.c_str(), 4096, true));
    auto* bytes = static_cast<unsigned char*>(writer.MapLock());
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(bytes[0], 0) << "a new zone is zero-filled";
    std::memcpy(bytes + 4000, "pixels", 6);
    writer.Unlock();

    CascadeSharedMemZone reader;
    ASSERT_TRUE(reader.Open(name.c_str(), 0, false));
    EXPECT_EQ(reader.GetSize(), 4096u);
    const auto* seen = static_cast<const char*>(reader.MapLock());
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(std::string(seen + 4000, 6), "pixels");
    reader.Unlock();
}

TEST(CascadeSharedMemZone, CreatorRemovesTheNameOnClose) {
    const std::string name = ZoneName("gone");
    {
        CascadeSharedMemZone creator;
        ASSERT_TRUE(creator.Open(name.c_str(), 100, true));
    }
    CascadeSharedMemZone late;
    EXPECT_FALSE(late.Open(name.c_str(), 0, false));
}

TEST(CascadeSharedMemZone, NestedMapLocksShareOneAddress) {
    CascadeSharedMemZone zone;
    ASSERT_TRUE(zone.Open(ZoneName("nest").c_str(), 64, true));
    void* first = zone.MapLock();
    void* second = zone.MapLock();
    EXPECT_EQ(first, second);
    zone.Unlock();
    static_cast<char*>(first)[63] = 1;  // still mapped after one Unlock
    zone.Unlock();
    zone.Unlock();  // one too many does no harm
}

TEST(CascadeSharedMemZone, BadRequestsFail) {
    const std::string name = ZoneName("bad");
    CascadeSharedMemZone zone;
    EXPECT_EQ(zone.MapLock(), nullptr) << "not open";
    EXPECT_FALSE(zone.Open("a/b", 10, true));
    EXPECT_FALSE(zone.Open("", 10, true));
    EXPECT_FALSE(zone.Open(nullptr, 10, true));
    EXPECT_FALSE(zone.Open(name.c_str(), 0, true)) << "creating needs a size";
    EXPECT_FALSE(zone.Open(name.c_str(), 10, false)) << "does not exist";

    CascadeSharedMemZone creator;
    ASSERT_TRUE(creator.Open(name.c_str(), 10, true));
    EXPECT_FALSE(zone.Open(name.c_str(), 11, false)) << "larger than the zone";
    EXPECT_FALSE(zone.IsOpen());
}

}  // namespace
