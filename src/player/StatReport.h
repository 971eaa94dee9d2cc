#pragma once

#include "player/PlayerView.h"
#include "player/StatusPacket.h"

#include <cstdint>

// What goes into one STAT report, and the rules that shape it: no stream
// means size, fullness and bytes received of 0; while buffering the
// threshold stands in for fullness and bytes received; "STMu" reports both
// fullness fields as 0. Pure; any thread.
class StatReport {
public:
    static constexpr uint32_t kReadAheadSize = 262144;

    struct Inputs {
        const char* code = "STMt";
        uint8_t format = 0;
        PlayerView::State state = PlayerView::kStopped;
        bool hasStream = false;
        uint32_t streamFullness = 0;
        uint32_t bytesReceived = 0;
        uint32_t thresholdBytes = 0;
        uint32_t runningMilliseconds = 0;
        uint32_t outputSize = 0;
        uint32_t outputFullness = 0;
        uint32_t elapsedSeconds = 0;
    };

    static StatusPacket Build(const Inputs& in);
};
