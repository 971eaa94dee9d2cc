#include "player/StatReport.h"

#include <cstring>

StatusPacket StatReport::Build(const Inputs& in) {
    StatusPacket p;
    const std::size_t codeLength = in.code ? strnlen(in.code, 4) : 0;
    for (std::size_t i = 0; i < 4; ++i) p.eventCode[i] = i < codeLength ? in.code[i] : ' ';
    p.reserved = 0;
    p.streamFormat = in.format;
    p.modeByte = 1;
    if (in.hasStream) {
        p.size = kReadAheadSize;
        p.fullness = in.streamFullness;
        p.bytesRx = in.bytesReceived;
    }
    if (in.state == PlayerView::kBuffering) {
        p.fullness = in.thresholdBytes;
        p.bytesRx = in.thresholdBytes;
    }
    p.signalStrength = 255;
    p.runningMilliseconds = in.runningMilliseconds;
    p.outputSize = in.outputSize;
    p.outputFullness = in.outputFullness;
    p.elapsedSeconds = in.elapsedSeconds;
    if (codeLength == 4 && std::memcmp(in.code, "STMu", 4) == 0) {
        p.fullness = 0;
        p.outputFullness = 0;
    }
    return p;
}
