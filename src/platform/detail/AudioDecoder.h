#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

class CascadeStream;

namespace detail {

// One audio stream decoded by FFmpeg from a CascadeStream and converted to
// 16-bit interleaved stereo. The container is named by the caller ("MP3",
// "FLAC", "WAV", "WMA"), so nothing is probed; a "WAV" stream without a RIFF
// header is read as raw 16-bit little-endian stereo at 44.1 kHz.
//
// Threads: one thread uses a decoder (the audio player's thread); the
// stream is read only from inside Open and Fill.
class AudioDecoder {
public:
    // Why Open failed; the values are the audio player's result codes.
    enum class Failure : uint32_t { None = 0, UnknownAudioType = 10, CodecFailed = 11, OutOfMemory = 3 };
    // Answers whether the output takes a rate as it is.
    using RateCheck = std::function<bool(unsigned long rate)>;

    ~AudioDecoder();
    AudioDecoder(const AudioDecoder&) = delete;
    AudioDecoder& operator=(const AudioDecoder&) = delete;

    // Reads the container header from `stream` (which must outlive the
    // decoder) and opens the codec. Null with `failure` set when the type is
    // unknown, the header does not parse or the codec cannot be opened.
    static std::unique_ptr<AudioDecoder> Open(CascadeStream& stream, std::string_view type, RateCheck rateCheck,
                                              Failure& failure);

    // Writes up to `capacity` 16-bit values (a multiple of 2) into `out`;
    // fewer only at the end of the stream. 0 at the end. Damaged packets are
    // skipped with one log line per stream.
    unsigned long Fill(int16_t* out, unsigned long capacity);

    // The rate of what Fill produces: the stream's own rate when the output
    // takes it, else 44,100 Hz; 0 before the first Fill produced anything.
    unsigned long GetOutputRate() const { return m_outputRate; }
    // True when decoding ended because the stream failed, not at its end.
    bool ReadFailed() const;

private:
    struct Impl;
    explicit AudioDecoder(std::unique_ptr<Impl> impl);
    static Failure OpenContainer(Impl& impl, std::string_view type);
    Failure OpenCodec();
    [[nodiscard]] bool NextFrame();
    void SendNextPacket();
    [[nodiscard]] bool EnsureResampler();

    std::unique_ptr<Impl> m_impl;
    unsigned long m_outputRate = 0;
};

}  // namespace detail
