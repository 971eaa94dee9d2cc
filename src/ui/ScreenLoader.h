#pragma once

#include "app/base/AppServices.h"
#include "platform/CascadeString.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// The loader of a window: runs the window's slow work (server requests,
// fetches) on the window's own named thread, one request after another, with
// the please-wait messages posted to the application around each request.
//
// A request is a command word ("open", "add", "play", "favorites") stored
// with its work before the thread picks it up; a request made while one runs
// waits its turn, so the running one's command is never written over. Work
// checks IsStopping() between its steps; Cancel asks it to stop and drops
// the requests still waiting. Work never touches the window tree: it updates
// the window's data under the window's lock and calls Redraw.
//
// Threads: Start, Cancel and SetPleaseWaitText from any thread; Join (and
// the destructor) from the owner. Make the loader the owner's last member,
// or call Join in the owner's destructor, so the thread has ended before the
// members its work uses die.
class ScreenLoader {
public:
    using Work = std::function<void(ScreenLoader& loader)>;
    enum class PleaseWait { kShow, kNone };

    // `app` receives the please-wait messages (none when null); `windowId`
    // names the window that gets the focus back when the please-wait window
    // closes.
    explicit ScreenLoader(std::string threadName, AppServices* app = nullptr,
                          long windowId = AppServices::kNoWindow);
    ScreenLoader(const ScreenLoader&) = delete;
    ScreenLoader& operator=(const ScreenLoader&) = delete;
    ~ScreenLoader();  // Join

    // Queues `work` under `command`; false once joined.
    bool Start(const CascadeString& command, Work work, PleaseWait pleaseWait = PleaseWait::kShow);
    // The running request's command word; "" between requests.
    CascadeString GetCommand() const;
    // For the work: true once Cancel (or Join) was asked during this request.
    bool IsStopping() const { return m_cancel.load(); }
    // Sets the please-wait window's text (message 0xFACED).
    void SetPleaseWaitText(const char* text);
    // Asks the running request to stop and drops the waiting ones; returns
    // at once.
    void Cancel();
    // Cancel, then waits for the thread to end.
    void Join();
    // True while a request runs or waits.
    bool IsBusy() const;
    // Blocks until no request runs or waits, or `timeoutMs` passed. Tests.
    [[nodiscard]] bool WaitUntilIdle(unsigned long timeoutMs);

private:
    struct Request {
        CascadeString command;
        Work work;
        PleaseWait pleaseWait;
    };
    void Run();
    void Post(uint32_t id, const void* data, std::size_t length);

    const std::string m_name;
    AppServices* const m_app;
    const long m_windowId;

    // The requests and the thread's state, shared by callers and the thread.
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<Request> m_requests;
    CascadeString m_command;  // the running request's
    bool m_running = false;
    bool m_joined = false;
    std::atomic<bool> m_cancel{false};
    std::thread m_thread;
};
