#include "platform/PCMAudioPlayer.h"

#include "platform/CascadeAudioDevices.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr unsigned long kSupportedRates[] = {32000, 44100, 48000, 88200, 96000};
constexpr int kChannels = 2;
constexpr int kDeviceFrames = 1024;
// Faster than real time: how long the output waits for a buffer before it
// plays silence.
constexpr auto kFreeRunWait = std::chrono::milliseconds(50);

bool IsFreeRunning() {
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    const char* delay = std::getenv("SDL_DISKAUDIODELAY");
    return driver && std::strcmp(driver, "disk") == 0 && delay && std::strcmp(delay, "0") == 0;
}

struct Queued {
    int16_t* samples;
    unsigned long count;  // 16-bit values
};

}  // namespace

struct PCMAudioPlayer::Impl {
    static void SDLCALL Trampoline(void* self, Uint8* stream, int length) {
        static_cast<Impl*>(self)->Fill(stream, std::size_t(length));
    }

    void Fill(Uint8* stream, std::size_t length);
    [[nodiscard]] std::size_t CopyQueuedLocked(Uint8* stream, std::size_t length);
    [[nodiscard]] bool OpenDevice(unsigned long rate);
    void CloseDevice();
    [[nodiscard]] bool OwnsBuffer(const int16_t* samples) const;

    // The SDL device: opened, paused and reopened under deviceLock, never
    // while `lock` is held (the SDL callback takes `lock`).
    std::mutex deviceLock;
    SDL_AudioDeviceID device = 0;
    std::atomic<bool> namedDeviceMissing{false};  // the chosen output was not found (said once)
    bool subsystemUp = false;
    bool paused = true;
    unsigned long rate = kDefaultRate;
    bool freeRunning = false;

    // The buffers and the play queue, shared with the SDL callback.
    mutable std::mutex lock;
    std::condition_variable changed;
    std::vector<std::unique_ptr<int16_t[]>> buffers;
    unsigned long bufferSize = 0;  // bytes
    std::deque<Queued> queue;
    std::size_t headOffset = 0;  // bytes of the queue's head already played
    bool open = false;

    std::atomic<unsigned short> volume{65535};
    std::atomic<unsigned long long> bytesPlayed{0};
    std::atomic<uint64_t> buffersPlayed{0};
};

void PCMAudioPlayer::Impl::Fill(Uint8* stream, std::size_t length) {
    std::size_t done = 0;
    {
        std::unique_lock guard(lock);
        done = CopyQueuedLocked(stream, length);
        while (freeRunning && open && done < length) {
            if (queue.empty() && !changed.wait_for(guard, kFreeRunWait, [&] { return !queue.empty() || !open; }))
                break;
            done += CopyQueuedLocked(stream + done, length - done);
        }
    }
    changed.notify_all();
    if (done < length) std::memset(stream + done, 0, length - done);
    const unsigned short gain = volume.load();
    if (gain == 65535) return;
    auto* samples = reinterpret_cast<int16_t*>(stream);
    for (std::size_t i = 0; i < done / 2; ++i) samples[i] = int16_t((int32_t(samples[i]) * gain) / 65535);
}

// Copies queued bytes into `stream`, freeing each buffer that was used up.
std::size_t PCMAudioPlayer::Impl::CopyQueuedLocked(Uint8* stream, std::size_t length) {
    std::size_t done = 0;
    while (done < length && !queue.empty()) {
        const Queued& head = queue.front();
        const std::size_t bytes = head.count * sizeof(int16_t);
        const std::size_t n = std::min(length - done, bytes - headOffset);
        std::memcpy(stream + done, reinterpret_cast<const Uint8*>(head.samples) + headOffset, n);
        done += n;
        headOffset += n;
        if (headOffset == bytes) {
            queue.pop_front();
            headOffset = 0;
            ++buffersPlayed;
        }
    }
    bytesPlayed += done;
    return done;
}

