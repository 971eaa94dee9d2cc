#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// A SlimProto server stand-in on 127.0.0.1 for tests: listens on an
// ephemeral (or given) port, accepts one link at a time (a new one replaces
// the old), cuts what the player sends into frames, and lets the test send
// raw bytes or server frames back. Test thread only, except for its own
// worker thread.
class ScriptedSlimPeer {
public:
    struct Frame {
        std::string opcode;
        std::vector<uint8_t> payload;
        std::vector<uint8_t> wire;  // the frame exactly as received
    };

    ScriptedSlimPeer();
    ScriptedSlimPeer(const ScriptedSlimPeer&) = delete;
    ScriptedSlimPeer& operator=(const ScriptedSlimPeer&) = delete;
    ~ScriptedSlimPeer();

    // Listens on 127.0.0.1:`port` (0 picks a free one). False on failure.
    [[nodiscard]] bool Listen(unsigned short port = 0);
    unsigned short GetPort() const { return m_port; }
    // Closes the listening socket and the current link.
    void StopListening();
    // Ends the current link (the player sees the peer close it).
    void CloseLink();

    // Links accepted so far.
    int GetAcceptCount();
    bool WaitForAcceptCount(int count, std::chrono::milliseconds timeout = std::chrono::seconds(15));
    // The next frame from the player, in order; nullopt after the time-out.
    std::optional<Frame> NextFrame(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // True once the current link was closed by the player.
    bool WaitForPlayerClose(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Frames received and not yet taken.
    std::size_t PendingFrames();

    // Bytes to the current link; false when there is none.
    bool SendRaw(const std::vector<uint8_t>& bytes);
    // A server frame: 16-bit length counting the opcode, opcode, payload.
    static std::vector<uint8_t> ServerFrame(const std::string& opcode, const std::vector<uint8_t>& payload);

private:
    void Run();
    void AcceptOne();
    void ReadLink();
    void CutFramesLocked();
    void CloseLinkLocked();

    std::thread m_thread;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    unsigned short m_port = 0;

    // Shared with the worker thread.
    std::mutex m_lock;
    std::condition_variable m_changed;
    int m_listenFd = -1;
    int m_linkFd = -1;
    bool m_stop = false;
    bool m_playerClosed = false;
    int m_acceptCount = 0;
    std::vector<uint8_t> m_partial;
    std::deque<Frame> m_frames;
};
