#pragma once

#include <cstdint>

// An audio output the framework audio player writes decoded sound into:
// 16-bit interleaved stereo in a fixed set of buffers that the device hands
// out on Open. The audio player fills a buffer, waits until the device has
// room (WaitForBuffer) and queues it; the device plays queued buffers in
// order.
//
// Threads: Open and Close belong to the owner's controlling thread; the
// queue/wait cycle, SetSampleRate and Flush to the audio player's thread;
// Pause, Play, SetVolume and the Get* queries may come from any thread
// (implementations say otherwise where they must). No method throws.
class CascadeAudioPlaybackDevice {
public:
    CascadeAudioPlaybackDevice() = default;
    CascadeAudioPlaybackDevice(const CascadeAudioPlaybackDevice&) = delete;
    CascadeAudioPlaybackDevice& operator=(const CascadeAudioPlaybackDevice&) = delete;
    virtual ~CascadeAudioPlaybackDevice() = default;

    // The buffer counts and byte sizes the device accepts. False when it
    // cannot say.
    [[nodiscard]] virtual bool GetBufferRequirements(unsigned long& minCount, unsigned long& maxCount,
                                                     unsigned long& minSize, unsigned long& maxSize,
                                                     unsigned long& sizeMultiple) = 0;
    // The count and byte size the device works best with.
    [[nodiscard]] virtual bool GetDefaultBufferRequirements(unsigned long& count, unsigned long& size) = 0;

    // Makes `count` buffers of `size` bytes and stores their addresses in
    // `buffers[0..count)`; the device owns them until Close (or the next
    // Open). The caller writes samples into them and queues them. False when
    // the output cannot be opened (nothing is then stored).
    [[nodiscard]] virtual bool Open(unsigned long count, unsigned long size, void** buffers) = 0;
    // Stops the output and frees the buffers. True when the output closed.
    virtual bool Close() = 0;

    // Queues `count` 16-bit values from one of the device's buffers for
    // playing. False (with a log line) for a pointer that is not one of its
    // buffers, a count that does not fit, or a closed device.
    [[nodiscard]] virtual bool QueueBuffer(short* samples, unsigned long count) = 0;
    // Blocks until a buffer may be queued and returns the number of free
    // buffers then (it may round down to 0 on a device that spends two
    // buffers of its own on one of the caller's, which still means "queue
    // now"); -1 when the device is closed.
    virtual long WaitForBuffer() = 0;
    // Free buffers now, without waiting. False when the device is closed.
    [[nodiscard]] virtual bool GetNumBuffersAvailable(unsigned long& count) = 0;
    // How many of the buffers queued since Open have been played to their
    // end (buffers dropped by Flush or Close count as played). Lets the
    // caller tell when a stream's last sample has left. Feeding thread.
    virtual uint64_t GetBuffersPlayed() = 0;

    // Holds and restarts the output; queued buffers stay queued.
    virtual bool Pause() = 0;
    virtual bool Play() = 0;
    // Drops every queued buffer (they all become free) and wakes a waiter.
    virtual bool Flush() = 0;
    // 0 is silent, 65535 is full volume.
    virtual bool SetVolume(unsigned short volume) = 0;

    // The rate of the buffers queued from now on. False when the output
    // cannot play it.
    [[nodiscard]] virtual bool SetSampleRate(unsigned long rate) = 0;
    virtual unsigned long GetSampleRate() = 0;
    // Whether a stream of `rate` can be queued as it is; the audio player
    // resamples the others.
    virtual bool IsSupportedSampleRate(unsigned long rate) = 0;

    // Digital (S/PDIF) and analogue outputs on or off; a device without the
    // choice accepts any value.
    virtual bool SetOutputFlags(bool digital, bool analog) = 0;
    virtual bool GetOutputFlags(bool& digital, bool& analog) = 0;
};
