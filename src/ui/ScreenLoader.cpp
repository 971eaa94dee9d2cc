#include "ui/ScreenLoader.h"

#include "app/base/AppLog.h"

#include <pthread.h>

#include <chrono>
#include <cstring>

ScreenLoader::ScreenLoader(std::string threadName, AppServices* app, long windowId)
    : m_name(std::move(threadName)), m_app(app), m_windowId(windowId) {}

ScreenLoader::~ScreenLoader() { Join(); }

bool ScreenLoader::Start(const CascadeString& command, Work work, PleaseWait pleaseWait) {
    {
        std::lock_guard lock(m_lock);
        if (m_joined) return false;
        m_requests.push_back({command, std::move(work), pleaseWait});
        if (!m_thread.joinable()) m_thread = std::thread([this] { Run(); });
    }
    m_changed.notify_all();
    return true;
}

CascadeString ScreenLoader::GetCommand() const {
    std::lock_guard lock(m_lock);
    return m_command;
}

void ScreenLoader::SetPleaseWaitText(const char* text) {
    if (text) Post(AppServices::kSetPleaseWaitText, text, std::strlen(text));
}

void ScreenLoader::Cancel() {
    std::deque<Request> dropped;
    {
        std::lock_guard lock(m_lock);
        dropped.swap(m_requests);
        if (m_running) m_cancel = true;
    }
    m_changed.notify_all();
    // `dropped` (and what its work captured) dies outside the lock.
}

void ScreenLoader::Join() {
    {
        std::lock_guard lock(m_lock);
        m_joined = true;
    }
    Cancel();
    if (m_thread.joinable()) m_thread.join();
}

bool ScreenLoader::IsBusy() const {
    std::lock_guard lock(m_lock);
    return m_running || !m_requests.empty();
}

bool ScreenLoader::WaitUntilIdle(unsigned long timeoutMs) {
    std::unique_lock lock(m_lock);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [this] { return !m_running && m_requests.empty(); });
}

void ScreenLoader::Post(uint32_t id, const void* data, std::size_t length) {
    if (m_app) m_app->PostAppMessage(id, data, length);
}

void ScreenLoader::Run() {
    pthread_setname_np(pthread_self(), m_name.substr(0, 15).c_str());
    std::unique_lock lock(m_lock);
    for (;;) {
        m_changed.wait(lock, [this] { return m_joined || !m_requests.empty(); });
        if (m_requests.empty()) return;  // joined
        Request request = std::move(m_requests.front());
        m_requests.pop_front();
        m_command = request.command;
        m_running = true;
        m_cancel = false;
        lock.unlock();

        const bool pleaseWait = request.pleaseWait == PleaseWait::kShow;
        if (pleaseWait) {
            Post(AppServices::kShowPleaseWait, nullptr, 0);
            const long window = m_windowId;
            Post(AppServices::kSetPleaseWaitFocus, &window, sizeof window);
        }
        request.work(*this);
        if (pleaseWait) Post(AppServices::kHidePleaseWait, nullptr, 0);
        request = {};

        lock.lock();
        m_command = "";
        m_running = false;
        m_changed.notify_all();
    }
}
