#pragma once

#include <mutex>

// The framework mutex. It is recursive: a thread that holds it may lock it
// again (the CLI request lock is taken per exchange and again inside helpers).
// Also meets the Lockable requirements, so std::lock_guard/scoped_lock work.
class CascadeMutex {
public:
    void Lock() { m_mutex.lock(); }
    void Unlock() { m_mutex.unlock(); }
    bool TryLock() { return m_mutex.try_lock(); }

    void lock() { m_mutex.lock(); }
    void unlock() { m_mutex.unlock(); }
    bool try_lock() { return m_mutex.try_lock(); }

private:
    std::recursive_mutex m_mutex;
};
