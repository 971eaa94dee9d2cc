#include "platform/CascadeEventQueue.h"

#include "platform/CascadeTimer.h"

#include <algorithm>

using Clock = std::chrono::steady_clock;

void CascadeEventQueue::Post(Task task) {
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    Wake();
}

unsigned long CascadeEventQueue::AddTimer(CascadeTimer* owner, unsigned long periodMs) {
    const auto period = std::chrono::milliseconds(std::max<unsigned long>(periodMs, 1));
    unsigned long id;
    {
        std::lock_guard lock(m_mutex);
        id = m_nextTimerId++;
        if (m_nextTimerId == 0) m_nextTimerId = 1;
        m_timers.push_back({id, owner, period, Clock::now() + period});
    }
    Wake();  // the UI thread may be waiting without a deadline
    return id;
}

void CascadeEventQueue::KillTimer(CascadeTimer* owner, unsigned long id) {
    std::lock_guard lock(m_mutex);
    std::erase_if(m_timers, [&](const Timer& t) { return t.id == id && t.owner == owner; });
}

void CascadeEventQueue::KillTimers(CascadeTimer* owner) {
    std::lock_guard lock(m_mutex);
    std::erase_if(m_timers, [&](const Timer& t) { return t.owner == owner; });
}

std::size_t CascadeEventQueue::TimerCount() const {
    std::lock_guard lock(m_mutex);
    return m_timers.size();
}

bool CascadeEventQueue::IsTimerAlive(unsigned long id) const {
    return std::any_of(m_timers.begin(), m_timers.end(), [&](const Timer& t) { return t.id == id; });
}

void CascadeEventQueue::RunDueTimers() {
    std::vector<std::pair<unsigned long, CascadeTimer*>> due;
    {
        std::lock_guard lock(m_mutex);
        const auto now = Clock::now();
        for (Timer& t : m_timers) {
            if (t.due > now) continue;
            due.emplace_back(t.id, t.owner);
            // Keep the rhythm, but never queue up missed ticks after a stall.
            t.due += t.period;
            if (t.due <= now) t.due = now + t.period;
        }
    }
    for (auto [id, owner] : due) {
        {
            std::lock_guard lock(m_mutex);
            if (!IsTimerAlive(id)) continue;  // killed by an earlier callback
        }
        owner->OnTimer(id);
    }
}

int CascadeEventQueue::RunPending() {
    std::deque<Task> tasks;
    {
        std::lock_guard lock(m_mutex);
        tasks.swap(m_tasks);
        m_woken = false;
    }
    for (Task& task : tasks) task();
    RunDueTimers();

    std::lock_guard lock(m_mutex);
    if (!m_tasks.empty()) return 0;
    if (m_timers.empty()) return -1;
    auto next = std::min_element(m_timers.begin(), m_timers.end(),
                                 [](const Timer& a, const Timer& b) { return a.due < b.due; })->due;
    auto ms = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()).count();
    return int(std::clamp<long long>(ms, 0, 24 * 3600 * 1000));
}

void CascadeEventQueue::Wait(int timeoutMs) {
    std::unique_lock lock(m_mutex);
    auto ready = [&] { return m_woken || !m_tasks.empty(); };
    if (timeoutMs < 0)
        m_wakeup.wait(lock, ready);
    else
        m_wakeup.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
    m_woken = false;
}

void CascadeEventQueue::Wake() {
    std::function<void()> extra;
    {
        std::lock_guard lock(m_mutex);
        m_woken = true;
        extra = m_extraWaker;
    }
    m_wakeup.notify_one();
    if (extra) extra();
}

void CascadeEventQueue::SetExtraWaker(std::function<void()> waker) {
    std::lock_guard lock(m_mutex);
    m_extraWaker = std::move(waker);
}
