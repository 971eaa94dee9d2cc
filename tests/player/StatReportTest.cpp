#include "player/StatReport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A report while playing, every input distinct; each case changes a few.
StatReport::Inputs Playing() {
    StatReport::Inputs in;
    in.code = "STMt";
    in.format = 'f';
    in.state = PlayerView::kPlaying;
    in.hasStream = true;
    in.streamFullness = 0x01020304;
    in.bytesReceived = 0xA0B0C0D0;
    in.thresholdBytes = 255 * 1024;
    in.runningMilliseconds = 0x11223344;
    in.outputSize = 131072;
    in.outputFullness = 0x00ABCDEF;
    in.elapsedSeconds = 0x0102;
    return in;
}

// The fields the rules shape (the wire layout is StatusPacketTest's).
struct ReportCase {
    const char* name;
    void (*change)(StatReport::Inputs&);
    std::string code;
    uint32_t size, fullness;
    uint64_t bytesRx;
    uint32_t outputFullness;
};

class StatReportTest : public ::testing::TestWithParam<ReportCase> {};

TEST_P(StatReportTest, ShapesTheReport) {
    const ReportCase& c = GetParam();
    StatReport::Inputs in = Playing();
    c.change(in);
    const StatusPacket p = StatReport::Build(in);
    EXPECT_EQ(std::string(p.eventCode.begin(), p.eventCode.end()), c.code);
    EXPECT_EQ(p.size, c.size);
    EXPECT_EQ(p.fullness, c.fullness);
    EXPECT_EQ(p.bytesRx, c.bytesRx);
    EXPECT_EQ(p.outputFullness, c.outputFullness);
    // What no rule touches passes through.
    EXPECT_EQ(p.streamFormat, 'f');
    EXPECT_EQ(p.modeByte, 1);
    EXPECT_EQ(p.signalStrength, 255);
    EXPECT_EQ(p.runningMilliseconds, 0x11223344u);
    EXPECT_EQ(p.outputSize, 131072u);
    EXPECT_EQ(p.elapsedSeconds, 0x0102u);
}

constexpr uint32_t kThreshold = 255 * 1024;

INSTANTIATE_TEST_SUITE_P(
    Rules, StatReportTest,
    ::testing::Values(
        ReportCase{"PlayingReportsTheStream", [](StatReport::Inputs&) {}, "STMt", 262144, 0x01020304, 0xA0B0C0D0,
                   0x00ABCDEF},
        ReportCase{"WithoutAStreamTheReadAheadFieldsAreZero", [](StatReport::Inputs& in) { in.hasStream = false; },
                   "STMt", 0, 0, 0, 0x00ABCDEF},
        ReportCase{"BufferingReportsTheThreshold", [](StatReport::Inputs& in) { in.state = PlayerView::kBuffering; },
                   "STMt", 262144, kThreshold, kThreshold, 0x00ABCDEF},
        ReportCase{"BufferingReportsTheThresholdEvenWithoutAStream",
                   [](StatReport::Inputs& in) {
                       in.state = PlayerView::kBuffering;
                       in.hasStream = false;
                   },
                   "STMt", 0, kThreshold, kThreshold, 0x00ABCDEF},
        ReportCase{"UnderrunReportsBothFullnessFieldsAsZero", [](StatReport::Inputs& in) { in.code = "STMu"; },
                   "STMu", 262144, 0, 0xA0B0C0D0, 0},
        ReportCase{"UnderrunWhileBufferingStillReportsZeroFullness",
                   [](StatReport::Inputs& in) {
                       in.code = "STMu";
                       in.state = PlayerView::kBuffering;
                   },
                   "STMu", 262144, 0, kThreshold, 0},
        ReportCase{"AShortCodeIsPaddedNotOverread", [](StatReport::Inputs& in) { in.code = "ST"; }, "ST  ", 262144,
                   0x01020304, 0xA0B0C0D0, 0x00ABCDEF},
        ReportCase{"ALongerCodeIsCutAtFourLetters", [](StatReport::Inputs& in) { in.code = "STMuX"; }, "STMu",
                   262144, 0, 0xA0B0C0D0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
