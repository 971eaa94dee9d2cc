#include "platform/CascadeBitmap.h"
#include "platform/CascadeJpegFile.h"

#include "support/ScopedTempDir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Writes a JPEG of `dims`: the left half `left`, the right half `right`.
std::string MakeJpeg(const ScopedTempDir& dir, const char* name, const CascadeDims& dims, const CascadeColor& left,
                     const CascadeColor& right) {
    CascadeBitmap bitmap;
    EXPECT_TRUE(bitmap.Create(dims));
    bitmap.FillRect({0, 0, dims.w / 2, dims.h}, left);
    bitmap.FillRect({dims.w / 2, 0, dims.w - dims.w / 2, dims.h}, right);
    EXPECT_TRUE(bitmap.SaveAsJPEG(dir.File(name), 92));
    return dir.File(name);
}

uint32_t PixelAt(const CascadeJpegFile& jpeg, int x, int y) {
    return jpeg.GetBitmapData()[std::size_t(y) * std::size_t(jpeg.GetDecodedDims().w) + std::size_t(x)];
}

constexpr CascadeColor kRed(255, 0, 0);
constexpr CascadeColor kBlue(0, 0, 255);

}  // namespace

TEST(CascadeJpegFileTest, SquareIntoSmallerBoxKeepsTheBox) {
    ScopedTempDir dir("gfx-jpegfile");
    CascadeJpegFile jpeg;
    ASSERT_TRUE(jpeg.Init(MakeJpeg(dir, "square.jpg", {1000, 1000}, kRed, kRed).c_str()));
    EXPECT_EQ(jpeg.GetImageWidth(), 1000);
    EXPECT_EQ(jpeg.GetImageHeight(), 1000);
    ASSERT_TRUE(jpeg.Decode({400, 400}));
    EXPECT_EQ(jpeg.GetDecodedDims(), CascadeDims(400, 400));
    EXPECT_EQ(jpeg.GetBitmapDataSize(), 400u * 400u * 4u);
    const uint32_t p = PixelAt(jpeg, 200, 200);
    EXPECT_EQ(p >> 24, 0xFFu);
    EXPECT_GT((p >> 16) & 0xFF, 0xE0u);
    EXPECT_LT((p >> 8) & 0xFF, 0x20u);
    EXPECT_LT(p & 0xFF, 0x20u);
}

// The picture fits the box with its aspect ratio, larger or smaller; an
// empty box keeps its size.
TEST(CascadeJpegFileTest, AspectRatioIsKeptAndSmallPicturesAreEnlarged) {
    ScopedTempDir dir("gfx-jpegfile");
    const struct {
        CascadeDims picture, box, decoded;
    } cases[] = {
        {{800, 600}, {400, 400}, {400, 300}}, {{500, 1000}, {400, 400}, {200, 400}},
        {{1000, 333}, {400, 400}, {400, 133}}, {{200, 100}, {400, 400}, {400, 200}},
        {{30, 10}, {300, 300}, {300, 100}},    {{123, 45}, {}, {123, 45}},
    };
    CascadeJpegFile jpeg;
    for (const auto& c : cases) {
        ASSERT_TRUE(jpeg.Init(MakeJpeg(dir, "p.jpg", c.picture, kRed, kBlue).c_str()));
        ASSERT_TRUE(jpeg.Decode(c.box));
        EXPECT_EQ(jpeg.GetDecodedDims(), c.decoded) << c.picture.w << "x" << c.picture.h;
    }
}

TEST(CascadeJpegFileTest, ChannelsArriveInPixelWordOrder) {
    ScopedTempDir dir("gfx-jpegfile");
    CascadeJpegFile jpeg;
    ASSERT_TRUE(jpeg.Init(MakeJpeg(dir, "halves.jpg", {640, 480}, kRed, kBlue).c_str()));
    ASSERT_TRUE(jpeg.Decode({320, 320}));
    ASSERT_EQ(jpeg.GetDecodedDims(), CascadeDims(320, 240));
    const uint32_t left = PixelAt(jpeg, 20, 100), right = PixelAt(jpeg, 300, 100);
    EXPECT_GT((left >> 16) & 0xFF, 0xE0u);
    EXPECT_LT(left & 0xFF, 0x20u);
    EXPECT_GT(right & 0xFF, 0xE0u);
    EXPECT_LT((right >> 16) & 0xFF, 0x20u);
    // The pixels blit straight into a bitmap in their true colours.
    CascadeBitmap bitmap;
    ASSERT_TRUE(bitmap.Create({320, 240}));
    ASSERT_TRUE(bitmap.CopyFromBuffer(reinterpret_cast<const uint8_t*>(jpeg.GetBitmapData()), {320, 240}, 32, {0, 0}));
    EXPECT_EQ(bitmap.GetPixel(20, 100), left);
}

TEST(CascadeJpegFileTest, InitFromMemoryMatchesFile) {
    ScopedTempDir dir("gfx-jpegfile");
    MakeJpeg(dir, "memory.jpg", {300, 200}, kRed, kBlue);
    const std::string bytes = dir.ReadFile("memory.jpg");
    CascadeJpegFile jpeg;
    ASSERT_TRUE(jpeg.Init(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    EXPECT_EQ(jpeg.GetImageWidth(), 300);
    ASSERT_TRUE(jpeg.Decode({150, 150}));
    EXPECT_EQ(jpeg.GetDecodedDims(), CascadeDims(150, 100));
}

TEST(CascadeJpegFileTest, TruncatedPictureFailsToDecode) {
    ScopedTempDir dir("gfx-jpegfile");
    MakeJpeg(dir, "cut.jpg", {400, 400}, kRed, kBlue);
    const std::string bytes = dir.ReadFile("cut.jpg");
    CascadeJpegFile jpeg;
    ASSERT_TRUE(jpeg.Init(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size() * 2 / 3));
    EXPECT_FALSE(jpeg.Decode({200, 200}));
    EXPECT_EQ(jpeg.GetBitmapData(), nullptr);
    EXPECT_EQ(jpeg.GetBitmapDataSize(), 0u);
    // Cut inside the header: Init already refuses it.
    EXPECT_FALSE(jpeg.Init(reinterpret_cast<const uint8_t*>(bytes.data()), 40));
    EXPECT_EQ(jpeg.GetImageWidth(), 0);
    EXPECT_FALSE(jpeg.Decode({200, 200}));
}

TEST(CascadeJpegFileTest, ForeignOrMissingDataIsRefused) {
    ScopedTempDir dir("gfx-jpegfile");
    ASSERT_TRUE(dir.WriteFile("fake.jpg", "\xff\xd8\xff garbage that only starts like a JPEG"));
    CascadeJpegFile jpeg;
    EXPECT_FALSE(jpeg.Init(dir.File("fake.jpg").c_str()));
    EXPECT_FALSE(jpeg.Init(dir.File("absent.jpg").c_str()));
    EXPECT_FALSE(jpeg.Init(nullptr));
    EXPECT_FALSE(jpeg.Init(nullptr, 0));
    CascadeBitmap png;
    ASSERT_TRUE(png.Create({4, 4}));
    ASSERT_TRUE(png.SaveAsPNG(dir.File("picture.png")));
    EXPECT_FALSE(jpeg.Init(dir.File("picture.png").c_str()));
}
