#pragma once

#include "platform/CascadeAudioPlaybackDevice.h"

#include <memory>

// The box's PCM output: 16-bit interleaved stereo played through the SDL
// audio device (a sound card on a desktop; SDL_AUDIODRIVER=disk writes what
// would be heard to SDL_DISKAUDIOFILE, =dummy discards it). Buffers are
// played in the order they were queued; when none is queued the output
// plays silence. With the disk driver and SDL_DISKAUDIODELAY=0 the output
// runs faster than real time and waits briefly for queued buffers instead
// of padding with silence, so measurements need not wait for the music.
//
// Threads: Open and Close on the owner's controlling thread; QueueBuffer,
// WaitForBuffer and SetSampleRate on one feeding thread; every other method
// on any thread. No callback into the caller.
class PCMAudioPlayer : public CascadeAudioPlaybackDevice {
public:
    static constexpr unsigned long kDefaultRate = 44100;
    static constexpr unsigned long kDefaultBufferCount = 8;
    static constexpr unsigned long kDefaultBufferSize = 8192;
    static constexpr unsigned long kMaxBufferCount = 64;
    static constexpr unsigned long kMaxBufferSize = 1u << 20;

    PCMAudioPlayer();
    ~PCMAudioPlayer() override;

    [[nodiscard]] bool GetBufferRequirements(unsigned long& minCount, unsigned long& maxCount,
                                             unsigned long& minSize, unsigned long& maxSize,
                                             unsigned long& sizeMultiple) override;
    [[nodiscard]] bool GetDefaultBufferRequirements(unsigned long& count, unsigned long& size) override;
    // Opens the SDL audio device at the current rate (44,100 Hz until
    // SetSampleRate), paused. False when SDL has no audio output or the
    // count/size are outside the requirements.
    [[nodiscard]] bool Open(unsigned long count, unsigned long size, void** buffers) override;
    bool Close() override;
    [[nodiscard]] bool QueueBuffer(short* samples, unsigned long count) override;
    long WaitForBuffer() override;
    [[nodiscard]] bool GetNumBuffersAvailable(unsigned long& count) override;
    uint64_t GetBuffersPlayed() override;
    bool Pause() override;
    bool Play() override;
    bool Flush() override;
    bool SetVolume(unsigned short volume) override;
    // Reopens the SDL device when the rate changes; queued buffers stay.
    [[nodiscard]] bool SetSampleRate(unsigned long rate) override;
    unsigned long GetSampleRate() override;
    // 32, 44.1, 48, 88.2 and 96 kHz. These are the rates a television's
    // digital input (S/PDIF, HDMI) takes as they are; the low rates of old
    // web streams (11.025, 16, 22.05, 24 kHz) are not, and a box that sent
    // them would make the television (or SDL) resample. The device above
    // plays those doubled instead, which costs a copy and keeps the audio
    // exact.
    bool IsSupportedSampleRate(unsigned long rate) override;
    bool SetOutputFlags(bool digital, bool analog) override;
    bool GetOutputFlags(bool& digital, bool& analog) override;

    // Total bytes the output took from queued buffers since Open. Any thread.
    unsigned long long GetBytesPlayed() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
