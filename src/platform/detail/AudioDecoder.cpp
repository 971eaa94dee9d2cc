#include "platform/detail/AudioDecoder.h"

#include "platform/CascadeStream.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace detail {

namespace {

constexpr int kIoBufferSize = 32768;
constexpr unsigned long kFallbackRate = 44100;
constexpr std::size_t kSniffBytes = 4;

struct FormatCloser {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecFreer {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFreer {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFreer {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwrFreer {
    void operator()(SwrContext* s) const { swr_free(&s); }
};
struct IoFreer {
    void operator()(AVIOContext* io) const {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};

const char* DemuxerFor(std::string_view type) {
    if (type == "MP3") return "mp3";
    if (type == "FLAC") return "flac";
    if (type == "WAV") return "wav";
    if (type == "WMA") return "asf";
    return nullptr;
}

}  // namespace

struct AudioDecoder::Impl {
    static int ReadTrampoline(void* self, uint8_t* buffer, int size) {
        return static_cast<Impl*>(self)->Read(buffer, size);
    }

    // Serves the bytes looked at before the demuxer was chosen, then the stream.
    int Read(uint8_t* buffer, int size) {
        if (sniffed < sniffLength) {
            const int n = std::min(size, int(sniffLength - sniffed));
            std::memcpy(buffer, sniff + sniffed, std::size_t(n));
            sniffed += std::size_t(n);
            return n;
        }
        const long n = stream->ReadBytes(buffer, std::size_t(size));
        if (n > 0) return int(n);
        if (!stream->HasFailed()) return AVERROR_EOF;
        readFailed = true;
        return AVERROR(EIO);
    }

    // Looks at the first bytes so that a "WAV" stream without its header can
    // be read as raw samples; returns the demuxer and fills its options.
    const AVInputFormat* ChooseDemuxer(std::string_view type, AVDictionary** options);

    CascadeStream* stream = nullptr;
    bool readFailed = false;  // the source failed under the demuxer
    RateCheck rateCheck;
    uint8_t sniff[kSniffBytes] = {};
    std::size_t sniffLength = 0;
    std::size_t sniffed = 0;

