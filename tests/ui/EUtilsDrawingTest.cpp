#include "ui/EUtilsDrawing.h"

#include "ui/SkinFixture.h"

#include <gtest/gtest.h>

namespace {

using LoadBitmapFromFileTest = SkinFixture;

TEST_F(LoadBitmapFromFileTest, FirstFileWinsWhenItLoads) {
    WritePng("a.png", 3, 2);
    WritePng("b.png", 5, 2);
    CascadeBitmap bitmap;
    ASSERT_TRUE(EUtils::LoadBitmapFromFile(bitmap, Path("a.png").c_str(), Path("b.png").c_str()));
    EXPECT_EQ(bitmap.GetDims().w, 3);
}

TEST_F(LoadBitmapFromFileTest, MissingOrUndecodableFirstFileFallsBack) {
    WritePng("b.png", 5, 2);
    WriteText("junk.png", "\x89PNG but truncated");
    CascadeBitmap bitmap;
    ASSERT_TRUE(EUtils::LoadBitmapFromFile(bitmap, Path("none.png").c_str(), Path("b.png").c_str()));
    EXPECT_EQ(bitmap.GetDims().w, 5);
    CascadeBitmap other;
    ASSERT_TRUE(EUtils::LoadBitmapFromFile(other, Path("junk.png").c_str(), Path("b.png").c_str()));
    EXPECT_EQ(other.GetDims().w, 5);
}

TEST_F(LoadBitmapFromFileTest, NeitherLoadsLeavesTheBitmapEmpty) {
    CascadeBitmap bitmap;
    ASSERT_TRUE(bitmap.Create(CascadeDims(4, 4)));
    EXPECT_FALSE(EUtils::LoadBitmapFromFile(bitmap, Path("x.png").c_str(), Path("y.png").c_str()));
    EXPECT_FALSE(bitmap.IsValid());
    EXPECT_FALSE(EUtils::LoadBitmapFromFile(bitmap, nullptr, ""));
    // A directory is not an image.
    EXPECT_FALSE(EUtils::LoadBitmapFromFile(bitmap, m_dir.c_str(), nullptr));
}

}  // namespace
