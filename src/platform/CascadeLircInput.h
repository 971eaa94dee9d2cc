#pragma once

#include "platform/CascadeFileDescriptor.h"
#include "platform/CascadeKeyMap.h"

#include <atomic>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>

// Remote-control keys from lircd, the LIRC daemon: the "lirc" thread
// connects to its socket through liblirc-client, reads the buttons it
// reports, turns them into application keys with the key map and hands
// each to the handler. Repeats of a held button are passed on only for keys
// that repeat (CascadeKeyMap::Repeats). Without lircd the thread tries
// again every 5 s, so a daemon started later is found; when lircd goes away
// it reconnects the same way. Built without liblirc-client, Start says so
// and does nothing.
//
// Start and Stop on the owner's thread; the key map must outlive this object
// and not change while it runs.
class CascadeLircInput {
public:
    // Called on the "lirc" thread.
    using KeyHandler = std::function<void(unsigned long key)>;

    // One line as lircd sends it: "<code> <repeat count> <button> <remote>",
    // the code and the count in hexadecimal.
    struct Button {
        std::string name;
        unsigned repeat = 0;
        std::string remote;
    };
    static std::optional<Button> ParseLine(std::string_view line);
    // True when built with liblirc-client.
    static bool IsBuiltIn();

    // `retryMs`: the wait between attempts to reach lircd.
    CascadeLircInput(const CascadeKeyMap& keyMap, KeyHandler handler, int retryMs = 5000);
    CascadeLircInput(const CascadeLircInput&) = delete;
    CascadeLircInput& operator=(const CascadeLircInput&) = delete;
    ~CascadeLircInput();

    // `socketPath` "" is lirc's own choice: $LIRC_SOCKET_PATH, else the
    // daemon's default socket. False when built without LIRC or the thread
    // cannot start.
    [[nodiscard]] bool Start(const std::string& socketPath);
    // Joins the thread. Idempotent.
    void Stop();

private:
    void Run();
    // The socket given to Start, else $LIRC_SOCKET_PATH, else lircd's default.
    std::string SocketPath() const;
    CascadeFileDescriptor Connect() const;
    void ReadUntilClosed(int fd);
    void HandleLine(std::string_view line);
    // Waits up to `ms` for Stop; true when stopping.
    bool WaitForStop(int ms) const;

    const CascadeKeyMap& m_keyMap;
    KeyHandler m_handler;
    std::string m_socketPath;
    const int m_retryMs;
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
    CascadeFileDescriptor m_wakeRead;   // Stop writes a byte to m_wakeWrite
    CascadeFileDescriptor m_wakeWrite;
    // The "lirc" thread's own state.
    bool m_inBlock = false;               // between lircd's BEGIN and END lines
    bool m_saidBadLine = false;           // one log line per connection
    std::set<std::string> m_unmapped;     // buttons already reported as unmapped
};
