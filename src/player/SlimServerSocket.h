#pragma once

#include "platform/CascadeClientSocket.h"
#include "platform/CascadeString.h"
#include "platform/CascadeThread.h"
#include "player/SlimServer.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>

// The SlimProto link and its reader thread: opens the TCP connection, reads
// the server's frames and hands them to the owner, and rebuilds the link
// every 5 s after it was lost until stopped.
//
// Threads: Connect and Stop belong to the owner's controlling thread;
// SendFrame may come from any thread; the reader thread calls the owner's
// Notify* methods. The owner outlives this object.
class SlimServer::SlimServerSocket : public CascadeThread {
public:
    // The receive buffer holds the opcode and the payload of one frame.
    static constexpr std::size_t kReceiveBufferBytes = 2048;
    static constexpr unsigned long kOpenTimeoutMs = 60000;
    static constexpr unsigned long kReceiveTimeoutMs = 60000;
    static constexpr unsigned long kSendTimeoutMs = 5000;
    static constexpr unsigned long kRetryDelayMs = 5000;

    SlimServerSocket(const char* host, unsigned short port, SlimServer* owner);
    // Stops the reader thread. Not from the reader thread itself.
    ~SlimServerSocket() override;

    // Opens the link synchronously and starts the reader thread whatever the
    // outcome. False when the link was already up or the open failed (the
    // reader then keeps retrying). Controlling thread.
    [[nodiscard]] bool Connect();

    // Stops the reader thread and closes the link. Returns once the thread
    // has ended, without waiting out a retry delay or a receive time-out.
    // From the reader thread itself it only asks the thread to stop.
    // After a goodbye the link is ended gently: sending ends first, and the
    // server gets a moment to read the goodbye and close its side, so that
    // closing here never resets a link whose last frames are still unread.
    void Stop(bool afterGoodbye = false);

    // Sends one whole frame in one send call, serialised with every other
    // sender. False when the link is down or the send failed. After a last
    // frame (the goodbye) has gone out nothing more does. Any thread.
    [[nodiscard]] bool SendFrame(const unsigned char* frame, std::size_t length, bool last = false);

    bool IsConnected() const { return m_connected.load(); }
    // True when called on this object's reader thread. Any thread.
    bool IsReaderThread() const { return m_readerId.load() == std::this_thread::get_id(); }

protected:
    void ThreadProc() override;

private:
    // Receives until `count` bytes are in `buffer`; fewer when a receive
    // yields nothing or the link reports an error. Reader thread.
    unsigned short BlockingRead(unsigned char* buffer, unsigned short count);
    // Retries until the link is up; false when stopped first.
    bool ConnectLoop();
    bool OpenOnce();
    void ReadLoop();
    // One frame; false when the link is lost.
    bool ReadFrame(unsigned char* buffer);
    bool SkipFrame(unsigned char* buffer, unsigned short length);
    void CloseLink();
    // Waits out the retry delay; false when a stop came first.
    bool SleepUnlessStopped(unsigned long milliseconds);
    void MarkFinished();

    const CascadeString m_host;
    const unsigned short m_port;
    SlimServer* const m_owner;

    // Lives as long as this object (closed and reopened in between) so that
    // Stop may shut it down from another thread at any time.
    const std::unique_ptr<CascadeClientSocket> m_socket;

    // Serialises senders and the reader's close: a frame goes out whole or
    // not at all, and never onto a descriptor being closed.
    std::mutex m_sendLock;
    std::atomic<bool> m_connected{false};  // written under m_sendLock
    bool m_goodbyeSaid = false;            // under m_sendLock: nothing goes out any more

    // Stop handshake: the running flag and the finished flag change under
    // m_stopLock, and m_stopSignal wakes the retry delay and Stop.
    std::mutex m_stopLock;
    std::condition_variable m_stopSignal;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_leaving{false};  // after a goodbye: read on until the server closes
    bool m_started = false;   // controlling thread
    bool m_finished = false;  // under m_stopLock
    std::atomic<std::thread::id> m_readerId{};
};
