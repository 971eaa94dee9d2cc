#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

class CascadeTimer;

// The UI thread's work list: tasks posted from any thread and periodic
// timers. The UI thread calls RunPending and then waits until the returned
// deadline or until Wake. Other threads post work and wake it.
class CascadeEventQueue {
public:
    using Task = std::function<void()>;

    // Runs `task` on the UI thread in posting order. Any thread.
    void Post(Task task);
    // Adds a periodic timer; returns its id (never 0). Any thread.
    unsigned long AddTimer(CascadeTimer* owner, unsigned long periodMs);
    void KillTimer(CascadeTimer* owner, unsigned long id);
    void KillTimers(CascadeTimer* owner);
    std::size_t TimerCount() const;

    // UI thread: runs the tasks posted so far and the timers that are due.
    // Returns the milliseconds until the next timer is due, or -1 for none.
    int RunPending();

    // Blocks the calling (UI) thread for at most `timeoutMs` (-1: no limit)
    // or until Wake. Used when no window system supplies the wait.
    void Wait(int timeoutMs);
    // Wakes Wait; also calls the extra waker (the window system's). Any thread.
    void Wake();
    void SetExtraWaker(std::function<void()> waker);

private:
    struct Timer {
        unsigned long id;
        CascadeTimer* owner;
        std::chrono::milliseconds period;
        std::chrono::steady_clock::time_point due;
    };

    void RunDueTimers();
    bool IsTimerAlive(unsigned long id) const;

    // Everything below is shared between the UI thread and posting threads.
    mutable std::mutex m_mutex;
    std::condition_variable m_wakeup;
    std::deque<Task> m_tasks;
    std::vector<Timer> m_timers;
    unsigned long m_nextTimerId = 1;
    bool m_woken = false;
    std::function<void()> m_extraWaker;
};
