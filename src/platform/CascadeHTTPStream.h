#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/CascadeStream.h"
#include "platform/CascadeString.h"

// The body of an HTTP or HTTPS resource as a pull stream. Open returns once
// the response headers are in; ReadBytes then blocks only until some body
// bytes are there. The transfer runs ahead of the reader by a bounded buffer
// and is held while that buffer is full. Redirects are followed.
//
// Threads: one thread at a time uses the stream; Abort may be called from any
// other thread while the stream exists.
class CascadeHTTPStream : public CascadeStream {
public:
    enum class Error { None = 0, OpenFailed, Stalled, Aborted, Transfer };
    static constexpr unsigned long kDefaultStallTimeoutMs = 30000;

    CascadeHTTPStream();
    ~CascadeHTTPStream() override;

    // Starts a GET of `url` and waits for the response headers (at most the
    // stall time-out). True for a 2xx status. A connection failure, an error
    // status, a time-out or an Abort is a failure with the log line
    // "http: <url>: <reason>". Closes a previous transfer first.
    [[nodiscard]] bool Open(const char* url);

    // Waits until body bytes are there and copies up to `length` of them.
    // 0 at the end of the body, after Abort, when no byte came for the stall
    // time-out, or when the transfer failed (then GetLastError says why; a
    // stall or failure is final and logged once).
    long ReadBytes(void* buffer, std::size_t length) override;

    // Content-Length (the full size also after a seek), or 0 when unknown.
    uint64_t GetSize() const override;
    uint64_t GetPosition() const override;
    // Asks the server for the body from `position` with a Range request. False
    // (with a log line) when not open or the server does not serve that range;
    // the stream then continues where it was.
    [[nodiscard]] bool SeekToPosition(uint64_t position) override;
    CascadeString GetContentType() const override;

    // Ends the transfer; the stream can be opened again. Returns true.
    bool Close();
    bool IsOpen() const;

    // How long a read (or Open) waits without any byte before it gives up.
    void SetStallTimeout(unsigned long milliseconds) { m_stallTimeoutMs = milliseconds; }

    // Makes a blocked Open or ReadBytes on another thread return promptly with
    // failure / 0, and every later read return 0 until the next Open. Any thread.
    void Abort();
    // Abort for good: a blocked Open or read returns now and every later
    // Open fails at once (the object is on its way out). Any thread, also
    // before another thread's Open has begun.
    void Cancel();

    // The reason of the last failure; Error::None while all is well.
    Error GetLastError() const { return m_lastError; }
    bool HasFailed() const override { return m_lastError == Error::Stalled || m_lastError == Error::Transfer; }
    CascadeString GetURL() const { return m_url; }

private:
    struct Impl;
    [[nodiscard]] bool EnsureMulti();
    [[nodiscard]] bool FailOpen(const char* reason);
    long EndRead(Error error, const char* reason);

    std::unique_ptr<Impl> m_impl;
    CascadeString m_url;
    unsigned long m_stallTimeoutMs = kDefaultStallTimeoutMs;
    uint64_t m_delivered = 0;  // bytes returned since the current transfer began
    Error m_lastError = Error::None;

    // Abort reaches the curl handle from another thread; this lock keeps the
    // handle alive while Abort wakes it.
    std::mutex m_abortLock;
    std::atomic<bool> m_aborted{false};
    std::atomic<bool> m_cancelled{false};
};