bool PCMAudioPlayer::Impl::OpenDevice(unsigned long newRate) {
    SDL_AudioSpec want{};
    want.freq = int(newRate);
    want.format = AUDIO_S16SYS;
    want.channels = kChannels;
    want.samples = kDeviceFrames;
    want.callback = &Trampoline;
    want.userdata = this;
    SDL_AudioSpec have{};
    const std::string name = CascadeAudioDevices::Chosen();
    if (!name.empty()) {
        device = SDL_OpenAudioDevice(name.c_str(), 0, &want, &have, 0);
        // Said once: the device is reopened on every change of rate.
        if (device == 0 && !namedDeviceMissing.exchange(true))
            std::fprintf(stderr, "audio: no output named \"%s\" (%s); using the default (quendrel --list-audio-devices)\n",
                         name.c_str(), SDL_GetError());
    }
    if (device == 0) device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device == 0) {
        std::fprintf(stderr, "audio: cannot open the output at %lu Hz: %s\n", newRate, SDL_GetError());
        return false;
    }
    rate = newRate;
    SDL_PauseAudioDevice(device, paused ? 1 : 0);
    return true;
}

void PCMAudioPlayer::Impl::CloseDevice() {
    if (device == 0) return;
    SDL_CloseAudioDevice(device);
    device = 0;
}

bool PCMAudioPlayer::Impl::OwnsBuffer(const int16_t* samples) const {
    return std::any_of(buffers.begin(), buffers.end(), [&](const auto& b) { return b.get() == samples; });
}

PCMAudioPlayer::PCMAudioPlayer() : m_impl(std::make_unique<Impl>()) {}

PCMAudioPlayer::~PCMAudioPlayer() { Close(); }

bool PCMAudioPlayer::GetBufferRequirements(unsigned long& minCount, unsigned long& maxCount,
                                           unsigned long& minSize, unsigned long& maxSize,
                                           unsigned long& sizeMultiple) {
    minCount = 2;
    maxCount = kMaxBufferCount;
    minSize = 256;
    maxSize = kMaxBufferSize;
    sizeMultiple = 4;  // one stereo frame
    return true;
}

bool PCMAudioPlayer::GetDefaultBufferRequirements(unsigned long& count, unsigned long& size) {
    count = kDefaultBufferCount;
    size = kDefaultBufferSize;
    return true;
}

bool PCMAudioPlayer::Open(unsigned long count, unsigned long size, void** buffers) {
    if (count < 2 || count > kMaxBufferCount || size < 256 || size > kMaxBufferSize || !buffers) {
        std::fprintf(stderr, "audio: refusing %lu output buffers of %lu bytes\n", count, size);
        return false;
    }
    Close();
    std::lock_guard device(m_impl->deviceLock);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        std::fprintf(stderr, "audio: no audio output: %s\n", SDL_GetError());
        return false;
    }
    m_impl->subsystemUp = true;
    m_impl->freeRunning = IsFreeRunning();
    m_impl->paused = true;
    {
        std::lock_guard guard(m_impl->lock);
        m_impl->buffers.clear();
        for (unsigned long i = 0; i < count; ++i) m_impl->buffers.push_back(std::make_unique<int16_t[]>(size / 2));
        for (unsigned long i = 0; i < count; ++i) buffers[i] = m_impl->buffers[i].get();
        m_impl->bufferSize = size & ~1ul;
        m_impl->queue.clear();
        m_impl->headOffset = 0;
        m_impl->open = true;
    }
    if (m_impl->OpenDevice(m_impl->rate)) return true;
    std::lock_guard guard(m_impl->lock);
    m_impl->open = false;
    return false;
}

