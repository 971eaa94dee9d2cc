#include "app/FatalSignalExit.h"

#include "app/base/AppLog.h"
#include "player/QuendrelPlayer.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>

namespace {

// The status the watchdog ends the process with: set once, before it is armed.
std::atomic<int> s_exitStatus{1};

}  // namespace

void FatalSignalExit::OnWatchdog(int) {
    _exit(s_exitStatus.load());
}

void FatalSignalExit::Run(int signo, QuendrelPlayer& player) {
    s_exitStatus = signo;
    struct sigaction watchdog {};
    watchdog.sa_handler = OnWatchdog;
    sigemptyset(&watchdog.sa_mask);
    sigaction(SIGALRM, &watchdog, nullptr);
    alarm(kWatchdogSeconds);

    AppLog::SetFatalMode(true);
    AppLog::WriteToLog("**************\nGot Signal: %i\n**************\n", true, signo);
    player.SayGoodbyeOnFatalSignal();
    std::fflush(stdout);
    // Not exit(): the other threads still run, and the static objects they
    // use must not be destroyed under them.
    _exit(signo);
}
