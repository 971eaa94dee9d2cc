#pragma once

#include "platform/CascadeClientSocket.h"
#include "support/ScopedTempDir.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

// The server simulator (tools/slimserver-sim) as a child process on
// 127.0.0.1 for tests, with its control port. The test library is made once
// per build directory and shared by every test process (a lock file keeps
// two processes from making it at once). Test thread only.
class SlimSimulator {
public:
    struct Ports {
        unsigned short proto = 0, cli = 0, web = 0, control = 0;
    };

    SlimSimulator() = default;
    SlimSimulator(const SlimSimulator&) = delete;
    SlimSimulator& operator=(const SlimSimulator&) = delete;
    ~SlimSimulator();

    // Starts the simulator; `ports` with zeros lets the system choose (a
    // restart passes the ports of the previous run). False when it did not
    // come up within 30 s.
    [[nodiscard]] bool Start(const Ports& ports, const std::vector<std::string>& extra);
    [[nodiscard]] bool Start() { return Start(Ports(), {}); }
    // Ends the process (SIGTERM) and waits for it.
    void Stop();
    const Ports& GetPorts() const { return m_ports; }

    // One control command; its JSON reply line ("" on failure).
    std::string Control(const std::string& line);
    // The CLI lines received so far, in order, as the simulator logged them.
    std::vector<std::string> CliLines();
    // Waits until `line` has been received, or the time-out passes.
    bool WaitForCliLine(const std::string& line, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // The simulator's reply to `line` run as a CLI request.
    std::string Cli(const std::string& line);
    // A SlimProto player with `mac` says hello (18-byte HELO, SoftSqueeze),
    // so player commands for it are carried out. The link stays open until
    // Stop or the next ConnectPlayer.
    [[nodiscard]] bool ConnectPlayer(const std::string& mac);
    // Where the shared test library lives (made on first use); "" on failure.
    static std::string Library();

private:
    [[nodiscard]] bool ReadReadyFile(const std::string& path);

    int m_pid = -1;
    CascadeClientSocket m_control, m_player;
    std::optional<ScopedTempDir> m_dir;
    Ports m_ports;
};
