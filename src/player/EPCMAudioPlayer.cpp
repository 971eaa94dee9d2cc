#include "player/EPCMAudioPlayer.h"

#include "platform/PCMAudioPlayer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr unsigned long kLowestRate = 16000;
constexpr unsigned long kChannels = 2;

// Writes every stereo frame of `in` twice. Repeating frames rather than
// single values keeps left and right apart in the interleaved stream.
void DoubleFrames(const short* in, unsigned long frames, short* out) {
    for (unsigned long f = 0; f < frames; ++f) {
        const short left = in[2 * f];
        const short right = in[2 * f + 1];
        out[4 * f] = left;
        out[4 * f + 1] = right;
        out[4 * f + 2] = left;
        out[4 * f + 3] = right;
    }
}

}  // namespace

EPCMAudioPlayer::EPCMAudioPlayer() : m_output(std::make_unique<PCMAudioPlayer>()) {}

EPCMAudioPlayer::EPCMAudioPlayer(std::unique_ptr<CascadeAudioPlaybackDevice> output) : m_output(std::move(output)) {}

EPCMAudioPlayer::~EPCMAudioPlayer() = default;

bool EPCMAudioPlayer::GetBufferRequirements(unsigned long& minCount, unsigned long& maxCount, unsigned long& minSize,
                                            unsigned long& maxSize, unsigned long& sizeMultiple) {
    return m_output->GetBufferRequirements(minCount, maxCount, minSize, maxSize, sizeMultiple);
}

bool EPCMAudioPlayer::GetDefaultBufferRequirements(unsigned long& count, unsigned long& size) {
    return m_output->GetDefaultBufferRequirements(count, size);
}

bool EPCMAudioPlayer::Open(unsigned long count, unsigned long size, void** buffers) {
    if (count == 0 || !buffers) return false;
    const unsigned long even = size & ~1ul;
    m_deviceBuffers.assign(2 * count, nullptr);
    m_callerBuffers.clear();
    for (unsigned long i = 0; i < count; ++i) {
        m_callerBuffers.push_back(std::make_unique<short[]>(even / sizeof(short)));
        buffers[i] = m_callerBuffers.back().get();
    }
    m_nextBuffer = 0;
    m_outputPerCaller.clear();
    m_outputMatched = m_output->GetBuffersPlayed();
    m_callerPlayed = 0;
    m_bufferSize = size;
    if (!m_output->Open(2 * count, size, m_deviceBuffers.data())) {
        m_deviceBufferCount = 0;
        return false;
    }
    m_deviceBufferCount = 2 * count;
    return true;
}

// The output buffer array stays until the next Open: the application closes
// the device on a fatal signal while the audio thread may be queueing.
bool EPCMAudioPlayer::Close() {
    m_deviceBufferCount = 0;
    return m_output->Close();
}

short* EPCMAudioPlayer::NextDeviceBuffer() {
    auto* buffer = static_cast<short*>(m_deviceBuffers[m_nextBuffer]);
    m_nextBuffer = (m_nextBuffer + 1) % m_deviceBuffers.size();
    return buffer;
}

bool EPCMAudioPlayer::QueueBuffer(short* samples, unsigned long count) {
    if (m_deviceBufferCount == 0 || m_deviceBuffers.empty() || !samples) {
        std::fprintf(stderr, "audio: a buffer queued on a closed output\n");
        return false;
    }
    if (count * sizeof(short) > m_bufferSize || count % kChannels != 0) {
        std::fprintf(stderr, "audio: refusing a buffer of %lu values\n", count);
        return false;
    }
    if (m_doubling) return QueueDoubled(samples, count);
    short* target = NextDeviceBuffer();
    std::memcpy(target, samples, count * sizeof(short));
    if (!m_output->QueueBuffer(target, count)) return false;
    m_outputPerCaller.push_back(1);
    return true;
}

// The first half of the frames into one output buffer, the second half into
// the next, each doubled: the same bytes per buffer as the caller's.
bool EPCMAudioPlayer::QueueDoubled(const short* samples, unsigned long count) {
    const unsigned long frames = count / kChannels;
    const unsigned long firstFrames = frames / 2;
    short* target = NextDeviceBuffer();
    DoubleFrames(samples, firstFrames, target);
    if (!m_output->QueueBuffer(target, 4 * firstFrames)) return false;
    m_outputPerCaller.push_back(1);
    if (m_output->WaitForBuffer() < 0) return false;
    target = NextDeviceBuffer();
    DoubleFrames(samples + kChannels * firstFrames, frames - firstFrames, target);
    if (!m_output->QueueBuffer(target, 4 * (frames - firstFrames))) return false;
    m_outputPerCaller.back() = 2;
    return true;
}

uint64_t EPCMAudioPlayer::GetBuffersPlayed() {
    const uint64_t outputPlayed = m_output->GetBuffersPlayed();
    while (!m_outputPerCaller.empty() && outputPlayed - m_outputMatched >= m_outputPerCaller.front()) {
        m_outputMatched += m_outputPerCaller.front();
        m_outputPerCaller.pop_front();
        ++m_callerPlayed;
    }
    return m_callerPlayed;
}

long EPCMAudioPlayer::WaitForBuffer() {
    const long free = m_output->WaitForBuffer();
    return free < 0 ? free : free / 2;
}

bool EPCMAudioPlayer::GetNumBuffersAvailable(unsigned long& count) {
    unsigned long free = 0;
    if (!m_output->GetNumBuffersAvailable(free)) return false;
    count = free / 2;
    return true;
}

bool EPCMAudioPlayer::Pause() { return m_output->Pause(); }
bool EPCMAudioPlayer::Play() { return m_output->Play(); }
bool EPCMAudioPlayer::Flush() { return m_output->Flush(); }
bool EPCMAudioPlayer::SetVolume(unsigned short volume) { return m_output->SetVolume(volume); }

bool EPCMAudioPlayer::SetSampleRate(unsigned long rate) {
    m_sampleRate = rate;
    unsigned long used = rate;
    if (!m_output->IsSupportedSampleRate(rate)) {
        used = 2 * rate;
        m_doubling = true;
        std::printf("Adjusting sample rate to: %ld\n", long(used));
    } else {
        m_doubling = false;
    }
    return m_output->SetSampleRate(used);
}

unsigned long EPCMAudioPlayer::GetSampleRate() { return m_sampleRate; }

bool EPCMAudioPlayer::IsSupportedSampleRate(unsigned long rate) { return rate >= kLowestRate; }

bool EPCMAudioPlayer::SetOutputFlags(bool digital, bool analog) { return m_output->SetOutputFlags(digital, analog); }

bool EPCMAudioPlayer::GetOutputFlags(bool& digital, bool& analog) { return m_output->GetOutputFlags(digital, analog); }

void EPCMAudioPlayer::GetBufferInfo(unsigned long& size, unsigned long& fullness) {
    const unsigned long count = m_deviceBufferCount;
    const unsigned long bytes = m_bufferSize;
    unsigned long free = count;
    if (!m_output->GetNumBuffersAvailable(free)) free = count;
    free = std::min(free, count);
    size = count * bytes;
    fullness = (count - free) * bytes;
}
