#include "player/PlayClock.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// One step on the clock at a given uptime, and the seconds it reads after.
struct Step {
    enum Kind { kBegin, kRun, kHold, kReset, kRead } kind;
    uint64_t now;
    uint32_t expected;
};

struct ClockCase {
    const char* name;
    std::vector<Step> steps;
};

class PlayClockTest : public ::testing::TestWithParam<ClockCase> {};

TEST_P(PlayClockTest, ReadsTheSecondsPlayed) {
    PlayClock clock;
    for (const Step& step : GetParam().steps) {
        switch (step.kind) {
        case Step::kBegin: clock.Begin(step.now); break;
        case Step::kRun: clock.Run(step.now); break;
        case Step::kHold: clock.Hold(step.now); break;
        case Step::kReset: clock.Reset(); break;
        case Step::kRead: break;
        }
        EXPECT_EQ(clock.ElapsedSeconds(step.now), step.expected) << "at " << step.now;
    }
}

// Uptimes start well above 0: an uptime of 0 is a valid start, not "not running".
INSTANTIATE_TEST_SUITE_P(
    Runs, PlayClockTest,
    ::testing::Values(
        ClockCase{"NotStartedReadsZero", {{Step::kRead, 5000, 0}}},
        ClockCase{"OnlyWholeSecondsCount",
                  {{Step::kBegin, 1000, 0}, {Step::kRead, 1999, 0}, {Step::kRead, 2000, 1}, {Step::kRead, 61999, 60}}},
        ClockCase{"AStartAtUptimeZeroRuns", {{Step::kBegin, 0, 0}, {Step::kRead, 3000, 3}}},
        ClockCase{"APauseKeepsTheSecondsAndStopsCounting",
                  {{Step::kBegin, 1000, 0}, {Step::kHold, 4500, 3}, {Step::kRead, 90000, 3}, {Step::kRun, 100000, 3},
                   {Step::kRead, 102000, 5}}},
        // Each pause keeps whole seconds only, as the server is told.
        ClockCase{"FractionsOfRunsAreDropped",
                  {{Step::kBegin, 0, 0}, {Step::kHold, 1500, 1}, {Step::kRun, 2000, 1}, {Step::kHold, 3500, 2}}},
        ClockCase{"ARunAlreadyGoingKeepsItsStart",
                  {{Step::kBegin, 1000, 0}, {Step::kRun, 5000, 4}, {Step::kRead, 6000, 5}}},
        ClockCase{"AHoldWhileHeldAddsNothing", {{Step::kBegin, 0, 0}, {Step::kHold, 2000, 2}, {Step::kHold, 9000, 2}}},
        ClockCase{"ANewTrackStartsFromZero",
                  {{Step::kBegin, 0, 0}, {Step::kHold, 7000, 7}, {Step::kBegin, 8000, 0}, {Step::kRead, 9000, 1}}},
        ClockCase{"ResetStopsAndClears", {{Step::kBegin, 0, 0}, {Step::kReset, 5000, 0}, {Step::kRead, 9000, 0}}},
        ClockCase{"AClockBehindTheStartCountsTheRunAsZero",
                  {{Step::kBegin, 0, 0}, {Step::kHold, 4000, 4}, {Step::kRun, 10000, 4}, {Step::kRead, 9000, 4}}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
