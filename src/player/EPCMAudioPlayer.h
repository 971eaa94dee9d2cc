#pragma once

#include "platform/CascadeAudioPlaybackDevice.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

// The playback device the player attaches to the audio player: it forwards
// to the box's PCM output and plays rates the output lacks at twice the rate
// with every stereo frame repeated (so it owns twice as many output buffers
// as it hands out). It also reports the output buffer size and fullness for
// the status reports.
//
// Threads: Open and Close on the controlling thread; the queue/wait cycle
// and SetSampleRate on the audio thread; GetBufferInfo and the forwarded
// transport calls on any thread. No lock of its own: what other threads
// read is atomic.
class EPCMAudioPlayer : public CascadeAudioPlaybackDevice {
public:
    // Plays through the box's PCM output (PCMAudioPlayer).
    EPCMAudioPlayer();
    // Plays through `output` (tests pass a recording device).
    explicit EPCMAudioPlayer(std::unique_ptr<CascadeAudioPlaybackDevice> output);
    ~EPCMAudioPlayer() override;

    [[nodiscard]] bool GetBufferRequirements(unsigned long& minCount, unsigned long& maxCount,
                                             unsigned long& minSize, unsigned long& maxSize,
                                             unsigned long& sizeMultiple) override;
    [[nodiscard]] bool GetDefaultBufferRequirements(unsigned long& count, unsigned long& size) override;
    // Hands out `count` buffers of `size` bytes (rounded down to even) that
    // this object owns until the next Open or its destruction, and opens the
    // output with 2 × `count` buffers. The output's result. Not while the
    // audio thread runs.
    [[nodiscard]] bool Open(unsigned long count, unsigned long size, void** buffers) override;
    bool Close() override;
    // Copies `count` values into the next output buffer and queues it; when
    // doubling, into the next two, each frame written twice. False (with a
    // log line) before Open, or for a count larger than a buffer.
    [[nodiscard]] bool QueueBuffer(short* samples, unsigned long count) override;
    // The output's free buffers halved, as the caller counts them.
    long WaitForBuffer() override;
    [[nodiscard]] bool GetNumBuffersAvailable(unsigned long& count) override;
    // Counted in the caller's buffers, however many output buffers each took.
    uint64_t GetBuffersPlayed() override;
    bool Pause() override;
    bool Play() override;
    bool Flush() override;
    bool SetVolume(unsigned short volume) override;
    // Doubles a rate the output lacks ("Adjusting sample rate to: …").
    [[nodiscard]] bool SetSampleRate(unsigned long rate) override;
    // The rate last asked for, not the doubled one.
    unsigned long GetSampleRate() override;
    // Every rate of 16,000 Hz and above.
    bool IsSupportedSampleRate(unsigned long rate) override;
    bool SetOutputFlags(bool digital, bool analog) override;
    bool GetOutputFlags(bool& digital, bool& analog) override;

    // Output buffers × their size, and the part of it queued. Any thread;
    // zeros before Open.
    void GetBufferInfo(unsigned long& size, unsigned long& fullness);
    bool IsDoubling() const { return m_doubling.load(); }

private:
    [[nodiscard]] bool QueueDoubled(const short* samples, unsigned long count);
    short* NextDeviceBuffer();

    std::unique_ptr<CascadeAudioPlaybackDevice> m_output;
    std::vector<void*> m_deviceBuffers;
    std::vector<std::unique_ptr<short[]>> m_callerBuffers;
    std::atomic<unsigned long> m_deviceBufferCount{0};
    std::atomic<unsigned long> m_bufferSize{0};
    std::atomic<unsigned long> m_sampleRate{0};
    unsigned long m_nextBuffer = 0;
    // Output buffers each queued caller buffer took (1, or 2 when doubled),
    // oldest first, and how far the output's played count has been matched
    // against them. Feeding thread.
    std::deque<uint8_t> m_outputPerCaller;
    uint64_t m_outputMatched = 0;
    uint64_t m_callerPlayed = 0;
    std::atomic<bool> m_doubling{false};
};
