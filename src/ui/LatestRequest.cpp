#include "ui/LatestRequest.h"

#include "app/base/AppLog.h"

void LatestRequest::Post(CascadeThread& thread, const char* name) {
    {
        std::lock_guard lock(m_lock);
        m_waiting = true;
        if (m_running) return;
        m_running = true;
    }
    if (thread.Start(name)) return;
    // The previous run has taken its last Next and is returning.
    thread.WaitUntilFinished();
    if (thread.Start(name)) return;
    AppLog::WriteToLog("loader: %s could not be started\n", false, name);
    std::lock_guard lock(m_lock);
    m_running = false;
}

bool LatestRequest::Next() {
    std::lock_guard lock(m_lock);
    m_running = m_waiting;
    m_waiting = false;
    return m_running;
}

bool LatestRequest::IsOvertaken() const {
    std::lock_guard lock(m_lock);
    return m_waiting;
}

void LatestRequest::Cancel() {
    std::lock_guard lock(m_lock);
    m_waiting = false;
}
