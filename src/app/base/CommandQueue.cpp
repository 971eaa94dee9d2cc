#include "app/base/CommandQueue.h"

#include "app/base/AppLog.h"

#include <pthread.h>

#include <chrono>

CommandQueue::CommandQueue(std::string name) : m_name(std::move(name)) {}

CommandQueue::~CommandQueue() { Stop(); }

bool CommandQueue::Post(const char* label, Command command) {
    {
        std::lock_guard lock(m_lock);
        if (m_stopped) {
            AppLog::WriteToLog("%s: \"%s\" refused, shutting down\n", false, m_name.c_str(), label ? label : "");
            return false;
        }
        m_entries.push_back({label ? label : "", std::move(command)});
        if (!m_thread.joinable()) m_thread = std::thread([this] { Run(); });
    }
    m_changed.notify_all();
    return true;
}

bool CommandQueue::WaitUntilIdle(unsigned long timeoutMs) {
    std::unique_lock lock(m_lock);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [this] { return m_entries.empty() && !m_running; });
}

void CommandQueue::Stop() {
    std::deque<Entry> dropped;
    {
        std::lock_guard lock(m_lock);
        m_stopped = true;
        dropped.swap(m_entries);
    }
    m_changed.notify_all();
    for (const Entry& entry : dropped)
        AppLog::WriteToLog("%s: \"%s\" dropped at shutdown\n", false, m_name.c_str(), entry.label.c_str());
    if (m_thread.joinable()) m_thread.join();
}

std::size_t CommandQueue::Pending() const {
    std::lock_guard lock(m_lock);
    return m_entries.size() + (m_running ? 1 : 0);
}

void CommandQueue::Run() {
    pthread_setname_np(pthread_self(), m_name.substr(0, 15).c_str());
    std::unique_lock lock(m_lock);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stopped || !m_entries.empty(); });
        if (m_entries.empty()) return;  // stopped
        Entry entry = std::move(m_entries.front());
        m_entries.pop_front();
        m_running = true;
        lock.unlock();
        entry.command();
        entry = {};  // whatever the command captured dies outside the lock
        lock.lock();
        m_running = false;
        m_changed.notify_all();
    }
}
