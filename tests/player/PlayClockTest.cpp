#include "player/PlayClock.h"

#include <gtest/gtest.h>

#include <vector>

// Each case is a run of steps on a fresh clock, at given uptimes, with the
// seconds the clock reads after each step. Uptimes start well above 0 except
// where a start at uptime 0 is the point: it is a valid start, not "not
// running".
TEST(PlayClockTest, ReadsTheWholeSecondsPlayed) {
    enum Kind { kBegin, kRun, kHold, kReset, kRead };
    struct Step {
        Kind kind;
        uint64_t now;
        uint32_t expected;
    };
    const std::vector<std::vector<Step>> cases = {
        {{kRead, 5000, 0}},                                                           // not started
        {{kBegin, 1000, 0}, {kRead, 1999, 0}, {kRead, 2000, 1}, {kRead, 61999, 60}},  // whole seconds only
        {{kBegin, 0, 0}, {kRead, 3000, 3}},
        // A pause keeps the seconds and stops counting.
        {{kBegin, 1000, 0}, {kHold, 4500, 3}, {kRead, 90000, 3}, {kRun, 100000, 3}, {kRead, 102000, 5}},
        // Each pause keeps whole seconds only, as the server is told.
        {{kBegin, 0, 0}, {kHold, 1500, 1}, {kRun, 2000, 1}, {kHold, 3500, 2}},
        {{kBegin, 1000, 0}, {kRun, 5000, 4}, {kRead, 6000, 5}},                   // a run already going keeps its start
        {{kBegin, 0, 0}, {kHold, 2000, 2}, {kHold, 9000, 2}},                     // a hold while held adds nothing
        {{kBegin, 0, 0}, {kHold, 7000, 7}, {kBegin, 8000, 0}, {kRead, 9000, 1}},  // a new track from 0
        {{kBegin, 0, 0}, {kReset, 5000, 0}, {kRead, 9000, 0}},
        // A clock behind the run's start counts the run as 0.
        {{kBegin, 0, 0}, {kHold, 4000, 4}, {kRun, 10000, 4}, {kRead, 9000, 4}},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        PlayClock clock;
        for (const Step& step : cases[i]) {
            if (step.kind == kBegin) clock.Begin(step.now);
            if (step.kind == kRun) clock.Run(step.now);
            if (step.kind == kHold) clock.Hold(step.now);
            if (step.kind == kReset) clock.Reset();
            EXPECT_EQ(clock.ElapsedSeconds(step.now), step.expected) << "case " << i << " at " << step.now;
        }
    }
}
