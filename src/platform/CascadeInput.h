#pragma once

#include "platform/CascadeString.h"

#include <string>

// Input services: ECP commands to the running application and screen activity.
class CascadeInput {
public:
    // Sends one ECP command to the application listening on the ECP socket
    // and waits (at most `timeoutMs`) for its reply line. False, with `reply`
    // unchanged, when nothing listens or no reply came. Any thread except the
    // UI thread of the application that owns the socket.
    static bool DispatchECPCommand(const CascadeString& command, CascadeString& reply,
                                   unsigned long timeoutMs = 5000);
    // Keeps the screen blanker away while the application runs. Any thread.
    static void NotifyScreenActivity();
    // $XDG_RUNTIME_DIR/quendrel/ecp.sock, or /tmp/quendrel-<uid>/ecp.sock.
    static std::string GetSocketPath();
};
