#include "platform/CascadeScreenFit.h"

#include <gtest/gtest.h>

namespace {

// The logical screen scaled to the output with its aspect ratio kept and
// the bars split evenly.
TEST(CascadeScreenFit, PlacesTheLogicalScreen) {
    const struct {
        const char* name;
        CascadeDims logical, output;
        CascadeRect expected;
    } cases[] = {
        {"16:9 on 720p", {1024, 576}, {1280, 720}, {0, 0, 1280, 720}},
        {"16:9 shrunk", {1024, 576}, {640, 360}, {0, 0, 640, 360}},
        {"16:9 on 21:9", {1024, 576}, {2560, 1080}, {320, 0, 1920, 1080}},
        {"4:3 on 16:9", {640, 480}, {1280, 720}, {160, 0, 960, 720}},
        {"16:9 on 4:3", {1024, 576}, {1024, 768}, {0, 96, 1024, 576}},
        {"16:9 on 16:10", {1024, 576}, {1280, 800}, {0, 40, 1280, 720}},
        // Nearly 16:9: the scaled side is rounded, the bar split evenly.
        {"1366x768", {1024, 576}, {1366, 768}, {0, 0, 1365, 768}},
        {"odd bar", {1024, 576}, {1281, 720}, {0, 0, 1280, 720}},
        {"3px wider", {1024, 576}, {1283, 720}, {1, 0, 1280, 720}},
        {"empty output", {1024, 576}, {0, 720}, {}},
        {"empty logical", {0, 0}, {1280, 720}, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(CascadeScreenFit::Fit(c.logical, c.output), c.expected) << c.name;
}

}  // namespace
