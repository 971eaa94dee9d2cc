#pragma once

#include <cstdint>

// Monotonic time. Any thread.
class CascadeTime {
public:
    // Milliseconds since the system started (never goes back, 64 bits).
    static uint64_t GetUptimeMilliseconds();
};
