#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

// The keys a remote-control reader handed on, from its own thread.
class KeyLog {
public:
    void Add(unsigned long key) {
        std::lock_guard lock(m_lock);
        m_keys.push_back(key);
        m_changed.notify_all();
    }
    // The keys once `count` have come (or what came within a generous limit).
    std::vector<unsigned long> WaitFor(std::size_t count) {
        std::unique_lock lock(m_lock);
        m_changed.wait_for(lock, std::chrono::seconds(20), [&] { return m_keys.size() >= count; });
        return m_keys;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<unsigned long> m_keys;
};
