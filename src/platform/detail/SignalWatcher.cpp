#include "platform/detail/SignalWatcher.h"

#include <pthread.h>
#include <signal.h>

namespace detail {

namespace {

constexpr int kWakeSignal = SIGUSR2;  // used only to end the watcher

sigset_t WatchedSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    sigaddset(&set, kWakeSignal);
    return set;
}

}  // namespace

SignalWatcher::SignalWatcher(std::function<void(int)> onStop) : m_onStop(std::move(onStop)) {
    sigset_t set = WatchedSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    m_thread = std::thread([this, set] {
        pthread_setname_np(pthread_self(), "signals");
        for (;;) {
            int signo = 0;
            if (sigwait(&set, &signo) != 0) continue;
            if (signo == kWakeSignal) return;
            m_onStop(signo);
        }
    });
}

SignalWatcher::~SignalWatcher() {
    pthread_kill(m_thread.native_handle(), kWakeSignal);
    m_thread.join();
    sigset_t set = WatchedSignals();
    sigdelset(&set, kWakeSignal);  // a stray SIGUSR2 later must not be lost in a blocked set
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

}  // namespace detail
