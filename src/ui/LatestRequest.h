#pragma once

#include "platform/CascadeThread.h"

#include <mutex>

// Load requests for a loader thread where the newest request always wins: a
// request made while a run is under way is not dropped but runs next (any
// number of them make one more run), and the run under way can see that it
// has been overtaken and abandon its work.
//
// Threads: Post and Cancel on any thread except the loader; Next and
// IsOvertaken on the loader thread, whose ThreadProc is `while (Next()) ...`.
class LatestRequest {
public:
    // Asks for a run; starts `thread` under `name` when no run is under way.
    void Post(CascadeThread& thread, const char* name);
    // Loader thread, before each run: takes the waiting request and returns
    // true, or returns false when none waits (the thread must then end).
    [[nodiscard]] bool Next();
    // Loader thread: a request arrived after the current run began.
    bool IsOvertaken() const;
    // Forgets a waiting request; the owner stops its loader.
    void Cancel();

private:
    mutable std::mutex m_lock;  // guards both flags
    bool m_running = false;     // a loader thread is between Post and its last Next
    bool m_waiting = false;     // a request has not been taken yet
};
