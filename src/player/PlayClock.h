#pragma once

#include <cstdint>
#include <optional>

// Seconds played of the current track. A run starts when playback begins or
// resumes and ends at a pause or when the audio player starts buffering
// again; the whole seconds of every ended run add up in the base. Times are
// uptime milliseconds given by the caller. Not thread-safe: the player keeps
// it under its lock.
class PlayClock {
public:
    // Playback of a track began at `now`: counting starts again from 0.
    void Begin(uint64_t now);
    // A run starts at `now` (after a pause); the base stays. A run already
    // going keeps its start, so no second is lost.
    void Run(uint64_t now);
    // The run ends at `now`: its whole seconds go into the base. No effect
    // when not running.
    void Hold(uint64_t now);
    // Back to 0 and not running (the track ended or playback stopped).
    void Reset();

    bool IsRunning() const { return m_runStart.has_value(); }
    // The base plus the whole seconds of the run so far; a clock that reads
    // earlier than the run's start counts the run as 0.
    uint32_t ElapsedSeconds(uint64_t now) const;

private:
    uint32_t RunSeconds(uint64_t now) const;

    uint32_t m_baseSeconds = 0;
    std::optional<uint64_t> m_runStart;
};
