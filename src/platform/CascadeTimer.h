#pragma once

// A periodic timer whose OnTimer runs on the UI thread. A class derives from
// it and may run several timers, told apart by their ids. Needs a running
// CascadeApp (SetTimer returns 0 without one).
class CascadeTimer {
public:
    CascadeTimer() = default;
    CascadeTimer(const CascadeTimer&) = delete;
    CascadeTimer& operator=(const CascadeTimer&) = delete;
    // Kills every timer this object still runs.
    virtual ~CascadeTimer();

    // Starts a timer firing every `periodMs` (at least 1); returns its id,
    // never 0, or 0 when no application runs. Any thread.
    unsigned long SetTimer(unsigned long periodMs);
    // Stops the timer; unknown ids and 0 are ignored. After it returns on the
    // UI thread, OnTimer is not called again for this id. Any thread.
    void KillTimer(unsigned long id);

    // Called on the UI thread each period.
    virtual void OnTimer(unsigned long id) = 0;
};
