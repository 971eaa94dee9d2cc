#include "platform/CascadeFSObject.h"

#include <gtest/gtest.h>

#include "support/ScopedTempDir.h"

namespace {

TEST(CascadeFSObjectExtension, IsTheTextAfterTheLastDotOfTheName) {
    EXPECT_EQ(CascadeFSObject::GetFilenameExtension("cover.jpg"), "jpg");
    EXPECT_EQ(CascadeFSObject::GetFilenameExtension("/music/a.b/cover.THM"), "THM");
    EXPECT_EQ(CascadeFSObject::GetFilenameExtension("archive.tar.gz"), "gz");
}

TEST(CascadeFSObjectExtension, IsEmptyWhenTheNameHasNone) {
    EXPECT_EQ(CascadeFSObject::GetFilenameExtension("/music/a.b/README"), "");
    EXPECT_EQ(CascadeFSObject::GetFilenameExtension(".profile"), "");
    EXPECT_EQ(CascadeFSObject::GetFilenameExtension("dir/.hidden"), "");
    EXPECT_EQ(CascadeFSObject::GetFilenameExtension("name."), "");
    EXPECT_EQ(CascadeFSObject::GetFilenameExtension("dir.d/"), "");
    EXPECT_EQ(CascadeFSObject::GetFilenameExtension(""), "");
    EXPECT_EQ(CascadeFSObject::GetFilenameExtension(nullptr), "");
}

TEST(CascadeFSObjectExists, TellsFilesDirectoriesAndNothingApart) {
    ScopedTempDir dir;
    ASSERT_TRUE(dir.WriteFile("f", "x"));
    EXPECT_TRUE(CascadeFSObject::Exists(dir.File("f").c_str()));
    EXPECT_FALSE(CascadeFSObject::IsDirectory(dir.File("f").c_str()));
    EXPECT_TRUE(CascadeFSObject::Exists(dir.Path().c_str()));
    EXPECT_TRUE(CascadeFSObject::IsDirectory(dir.Path().c_str()));
    EXPECT_FALSE(CascadeFSObject::Exists(dir.File("none").c_str()));
    EXPECT_FALSE(CascadeFSObject::Exists(""));
    EXPECT_FALSE(CascadeFSObject::Exists(nullptr));
    EXPECT_FALSE(CascadeFSObject::IsDirectory(nullptr));
}

}  // namespace
