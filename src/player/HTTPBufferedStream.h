#pragma once

#include "platform/CascadeHTTPStream.h"
#include "platform/CascadeString.h"
#include "platform/CascadeThread.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

// The read-ahead stream the player plays from: an HTTP body read into a
// 256 KiB ring by its own thread ("http-fill"), in pieces of at most 8 KiB,
// while the audio player takes bytes out with ReadBytes. For raw PCM a
// 44-byte WAV header can go in front of the body so the decoder sees a WAV
// file.
//
// The two counts (bytes put into the ring, bytes taken out) are 32-bit and
// each is written by one side only; the ring position of a count is the
// count modulo the ring size, and the fullness is their difference modulo
// 2^32, so both stay right when a long stream wraps the counts.
//
// Threads: Open, Close and Flush on the owning thread; ReadBytes on one
// reading thread (the audio player's); the counters, StopFilling and the
// accessors on any thread. Client callbacks come from the fill thread
// (OnBufferFull, OnReadComplete), the reading thread (OnBufferUnderrun) and
// the closing thread (OnBufferClosed).
class HTTPBufferedStream : public CascadeHTTPStream, private CascadeThread {
public:
    static constexpr uint32_t kRingSize = 0x40000;
    static constexpr uint32_t kChunkSize = 8192;
    static constexpr std::size_t kWaveHeaderSize = 44;
    // The longest a waiting reader or a filler facing a full ring sleeps
    // before it looks again (it is woken sooner when the other side moves).
    static constexpr unsigned long kWaitStepMs = 100;

    class Client {
    public:
        virtual ~Client() = default;
        virtual void OnBufferUnderrun() = 0;
        virtual void OnBufferFull() = 0;
        virtual void OnBufferClosed(void* stream) = 0;
        virtual void OnReadComplete() = 0;
    };

    // `client` (not owned) must outlive the stream.
    explicit HTTPBufferedStream(Client* client);
    // Closes (joins the fill thread) before any member dies.
    ~HTTPBufferedStream() override;

    // Opens `url` and starts the fill thread (which ends at once when the
    // open failed). With `addWaveHeader` and g_addWaveHeader set, the ring
    // starts with the WAV header (44.1 kHz, 16-bit stereo, unknown length).
    // Returns whether the HTTP stream opened; the old ring stays when not.
    [[nodiscard]] bool Open(const char* url, bool addWaveHeader);
    // Up to `count` bytes from the ring, at once when some are waiting. On an
    // empty ring: one underrun report per call, then 0 when the body has
    // ended (or filling stopped), else a wait for bytes.
    long ReadBytes(void* destination, std::size_t count) override;
    // True once filling ended because the transfer failed (cut short or
    // stalled), not at the end of the body. Any thread.
    bool HasFailed() const override { return m_failed.load(); }
    // Stops filling, joins the fill thread, frees the ring, zeroes the
    // counts and closes the HTTP stream; tells the client. True when the
    // HTTP stream closed. The reader must not be inside ReadBytes.
    bool Close();
    // Ends filling now (the transfer is aborted); ReadBytes then drains what
    // the ring holds and returns 0. Any thread; lets a blocked reader go.
    void StopFilling();
    // StopFilling for good: an Open under way on another thread fails at
    // once, and so does every later Open. For a player on its way out. Any
    // thread.
    void Cancel();
    // Bytes delivered back to 0; nothing else.
    void Flush();

    uint32_t GetBufferFullness() const { return m_writeCount.load() - m_readCount.load(); }
    uint32_t GetFreeSpace() const { return kRingSize - GetBufferFullness(); }
    // Bytes put into the ring (the WAV header included); what the player
    // reports as received.
    uint32_t GetWriteCount() const { return m_writeCount.load(); }
    uint64_t GetBytesRequested() const { return m_bytesRequested.load(); }
    uint64_t GetBytesDelivered() const { return m_bytesDelivered.load(); }
    static constexpr uint32_t GetRingSize() { return kRingSize; }
    bool IsFilling() const { return m_filling.load(); }

    // The WAV header put in front of raw PCM.
    static std::array<uint8_t, kWaveHeaderSize> MakeWaveHeader();

    // Both counts start at `count` on the next Open (a test sets them close
    // to 2^32 to see the wrap).
    void SetInitialCount(uint32_t count) { m_initialCount = count; }

private:
    void ThreadProc() override;
    [[nodiscard]] bool WaitForSpace();
    void CopyOut(uint8_t* destination, uint32_t n);
    void WakeReader();
    void WakeWriter();

    Client* m_client;
    CascadeString m_url;
    uint32_t m_initialCount = 0;
    std::unique_ptr<uint8_t[]> m_ring;
    std::atomic<bool> m_open{false};
    std::atomic<bool> m_filling{false};
    std::atomic<bool> m_failed{false};
    std::atomic<uint64_t> m_bytesRequested{0};
    std::atomic<uint64_t> m_bytesDelivered{0};
    std::atomic<uint32_t> m_writeCount{0};  // fill thread writes
    std::atomic<uint32_t> m_readCount{0};   // reader writes

    // Lets one side sleep until the other moves; the counts stay lock-free.
    std::mutex m_wakeLock;
    std::condition_variable m_wake;
    std::atomic<bool> m_readerWaiting{false};
    std::atomic<bool> m_writerWaiting{false};
};