bool PCMAudioPlayer::Close() {
    {
        std::lock_guard guard(m_impl->lock);
        m_impl->open = false;
        m_impl->buffersPlayed += m_impl->queue.size();
        m_impl->queue.clear();
    }
    m_impl->changed.notify_all();
    std::lock_guard device(m_impl->deviceLock);
    m_impl->CloseDevice();
    if (m_impl->subsystemUp) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    m_impl->subsystemUp = false;
    // The buffers stay until the next Open or destruction: on the fatal-
    // signal path the output closes while the feeding thread may still be
    // writing into one of them.
    std::lock_guard guard(m_impl->lock);
    m_impl->headOffset = 0;
    return true;
}

bool PCMAudioPlayer::QueueBuffer(short* samples, unsigned long count) {
    {
        std::lock_guard guard(m_impl->lock);
        if (!m_impl->open) return false;
        if (!m_impl->OwnsBuffer(samples) || count * sizeof(int16_t) > m_impl->bufferSize ||
            m_impl->queue.size() >= m_impl->buffers.size()) {
            std::fprintf(stderr, "audio: refusing a buffer of %lu values\n", count);
            return false;
        }
        if (count == 0) return true;
        m_impl->queue.push_back({samples, count});
    }
    m_impl->changed.notify_all();
    return true;
}

long PCMAudioPlayer::WaitForBuffer() {
    std::unique_lock guard(m_impl->lock);
    m_impl->changed.wait(guard, [&] { return !m_impl->open || m_impl->queue.size() < m_impl->buffers.size(); });
    if (!m_impl->open) return -1;
    return long(m_impl->buffers.size() - m_impl->queue.size());
}

bool PCMAudioPlayer::GetNumBuffersAvailable(unsigned long& count) {
    std::lock_guard guard(m_impl->lock);
    if (!m_impl->open) return false;
    count = m_impl->buffers.size() - m_impl->queue.size();
    return true;
}

bool PCMAudioPlayer::Pause() {
    std::lock_guard device(m_impl->deviceLock);
    m_impl->paused = true;
    if (m_impl->device != 0) SDL_PauseAudioDevice(m_impl->device, 1);
    return m_impl->device != 0;
}

bool PCMAudioPlayer::Play() {
    std::lock_guard device(m_impl->deviceLock);
    m_impl->paused = false;
    if (m_impl->device != 0) SDL_PauseAudioDevice(m_impl->device, 0);
    return m_impl->device != 0;
}

bool PCMAudioPlayer::Flush() {
    {
        std::lock_guard guard(m_impl->lock);
        m_impl->buffersPlayed += m_impl->queue.size();
        m_impl->queue.clear();
        m_impl->headOffset = 0;
    }
    m_impl->changed.notify_all();
    return true;
}

uint64_t PCMAudioPlayer::GetBuffersPlayed() { return m_impl->buffersPlayed.load(); }

bool PCMAudioPlayer::SetVolume(unsigned short volume) {
    m_impl->volume = volume;
    return true;
}

bool PCMAudioPlayer::SetSampleRate(unsigned long rate) {
    if (!IsSupportedSampleRate(rate)) {
        std::fprintf(stderr, "audio: the output cannot play %lu Hz\n", rate);
        return false;
    }
    std::lock_guard device(m_impl->deviceLock);
    if (rate == m_impl->rate) return true;
    if (m_impl->device == 0) {
        m_impl->rate = rate;
        return true;
    }
    m_impl->CloseDevice();
    return m_impl->OpenDevice(rate);
}

unsigned long PCMAudioPlayer::GetSampleRate() {
    std::lock_guard device(m_impl->deviceLock);
    return m_impl->rate;
}

bool PCMAudioPlayer::IsSupportedSampleRate(unsigned long rate) {
    return std::find(std::begin(kSupportedRates), std::end(kSupportedRates), rate) != std::end(kSupportedRates);
}

bool PCMAudioPlayer::SetOutputFlags(bool, bool) { return true; }

bool PCMAudioPlayer::GetOutputFlags(bool& digital, bool& analog) {
    digital = false;
    analog = true;
    return true;
}

unsigned long long PCMAudioPlayer::GetBytesPlayed() const { return m_impl->bytesPlayed.load(); }
