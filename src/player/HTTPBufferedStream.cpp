#include "player/HTTPBufferedStream.h"

#include "app/base/AppLog.h"
#include "app/base/AppSettings.h"

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace {

constexpr auto kWaitStep = std::chrono::milliseconds(HTTPBufferedStream::kWaitStepMs);

void PutLittleEndian(uint8_t* at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) at[i] = uint8_t(value >> (8 * i));
}

}  // namespace

std::array<uint8_t, HTTPBufferedStream::kWaveHeaderSize> HTTPBufferedStream::MakeWaveHeader() {
    std::array<uint8_t, kWaveHeaderSize> h{};
    std::memcpy(&h[0], "RIFF", 4);
    std::memcpy(&h[8], "WAVE", 4);
    std::memcpy(&h[12], "fmt ", 4);
    PutLittleEndian(&h[16], 16, 4);
    PutLittleEndian(&h[20], 1, 2);  // PCM
    PutLittleEndian(&h[22], 2, 2);  // channels
    PutLittleEndian(&h[24], 44100, 4);
    // The byte rate at 28 stays 0: decoders take the rate from offset 24.
    PutLittleEndian(&h[32], 4, 2);   // block alignment
    PutLittleEndian(&h[34], 16, 2);  // bits per sample
    std::memcpy(&h[36], "data", 4);
    PutLittleEndian(&h[40], 0xFFFFFFFFu, 4);  // length unknown: until the body ends
    return h;
}

HTTPBufferedStream::HTTPBufferedStream(Client* client) : m_client(client) {}

HTTPBufferedStream::~HTTPBufferedStream() {
    if (m_ring || IsRunning() || m_open) {
        Close();
    } else {
        m_filling = false;
        WaitUntilFinished();
    }
}

bool HTTPBufferedStream::Open(const char* url, bool addWaveHeader) {
    StopFilling();
    WaitUntilFinished();
    m_url = url ? url : "";
    m_bytesRequested = 0;
    m_bytesDelivered = 0;
    m_failed = false;
    m_open = CascadeHTTPStream::Open(m_url.c_str());
    if (m_open) {
        m_ring = std::make_unique<uint8_t[]>(kRingSize);
        m_writeCount = m_initialCount;
        m_readCount = m_initialCount;
    }
    if (g_addWaveHeader && addWaveHeader && m_ring) {
        std::printf("***************\nAdding WAV header\n***************\n");
        std::printf("size: %" PRIu64 "\n", GetSize());
        const auto header = MakeWaveHeader();
        const uint32_t at = m_writeCount.load() % kRingSize;
        for (std::size_t i = 0; i < header.size(); ++i) m_ring[(at + i) % kRingSize] = header[i];
        m_writeCount += uint32_t(header.size());
    }
    // Set before the thread runs so that an early reader does not take the
    // empty ring for the end of the body.
    m_filling = m_open.load();
    if (!Start("http-fill")) std::fprintf(stderr, "http: no fill thread for %s\n", m_url.c_str());
    return m_open;
}

void HTTPBufferedStream::ThreadProc() {
    while (m_open && m_filling) {
        if (GetBufferFullness() >= kRingSize) {
            if (!WaitForSpace()) break;
            continue;
        }
        const uint32_t at = m_writeCount.load() % kRingSize;
        const uint32_t chunk = std::min({kRingSize - at, GetFreeSpace(), kChunkSize});
        const long n = CascadeHTTPStream::ReadBytes(m_ring.get() + at, chunk);
        if (n > 0) {
            m_writeCount += uint32_t(n);
            WakeReader();
            continue;
        }
        if (!m_filling) break;  // aborted by StopFilling or Close: not the end of the body
        if (CascadeHTTPStream::HasFailed()) {
            m_failed = true;
            AppLog::WriteToLog("http: %s ended early (%lu bytes)\n", false, m_url.c_str(),
                               static_cast<unsigned long>(m_writeCount.load()));
        }
        std::printf("HTTPBufferedStream: complete\n");
        m_client->OnReadComplete();
        break;
    }
    m_filling = false;
    WakeReader();
}

// The ring is full: tells the client, then sleeps until the reader makes
// room or a step has passed. False once filling was stopped.
bool HTTPBufferedStream::WaitForSpace() {
    m_client->OnBufferFull();
    if (!m_filling) return false;
    std::unique_lock guard(m_wakeLock);
    m_writerWaiting = true;
    m_wake.wait_for(guard, kWaitStep, [&] { return GetBufferFullness() < kRingSize || !m_filling; });
    m_writerWaiting = false;
    return m_filling;
}

long HTTPBufferedStream::ReadBytes(void* destination, std::size_t count) {
    if (!m_ring || !destination) return 0;
    bool reported = false;
    while (GetBufferFullness() == 0) {
        if (!reported) {
            reported = true;
            std::printf("HTTPBufferedStream: underrun\n");
            m_client->OnBufferUnderrun();
        }
        if (!m_filling) return 0;
        std::unique_lock guard(m_wakeLock);
        m_readerWaiting = true;
        m_wake.wait_for(guard, kWaitStep, [&] { return GetBufferFullness() != 0 || !m_filling; });
        m_readerWaiting = false;
    }
    const uint32_t n = uint32_t(std::min<std::size_t>(GetBufferFullness(), count));
    CopyOut(static_cast<uint8_t*>(destination), n);
    m_readCount += n;
    WakeWriter();
    m_bytesRequested += count;
    m_bytesDelivered += n;
    return long(n);
}

// Copies `n` waiting bytes from the read position, in two pieces when they
// wrap round the end of the ring.
void HTTPBufferedStream::CopyOut(uint8_t* destination, uint32_t n) {
    const uint32_t at = m_readCount.load() % kRingSize;
    const uint32_t first = std::min(n, kRingSize - at);
    std::memcpy(destination, m_ring.get() + at, first);
    std::memcpy(destination + first, m_ring.get(), n - first);
}

void HTTPBufferedStream::WakeReader() {
    if (!m_readerWaiting) return;
    { std::lock_guard guard(m_wakeLock); }
    m_wake.notify_all();
}

void HTTPBufferedStream::WakeWriter() {
    if (!m_writerWaiting) return;
    { std::lock_guard guard(m_wakeLock); }
    m_wake.notify_all();
}

void HTTPBufferedStream::StopFilling() {
    m_filling = false;
    Abort();
    { std::lock_guard guard(m_wakeLock); }
    m_wake.notify_all();
}

void HTTPBufferedStream::Cancel() {
    CascadeHTTPStream::Cancel();
    StopFilling();
}

bool HTTPBufferedStream::Close() {
    StopFilling();
    WaitUntilFinished();
    m_ring.reset();
    m_bytesRequested = 0;
    m_bytesDelivered = 0;
    m_writeCount = 0;
    m_readCount = 0;
    const bool closed = CascadeHTTPStream::Close();
    m_open = !closed;
    m_client->OnBufferClosed(this);
    return closed;
}

void HTTPBufferedStream::Flush() { m_bytesDelivered = 0; }
