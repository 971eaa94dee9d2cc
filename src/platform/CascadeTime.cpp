#include "platform/CascadeTime.h"

#include <ctime>

uint64_t CascadeTime::GetUptimeMilliseconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u;
}
