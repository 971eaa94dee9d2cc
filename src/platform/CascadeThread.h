#pragma once

#include <atomic>
#include <string>
#include <thread>

// A thread that runs the derived class's ThreadProc. The owner starts it and
// must call WaitUntilFinished before any member that ThreadProc uses dies;
// the destructor joins as a last resort but cannot protect derived members.
class CascadeThread {
public:
    CascadeThread() = default;
    CascadeThread(const CascadeThread&) = delete;
    CascadeThread& operator=(const CascadeThread&) = delete;
    virtual ~CascadeThread();

    // Starts ThreadProc on a new thread named `name` (at most 15 bytes show in
    // tools like top). A previous run that has finished is joined first.
    // False when the previous run is still going. Any thread except its own.
    [[nodiscard]] bool Start(const char* name = "worker");

    // Blocks until ThreadProc has returned. Never from the thread itself.
    void WaitUntilFinished();

    bool IsRunning() const { return m_running.load(); }

    // Sleeps the calling thread.
    static void Sleep(unsigned long milliseconds);

protected:
    virtual void ThreadProc() = 0;

private:
    std::thread m_thread;
    std::atomic<bool> m_running{false};
    std::string m_name;
};
