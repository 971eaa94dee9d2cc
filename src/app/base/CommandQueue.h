#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// One thread that runs posted commands in the order they were posted, one at
// a time. The application sends every server command of a key handler here,
// so keys return at once and commands are neither lost nor reordered however
// slowly the server answers.
//
// Threads: Post and WaitUntilIdle from any thread but the queue's own; Stop
// and the destructor from the owner. The thread is named after the queue.
class CommandQueue {
public:
    using Command = std::function<void()>;

    explicit CommandQueue(std::string name);
    CommandQueue(const CommandQueue&) = delete;
    CommandQueue& operator=(const CommandQueue&) = delete;
    ~CommandQueue();  // Stop

    // Appends `command`; starts the thread on first use. False (logged with
    // `label`) once the queue has stopped.
    bool Post(const char* label, Command command);
    // Blocks until every command posted so far has run, or `timeoutMs`
    // passed; true when idle. For shutdown and tests.
    [[nodiscard]] bool WaitUntilIdle(unsigned long timeoutMs);
    // Refuses new commands, drops the ones not started (logged), lets the
    // running one finish and joins the thread.
    void Stop();

    std::size_t Pending() const;

private:
    struct Entry {
        std::string label;
        Command command;
    };
    void Run();

    std::string m_name;
    // The queue and the thread's state, shared by posters and the thread.
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<Entry> m_entries;
    bool m_running = false;  // a command is executing
    bool m_stopped = false;
    std::thread m_thread;
};
