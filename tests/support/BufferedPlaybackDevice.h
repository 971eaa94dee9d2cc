#pragma once

#include "platform/CascadeAudioPlaybackDevice.h"

#include <atomic>
#include <vector>

// An output device for tests that hands out buffers of its own and accepts
// everything else: four buffers of 4,096 bytes unless the caller asks for
// others, every rate from `minRate` up. It keeps what is queued, reports
// `freeBuffers` free (-1: all of them, -2: it cannot say) and `played`
// buffers played; tests set those, or override what they watch.
class BufferedPlaybackDevice : public CascadeAudioPlaybackDevice {
public:
    bool GetBufferRequirements(unsigned long&, unsigned long&, unsigned long&, unsigned long&,
                               unsigned long&) override {
        return false;
    }
    bool GetDefaultBufferRequirements(unsigned long& count, unsigned long& size) override {
        count = 4;
        size = 4096;
        return true;
    }
    bool Open(unsigned long count, unsigned long size, void** buffers) override {
        m_storage.assign(count, std::vector<short>(size / 2));
        for (unsigned long i = 0; i < count; ++i) buffers[i] = m_storage[i].data();
        return true;
    }
    bool Close() override { return true; }
    bool QueueBuffer(short* samples, unsigned long count) override {
        queued.emplace_back(samples, samples + count);
        return true;
    }
    long WaitForBuffer() override { return long(m_storage.size()); }
    bool GetNumBuffersAvailable(unsigned long& count) override {
        count = freeBuffers < 0 ? m_storage.size() : (unsigned long)freeBuffers;
        return freeBuffers != -2;
    }
    uint64_t GetBuffersPlayed() override { return played; }
    bool Pause() override { return true; }
    bool Play() override { return true; }
    bool Flush() override { return true; }
    bool SetVolume(unsigned short) override { return true; }
    bool SetSampleRate(unsigned long r) override {
        rate = r;
        return true;
    }
    unsigned long GetSampleRate() override { return rate; }
    bool IsSupportedSampleRate(unsigned long r) override { return r >= minRate; }
    bool SetOutputFlags(bool, bool) override { return true; }
    bool GetOutputFlags(bool&, bool&) override { return true; }

    std::size_t BufferCount() const { return m_storage.size(); }

    std::atomic<unsigned long> rate{0};
    unsigned long minRate = 16000;
    std::vector<std::vector<short>> queued;
    long freeBuffers = -1;
    uint64_t played = 0;

private:
    std::vector<std::vector<short>> m_storage;
};
