#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A SlimProto server stand-in on 127.0.0.1 for tests: listens on an
// ephemeral (or given) port, keeps one link at a time (a new one replaces
// the old), cuts what the player sends into frames, and lets the test send
// raw bytes or server frames back. No thread of its own: the kernel accepts
// links and queues their bytes, and the waiting calls take them. Test thread
// only.
class ScriptedSlimPeer {
public:
    struct Frame {
        std::string opcode;
        std::vector<uint8_t> payload;
        std::vector<uint8_t> wire;  // the frame exactly as received
    };

    ScriptedSlimPeer() = default;
    ScriptedSlimPeer(const ScriptedSlimPeer&) = delete;
    ScriptedSlimPeer& operator=(const ScriptedSlimPeer&) = delete;
    ~ScriptedSlimPeer() { StopListening(); }

    // Listens on 127.0.0.1:`port` (0 picks a free one). False on failure.
    [[nodiscard]] bool Listen(unsigned short port = 0);
    unsigned short GetPort() const { return m_port; }
    // Closes the listening socket and the current link.
    void StopListening();
    // Ends the current link (the player sees the peer close it).
    void CloseLink();

    // The next frame from the player, in order; nullopt after the time-out.
    std::optional<Frame> NextFrame(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // True once the current link was closed by the player.
    bool WaitForPlayerClose(std::chrono::milliseconds timeout = std::chrono::seconds(5));

    // Bytes to the current link (accepting one that waits); false when there is none.
    bool SendRaw(const std::vector<uint8_t>& bytes);
    // A server frame: 16-bit length counting the opcode, opcode, payload.
    static std::vector<uint8_t> ServerFrame(std::string_view opcode, std::string_view payload);

private:
    // Accepts and reads until `done` holds or the time-out passes.
    bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    // Reads what the link holds without waiting; false once the player closed it.
    bool ReadLink();

    unsigned short m_port = 0;
    int m_listenFd = -1;
    int m_linkFd = -1;
    bool m_playerClosed = false;
    std::vector<uint8_t> m_partial;
    std::deque<Frame> m_frames;
};