    // Declared so that the format context closes before its I/O context.
    std::unique_ptr<AVIOContext, IoFreer> io;
    std::unique_ptr<AVFormatContext, FormatCloser> format;
    std::unique_ptr<AVCodecContext, CodecFreer> codec;
    std::unique_ptr<SwrContext, SwrFreer> swr;
    std::unique_ptr<AVFrame, FrameFreer> frame;
    std::unique_ptr<AVPacket, PacketFreer> packet;
    int streamIndex = -1;
    bool frameFresh = false;  // `frame` holds samples not yet handed to swr
    bool flushed = false;     // the decoder was told the input ended
    bool ended = false;
    bool damageLogged = false;
    int swrRate = 0;
    int swrFormat = -1;
    int swrChannels = 0;
};

AudioDecoder::AudioDecoder(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

AudioDecoder::~AudioDecoder() = default;

std::unique_ptr<AudioDecoder> AudioDecoder::Open(CascadeStream& stream, std::string_view type, RateCheck rateCheck,
                                                 Failure& failure) {
    av_log_set_level(AV_LOG_ERROR);
    failure = Failure::UnknownAudioType;
    if (!DemuxerFor(type)) {
        std::fprintf(stderr, "audio: unknown stream type %.*s\n", int(type.size()), type.data());
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->stream = &stream;
    impl->rateCheck = std::move(rateCheck);
    failure = OpenContainer(*impl, type);
    if (failure != Failure::None) return nullptr;
    std::unique_ptr<AudioDecoder> decoder(new AudioDecoder(std::move(impl)));
    failure = decoder->OpenCodec();
    if (failure != Failure::None) return nullptr;
    return decoder;
}

AudioDecoder::Failure AudioDecoder::OpenContainer(Impl& impl, std::string_view type) {
    auto* ioBuffer = static_cast<uint8_t*>(av_malloc(kIoBufferSize));
    if (ioBuffer)
        impl.io.reset(avio_alloc_context(ioBuffer, kIoBufferSize, 0, &impl, &Impl::ReadTrampoline, nullptr, nullptr));
    if (!impl.io) av_free(ioBuffer);
    impl.frame.reset(av_frame_alloc());
    impl.packet.reset(av_packet_alloc());
    AVFormatContext* format = avformat_alloc_context();
    if (!format || !impl.io || !impl.frame || !impl.packet) {
        avformat_free_context(format);
        return Failure::OutOfMemory;
    }
    AVDictionary* options = nullptr;
    const AVInputFormat* demuxer = impl.ChooseDemuxer(type, &options);
    format->pb = impl.io.get();
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    const int opened = avformat_open_input(&format, nullptr, demuxer, &options);  // frees `format` on failure
    av_dict_free(&options);
    if (opened < 0) {
        std::fprintf(stderr, "audio: the %.*s stream does not parse\n", int(type.size()), type.data());
        return Failure::UnknownAudioType;
    }
    impl.format.reset(format);
    return Failure::None;
}

const AVInputFormat* AudioDecoder::Impl::ChooseDemuxer(std::string_view type, AVDictionary** options) {
    if (type != "WAV") return av_find_input_format(DemuxerFor(type));
    while (sniffLength < kSniffBytes) {
        const long n = stream->ReadBytes(sniff + sniffLength, kSniffBytes - sniffLength);
        if (n <= 0) break;
        sniffLength += std::size_t(n);
    }
    if (sniffLength == kSniffBytes && std::memcmp(sniff, "RIFF", kSniffBytes) == 0) return av_find_input_format("wav");
    av_dict_set(options, "sample_rate", "44100", 0);
    av_dict_set(options, "ch_layout", "stereo", 0);
    return av_find_input_format("s16le");
}

AudioDecoder::Failure AudioDecoder::OpenCodec() {
    Impl& impl = *m_impl;
    // The first audio stream. av_find_best_stream would pass over a stream
    // whose rate only the decoder finds out (no stream info is read ahead).
    for (unsigned i = 0; i < impl.format->nb_streams && impl.streamIndex < 0; ++i)
        if (impl.format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) impl.streamIndex = int(i);
    const AVCodec* codec =
        impl.streamIndex < 0 ? nullptr : avcodec_find_decoder(impl.format->streams[impl.streamIndex]->codecpar->codec_id);
    if (!codec) {
        std::fprintf(stderr, "audio: no audio the decoder knows in the stream\n");
        return Failure::UnknownAudioType;
    }
    impl.codec.reset(avcodec_alloc_context3(codec));
    if (!impl.codec) return Failure::OutOfMemory;
    if (avcodec_parameters_to_context(impl.codec.get(), impl.format->streams[impl.streamIndex]->codecpar) < 0 ||
        avcodec_open2(impl.codec.get(), codec, nullptr) < 0) {
        std::fprintf(stderr, "audio: cannot open the %s decoder\n", codec->name);
        return Failure::CodecFailed;
    }
    return Failure::None;
}

unsigned long AudioDecoder::Fill(int16_t* out, unsigned long capacity) {
    Impl& impl = *m_impl;
    const int frames = int(capacity / 2);
    int done = 0;
    while (done < frames) {
        uint8_t* target = reinterpret_cast<uint8_t*>(out + 2 * done);
        int n = 0;
        if (impl.frameFresh) {
            impl.frameFresh = false;
            n = swr_convert(impl.swr.get(), &target, frames - done,
                            const_cast<const uint8_t**>(impl.frame->extended_data), impl.frame->nb_samples);
        } else if (impl.swr) {
            // What swr kept back for want of room. A null input would flush
            // the resampler's filter as if the stream had ended.
            n = swr_convert(impl.swr.get(), &target, frames - done,
                            const_cast<const uint8_t**>(impl.frame->extended_data), 0);
        }
        if (n > 0) {
            done += n;
            continue;
        }
        if (!NextFrame() || !EnsureResampler()) break;
    }
    return static_cast<unsigned long>(done) * 2;
}

// Decodes the next frame into impl.frame; false at the end of the stream.
bool AudioDecoder::NextFrame() {
    Impl& impl = *m_impl;
    while (!impl.ended) {
        const int received = avcodec_receive_frame(impl.codec.get(), impl.frame.get());
        if (received == 0) {
            impl.frameFresh = true;
            return true;
        }
        if (received != AVERROR(EAGAIN)) {
            impl.ended = true;
            break;
        }
        SendNextPacket();
    }
    return false;
}

// Hands the decoder the next packet of our stream, or the end of input.
void AudioDecoder::SendNextPacket() {
    Impl& impl = *m_impl;
    if (impl.flushed) {
        impl.ended = true;
        return;
    }
    for (;;) {
        if (av_read_frame(impl.format.get(), impl.packet.get()) < 0) {
            impl.flushed = true;
            avcodec_send_packet(impl.codec.get(), nullptr);
            return;
        }
        const bool ours = impl.packet->stream_index == impl.streamIndex;
        const int sent = ours ? avcodec_send_packet(impl.codec.get(), impl.packet.get()) : 0;
        av_packet_unref(impl.packet.get());
        if (!ours) continue;
        if (sent < 0 && sent != AVERROR(EAGAIN) && !impl.damageLogged) {
            impl.damageLogged = true;
            std::fprintf(stderr, "audio: skipping damaged data in the stream\n");
        }
        return;
    }
}

// Sets up the conversion of the current frame's layout to 16-bit stereo.
bool AudioDecoder::EnsureResampler() {
    Impl& impl = *m_impl;
    const AVFrame& f = *impl.frame;
    if (impl.swr && f.sample_rate == impl.swrRate && f.format == impl.swrFormat &&
        f.ch_layout.nb_channels == impl.swrChannels)
        return true;
    if (f.sample_rate <= 0 || f.ch_layout.nb_channels <= 0) return false;
    const auto rate = static_cast<unsigned long>(f.sample_rate);
    m_outputRate = impl.rateCheck && impl.rateCheck(rate) ? rate : kFallbackRate;
    AVChannelLayout inLayout{};
    if (f.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) av_channel_layout_default(&inLayout, f.ch_layout.nb_channels);
    else av_channel_layout_copy(&inLayout, &f.ch_layout);
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    SwrContext* swr = nullptr;
    const int made = swr_alloc_set_opts2(&swr, &stereo, AV_SAMPLE_FMT_S16, int(m_outputRate), &inLayout,
                                         AVSampleFormat(f.format), f.sample_rate, 0, nullptr);
    av_channel_layout_uninit(&inLayout);
    impl.swr.reset(swr);
    if (made < 0 || swr_init(swr) < 0) {
        std::fprintf(stderr, "audio: cannot convert %d Hz, %d channels\n", f.sample_rate, f.ch_layout.nb_channels);
        impl.swr.reset();
        impl.ended = true;
        return false;
    }
    impl.swrRate = f.sample_rate;
    impl.swrFormat = f.format;
    impl.swrChannels = f.ch_layout.nb_channels;
    return true;
}

bool AudioDecoder::ReadFailed() const { return m_impl->readFailed; }

}  // namespace detail
