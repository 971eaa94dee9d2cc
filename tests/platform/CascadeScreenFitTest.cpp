#include "platform/CascadeScreenFit.h"

#include <gtest/gtest.h>

namespace {

struct FitCase {
    const char* name;
    CascadeDims logical;
    CascadeDims output;
    CascadeRect expected;
};

class ScreenFitTest : public ::testing::TestWithParam<FitCase> {};

TEST_P(ScreenFitTest, PlacesTheLogicalScreen) {
    const FitCase& c = GetParam();
    EXPECT_EQ(CascadeScreenFit::Fit(c.logical, c.output), c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Sizes, ScreenFitTest,
                         ::testing::Values(
                             // Same aspect ratio: the whole display, no bars, up and down.
                             FitCase{"16:9 on 720p", {1024, 576}, {1280, 720}, {0, 0, 1280, 720}},
                             FitCase{"16:9 shrunk", {1024, 576}, {640, 360}, {0, 0, 640, 360}},
                             FitCase{"same size", {1024, 576}, {1024, 576}, {0, 0, 1024, 576}},
                             // A wider display: bars left and right.
                             FitCase{"16:9 on 21:9", {1024, 576}, {2560, 1080}, {320, 0, 1920, 1080}},
                             FitCase{"4:3 on 16:9", {640, 480}, {1280, 720}, {160, 0, 960, 720}},
                             // A taller display: bars above and below.
                             FitCase{"16:9 on 4:3", {1024, 576}, {1024, 768}, {0, 96, 1024, 576}},
                             FitCase{"16:9 on 16:10", {1024, 576}, {1280, 800}, {0, 40, 1280, 720}},
                             // Nearly 16:9: the scaled side is rounded, the bar split evenly.
                             FitCase{"1366x768", {1024, 576}, {1366, 768}, {0, 0, 1365, 768}},
                             FitCase{"odd bar", {1024, 576}, {1281, 720}, {0, 0, 1280, 720}},
                             FitCase{"3px wider", {1024, 576}, {1283, 720}, {1, 0, 1280, 720}},
                             // Nothing to show or nowhere to show it.
                             FitCase{"empty output", {1024, 576}, {0, 720}, {}},
                             FitCase{"empty logical", {0, 0}, {1280, 720}, {}}),
                         [](const ::testing::TestParamInfo<FitCase>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return name;
                         });

}  // namespace
