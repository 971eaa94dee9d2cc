#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>

// A TCP client connection with poll-based time-outs.
//
// Threads: one thread receives while another may send; Shutdown may come from
// any thread at any time. Open, Attach and Close belong to the owning thread
// and must not race with a Send or Receive on another thread.
//
// Errors: GetLastError is an errno value. It is 0 while the link is healthy
// (a receive time-out leaves it 0) and becomes non-zero once the peer closed
// the link (ECONNRESET) or an operation failed; it stays set until the next
// Open, Attach or Close.
class CascadeClientSocket {
public:
    static constexpr int kTypeStream = 1;

    CascadeClientSocket() = default;
    CascadeClientSocket(const CascadeClientSocket&) = delete;
    CascadeClientSocket& operator=(const CascadeClientSocket&) = delete;
    ~CascadeClientSocket();

    // Connects to `host` (numeric IPv4/IPv6 or a name) on `port` within
    // `timeoutMs` (name lookup not counted). `type` must be kTypeStream. Closes
    // any previous link first. False with a log line and GetLastError set on
    // failure, or when Shutdown was called during the attempt. Owner thread.
    [[nodiscard]] bool Open(int type, const char* host, unsigned short port, unsigned long timeoutMs);

    // Takes ownership of an already-connected stream descriptor (tests hand in
    // one end of a socketpair). False for a negative descriptor. Owner thread.
    [[nodiscard]] bool Attach(int fd);

    // Sends all `length` bytes, waiting at most `timeoutMs` for the link to
    // take them. Returns `length`, or -1 with GetLastError set (ETIMEDOUT when
    // the time ran out; part of the bytes may then have gone out).
    long Send(const void* buffer, std::size_t length, unsigned long timeoutMs);

    // Waits at most `timeoutMs` for bytes and returns how many arrived (at most
    // `length`). 0 on a time-out (GetLastError stays 0) and when the peer closed
    // the link or an error occurred (GetLastError non-zero).
    long Receive(void* buffer, std::size_t length, unsigned long timeoutMs);

    // Looks, without waiting and without taking any byte, whether the peer
    // has closed the link (or reset it) since the last operation; if so the
    // error is set as a Receive would set it. Bytes waiting unread mean the
    // link is alive. Owner thread, between exchanges.
    [[nodiscard]] bool HasPeerClosed();

    // Any thread.
    int GetLastError() const { return m_lastError.load(); }
    bool IsOpen() const { return m_fd.load() >= 0; }

    // Closes the descriptor and clears the error and a pending Shutdown.
    // Owner thread.
    void Close();

    // Ends the link in both directions without closing the descriptor, so a
    // Receive or Open blocked on another thread returns at once. Any thread;
    // an Open that starts afterwards fails until Close is called.
    void Shutdown();
    // Ends only the sending direction: the peer reads what was sent, then
    // the end of the stream, while receiving goes on. Any thread.
    void ShutdownSending();

private:
    [[nodiscard]] int ConnectOne(const void* address, unsigned addressLength, int family,
                                 unsigned long timeoutMs);
    void SetDescriptor(int fd);
    void CloseDescriptor();
    void Fail(int error) { m_lastError.store(error); }

    // Guards the descriptor against Shutdown from another thread: Shutdown
    // must never act on a number that Close has already given back.
    std::mutex m_fdLock;
    std::atomic<int> m_fd{-1};
    std::atomic<int> m_connectingFd{-1};
    std::atomic<bool> m_shutdown{false};
    std::atomic<int> m_lastError{0};
    int m_lastOpenError = 0;  // owner thread only
};
