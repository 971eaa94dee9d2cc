#include "platform/CascadeDirectory.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "support/ScopedTempDir.h"

namespace {

TEST(CascadeDirectoryChildren, AreNamesSortedWithoutDotEntries) {
    ScopedTempDir dir;
    for (const char* name : {"b", "Zeta", "a", "ä-umlaut"}) ASSERT_TRUE(dir.WriteFile(name, ""));
    ASSERT_EQ(::mkdir(dir.File("skin").c_str(), 0700), 0);
    const std::vector<CascadeString> expected = {"Zeta", "a", "b", "skin", "ä-umlaut"};
    EXPECT_EQ(CascadeDirectory::GetChildren(dir.Path().c_str()), expected);

    CascadeTemplateArray<CascadeString> array;
    array.Append("kept");
    ASSERT_TRUE(CascadeDirectory::GetChildren(dir.Path().c_str(), array));
    ASSERT_EQ(array.GetNumItems(), 6u);
    EXPECT_EQ(array[0], "kept");
    EXPECT_EQ(array[4], "skin");
}

TEST(CascadeDirectoryChildren, UnreadableDirectoryGivesNothing) {
    ScopedTempDir dir;
    ASSERT_TRUE(dir.WriteFile("plain", "x"));
    CascadeTemplateArray<CascadeString> array;
    EXPECT_FALSE(CascadeDirectory::GetChildren(dir.File("missing").c_str(), array));
    EXPECT_FALSE(CascadeDirectory::GetChildren(dir.File("plain").c_str(), array));
    EXPECT_FALSE(CascadeDirectory::GetChildren(nullptr, array));
    EXPECT_TRUE(array.IsEmpty());
    EXPECT_TRUE(CascadeDirectory::GetChildren("").empty());
}

TEST(CascadeDirectoryCWD, IsTheProcessWorkingDirectory) {
    const CascadeString cwd = CascadeDirectory::GetCWD();
    EXPECT_EQ(cwd.Std(), std::filesystem::current_path().string());
}

}  // namespace
