#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

// What a reader or listener handed on from its own thread, in order.
template <typename T>
class EventLog {
public:
    void Add(T value) {
        std::lock_guard lock(m_lock);
        m_values.push_back(std::move(value));
        m_changed.notify_all();
    }
    // The values once `count` have come (or what came within a generous limit).
    std::vector<T> WaitFor(std::size_t count) {
        std::unique_lock lock(m_lock);
        m_changed.wait_for(lock, std::chrono::seconds(20), [&] { return m_values.size() >= count; });
        return m_values;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<T> m_values;
};

// The keys a remote-control reader handed on.
using KeyLog = EventLog<unsigned long>;
