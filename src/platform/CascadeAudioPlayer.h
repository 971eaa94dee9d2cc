#pragma once

#include "platform/CascadeAudioPlaybackDevice.h"
#include "platform/CascadeStream.h"

#include <cstdint>
#include <memory>

// The framework audio player: decodes queued streams (MP3, FLAC, WAV, WMA)
// with FFmpeg on its own thread, "audio", converts them to 16-bit stereo and
// writes them into the attached playback device. Streams queued while one
// plays follow it without a gap.
//
// The client hears, per stream: OnAudioDecodeBegin; when the device was idle,
// OnAudioBuffering(id, 0, total) and (id, total, total) once `total` buffers
// are queued, then OnAudioPlaybackBegin as the device starts (held while the
// player is paused, so a client that pauses inside the buffering callback
// gets a loaded, silent player); OnAudioDecodeEnd when the stream has been
// read; OnAudioPlaybackEnd when its last sample left the device. A stream
// queued behind another reports only OnAudioBuffering(id, total, total) and
// begins as the one before ends. A stream that fails before any audio still begins and ends, with the
// failure as the result.
//
// Threads: AttachDevice, DetachDevice, Open and Close on the owner's
// controlling thread; QueueStream, Pause, Resume, Stop, SetVolume and the
// queries on any thread, also from inside a client callback (Stop excepted).
// Client callbacks run on the audio thread, except OnPlaybackPause/Resume/
// Stop, which run on the thread that called Pause/Resume/Stop. No lock of
// the player is held during a callback.
class CascadeAudioPlayer {
public:
    enum class PlaybackResult : uint32_t {
        Success = 0,
        Stopped = 1,
        UnknownError = 2,
        OutOfMemory = 3,
        UnsupportedSampleRate = 4,
        UnsupportedBitRate = 5,
        UnsupportedNumberOfChannels = 6,
        UnsupportedPolarity = 7,
        UnsupportedEndianness = 8,
        UnsupportedSampleOrder = 9,
        UnknownAudioType = 10,
        CodecFailed = 11,
        ErrorReadingStream = 12,
        NoPlaybackDeviceAvailable = 13,
        DeviceFailed = 14,
        MusicPlaybackUnavailable = 15,
        UnsupportedOutputFlags = 16,
    };

    class Client {
    public:
        virtual ~Client() = default;
        virtual void OnAudioDecodeBegin(uint32_t id) = 0;
        virtual void OnAudioBuffering(uint32_t id, unsigned long done, unsigned long total) = 0;
        virtual void OnAudioPlaybackBegin(uint32_t id) = 0;
        virtual void OnAudioDecodeEnd(uint32_t id, PlaybackResult result) = 0;
        virtual void OnAudioPlaybackEnd(uint32_t id, PlaybackResult result) = 0;
        virtual void OnVisualizePrepare(uint32_t /*id*/) {}
        virtual void OnVisualizeExecute(uint32_t /*id*/, const int16_t* /*samples*/, unsigned long /*count*/) {}
        virtual void OnPlaybackPause() = 0;
        virtual void OnPlaybackResume() = 0;
        virtual void OnPlaybackStop() = 0;
    };

    // Buffers decoded before playback begins on an idle device.
    static constexpr unsigned long kBufferingTotal = 2;
    static constexpr std::size_t kMaxQueuedStreams = 4;

    CascadeAudioPlayer();
    CascadeAudioPlayer(const CascadeAudioPlayer&) = delete;
    CascadeAudioPlayer& operator=(const CascadeAudioPlayer&) = delete;
    // Closes (joins the audio thread).
    ~CascadeAudioPlayer();

    // The device is not owned and must outlive Close. Controlling thread,
    // while closed.
    void AttachDevice(CascadeAudioPlaybackDevice* device);
    void DetachDevice();

    // Opens the attached device with its default buffers and starts the
    // audio thread; `client` (not owned) must outlive Close. False without a
    // device or when the device does not open.
    [[nodiscard]] bool Open(Client* client);
    // Stops, ends the audio thread and closes the device. True when it was open.
    // Refused (false, logged) on the audio thread itself, which cannot wait
    // for its own end.
    bool Close();
    // True when called on the audio thread (inside a client callback, or a
    // signal handler interrupting it). Any thread.
    bool IsAudioThread() const;

    // Queues `stream` (not owned; it must stay alive until it is no longer
    // IsStreamQueued, or until Stop returns) as `type` ("MP3", "FLAC", "WAV",
    // "WMA"). `flags` are kept for the caller's records. False when closed,
    // for an unknown type, or with kMaxQueuedStreams already waiting.
    [[nodiscard]] bool QueueStream(CascadeStream* stream, const char* type, unsigned long flags);
    // True while the audio thread may still read `stream`.
    bool IsStreamQueued(const CascadeStream* stream) const;

    // Holds the device (and a playback about to begin). No effect when
    // already paused.
    bool Pause();
    // Releases a hold; a playback held at its start begins now.
    bool Resume();
    // Drops every queued stream, empties the device and waits until the
    // audio thread reads no stream any more. A read blocked inside a stream
    // must be made to return by its owner (the call waits for it). Not from
    // a client callback.
    bool Stop();
    // True while a playback has begun and not ended, and is not paused.
    bool IsPlaying() const;
    bool IsPaused() const;
    // 0 silent … 65535 full.
    void SetVolume(unsigned short volume);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
