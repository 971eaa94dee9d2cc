#pragma once

// Test-only faults for the end-to-end tests of the fatal-signal path. The
// environment variable QUENDREL_TEST_FAULT (read once) names the point where
// the process is to fault; unset, every point costs one comparison.
class FaultHook {
public:
    enum class Point {
        AudioThread,  // "audio-thread": the audio thread, as a stream's decoding begins
    };

    // Raises SIGSEGV on the calling thread when QUENDREL_TEST_FAULT names
    // `point`. Any thread.
    static void At(Point point);
};
