#include "ui/EJpegWidget.h"

#include "support/ScopedTempDir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A cover is fitted into the box keeping its shape (a small one enlarged to
// touch it); a missing, cut-short or undecodable file fails with an empty buffer.
TEST(EJpegWidget, CoversAreFittedIntoTheBoxKeepingTheirShape) {
    ScopedTempDir temp("quendrel-jpeg");
    const struct {
        CascadeDims file, fitted;
    } cases[] = {
        {{1000, 500}, {400, 200}}, {{200, 100}, {400, 200}}, {{300, 900}, {133, 400}}, {{400, 400}, {400, 400}}};
    CascadeDims size;
    std::vector<uint8_t> pixels;
    for (const auto& c : cases) {
        CascadeBitmap b;
        ASSERT_TRUE(b.Create(c.file));
        b.Clear(CascadeColor(200, 30, 40));
        ASSERT_TRUE(b.SaveAsJPEG(temp.File("cover.jpg"), 95));
        ASSERT_TRUE(EJpegWidget::GetJpegBitmap(temp.File("cover.jpg").c_str(), {400, 400}, size, pixels,
                                               EJpegWidget::PixelOrder::kAlphaFirst));
        EXPECT_EQ(c.fitted, size) << c.file.w << "x" << c.file.h;
        EXPECT_EQ(std::size_t(c.fitted.w * c.fitted.h * 4), pixels.size());
    }
    const std::string bytes = temp.ReadFile("cover.jpg");
    ASSERT_TRUE(temp.WriteFile("cut.jpg", bytes.substr(0, bytes.size() / 3)));
    ASSERT_TRUE(temp.WriteFile("text.jpg", "not a picture at all"));
    for (const char* name : {"none.jpg", "cut.jpg", "text.jpg"}) {
        EXPECT_FALSE(EJpegWidget::GetJpegBitmap(temp.File(name).c_str(), {40, 40}, size, pixels,
                                                EJpegWidget::PixelOrder::kAlphaFirst))
            << name;
        EXPECT_TRUE(pixels.empty()) << name;
    }
}

}  // namespace
