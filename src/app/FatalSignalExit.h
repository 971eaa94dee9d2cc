#pragma once

class QuendrelPlayer;

// The way out after a fatal signal (a segmentation fault, a broken pipe):
// the log line, the player's goodbye to the server, and the end of the
// process with the signal number as its exit status.
//
// It runs inside the signal handler on the thread the signal hit, which may
// be any thread and may hold any lock. So it puts the log into fatal mode
// (no waiting on the log's lock), lets the player say goodbye without
// joining its own thread, and arms a watchdog that ends the process with
// the same status should any step still hang.
class FatalSignalExit {
public:
    static constexpr unsigned kWatchdogSeconds = 2;

    [[noreturn]] static void Run(int signo, QuendrelPlayer& player);

private:
    static void OnWatchdog(int);
};
