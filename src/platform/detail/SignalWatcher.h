#pragma once

#include <functional>
#include <thread>

namespace detail {

// Turns SIGINT, SIGTERM and SIGHUP into a call of `onStop` on its own thread
// ("signals"), so Ctrl-C and a service manager end the app cleanly. The
// signals are blocked in the constructing thread and every thread it starts
// afterwards; construct it before any other thread.
class SignalWatcher {
public:
    explicit SignalWatcher(std::function<void(int)> onStop);
    ~SignalWatcher();
    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;

private:
    std::function<void(int)> m_onStop;
    std::thread m_thread;
};

}  // namespace detail
