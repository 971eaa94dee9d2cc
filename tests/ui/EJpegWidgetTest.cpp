#include "ui/EJpegWidget.h"

#include "platform/CascadeJpegFile.h"
#include "support/ScopedTempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

class EJpegWidgetTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(m_temp.Path().empty()); }
    // A JPEG of `w` x `h` filled with `color`, saved as `name`.
    std::string WriteJpeg(const std::string& name, int w, int h, CascadeColor color = CascadeColor(200, 30, 40)) {
        CascadeBitmap b;
        EXPECT_TRUE(b.Create({w, h}));
        b.Clear(color);
        const std::string path = m_temp.File(name);
        EXPECT_TRUE(b.SaveAsJPEG(path, 95));
        return path;
    }
    ScopedTempDir m_temp{"quendrel-jpeg"};
};

TEST_F(EJpegWidgetTest, CoverIsFittedIntoTheBoxKeepingItsShape) {
    CascadeDims size;
    std::vector<uint8_t> pixels;
    ASSERT_TRUE(EJpegWidget::GetJpegBitmap(WriteJpeg("wide.jpg", 1000, 500).c_str(), {400, 400}, size, pixels,
                                           EJpegWidget::PixelOrder::kAlphaFirst));
    EXPECT_EQ(size, CascadeDims(400, 200));
    EXPECT_EQ(pixels.size(), std::size_t(400 * 200 * 4));
    // A small picture is enlarged to touch the box.
    ASSERT_TRUE(EJpegWidget::GetJpegBitmap(WriteJpeg("small.jpg", 200, 100).c_str(), {400, 400}, size, pixels,
                                           EJpegWidget::PixelOrder::kAlphaFirst));
    EXPECT_EQ(size, CascadeDims(400, 200));
    ASSERT_TRUE(EJpegWidget::GetJpegBitmap(WriteJpeg("tall.jpg", 300, 900).c_str(), {400, 400}, size, pixels,
                                           EJpegWidget::PixelOrder::kAlphaFirst));
    EXPECT_EQ(size, CascadeDims(133, 400));
}

TEST_F(EJpegWidgetTest, PixelOrdersKeepTheTrueColours) {
    const std::string path = WriteJpeg("red.jpg", 64, 64, CascadeColor(220, 20, 30));
    CascadeDims size;
    std::vector<uint8_t> pixels;
    ASSERT_TRUE(EJpegWidget::GetJpegBitmap(path.c_str(), {32, 32}, size, pixels, EJpegWidget::PixelOrder::kAlphaFirst));
    uint32_t word = 0;
    std::memcpy(&word, pixels.data() + 4 * (16 * 32 + 16), 4);
    const CascadeColor argb = CascadeColor::FromARGB(word);
    EXPECT_EQ(argb.Alpha(), 255);
    EXPECT_NEAR(argb.Red(), 220, 6);
    EXPECT_NEAR(argb.Green(), 20, 6);
    EXPECT_NEAR(argb.Blue(), 30, 6);
    ASSERT_TRUE(EJpegWidget::GetJpegBitmap(path.c_str(), {32, 32}, size, pixels, EJpegWidget::PixelOrder::kAlphaLast));
    std::memcpy(&word, pixels.data() + 4 * (16 * 32 + 16), 4);
    const CascadeColor rgba(word);
    EXPECT_EQ(rgba.Alpha(), 255);
    EXPECT_NEAR(rgba.Red(), 220, 6);
    EXPECT_NEAR(rgba.Blue(), 30, 6);
}

TEST_F(EJpegWidgetTest, MissingCorruptOrCutShortFilesFailWithAnEmptyBuffer) {
    CascadeDims size;
    std::vector<uint8_t> pixels{1, 2, 3};
    EXPECT_FALSE(EJpegWidget::GetJpegBitmap(m_temp.File("none.jpg").c_str(), {40, 40}, size, pixels,
                                            EJpegWidget::PixelOrder::kAlphaFirst));
    EXPECT_TRUE(pixels.empty());
    WriteJpeg("full.jpg", 200, 200);
    const std::string bytes = m_temp.ReadFile("full.jpg");
    ASSERT_TRUE(m_temp.WriteFile("cut.jpg", bytes.substr(0, bytes.size() / 3)));
    EXPECT_FALSE(EJpegWidget::GetJpegBitmap(m_temp.File("cut.jpg").c_str(), {40, 40}, size, pixels,
                                            EJpegWidget::PixelOrder::kAlphaFirst));
    ASSERT_TRUE(m_temp.WriteFile("text.jpg", "not a picture at all"));
    EXPECT_FALSE(EJpegWidget::GetJpegBitmap(m_temp.File("text.jpg").c_str(), {40, 40}, size, pixels,
                                            EJpegWidget::PixelOrder::kAlphaFirst));
    EXPECT_FALSE(EJpegWidget::GetJpegBitmap(static_cast<CascadeStream*>(nullptr), {40, 40}, size, pixels,
                                            EJpegWidget::PixelOrder::kAlphaFirst));
    EXPECT_TRUE(pixels.empty());
}

TEST_F(EJpegWidgetTest, ValidFileChecksExistenceAndOptionallyTheExtension) {
    const std::string upper = WriteJpeg("COVER.JPG", 8, 8);
    const std::string thumb = WriteJpeg("nocover.thm", 8, 8);
    ASSERT_TRUE(m_temp.WriteFile("cover.png", "x"));
    EXPECT_TRUE(EJpegWidget::IsValidJpegFile(upper.c_str(), true));
    EXPECT_TRUE(EJpegWidget::IsValidJpegFile(thumb.c_str(), true));
    EXPECT_FALSE(EJpegWidget::IsValidJpegFile(m_temp.File("cover.png").c_str(), true));
    EXPECT_TRUE(EJpegWidget::IsValidJpegFile(m_temp.File("cover.png").c_str(), false));
    EXPECT_FALSE(EJpegWidget::IsValidJpegFile(m_temp.File("gone.jpg").c_str(), false));
    EXPECT_FALSE(EJpegWidget::IsValidJpegFile("", false));
    EXPECT_FALSE(EJpegWidget::IsValidJpegFile(nullptr, false));
    EXPECT_FALSE(EJpegWidget::IsValidJpegFile(m_temp.Path().c_str(), false));  // a directory
}

}  // namespace
