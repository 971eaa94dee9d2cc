#include "platform/CascadeAudioPlayer.h"

#include "platform/detail/AudioDecoder.h"

#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Result = CascadeAudioPlayer::PlaybackResult;

// While the last buffers play out, the audio thread looks this often
// whether they have left the device.
constexpr auto kDrainStep = std::chrono::milliseconds(20);

bool IsKnownType(std::string_view type) { return type == "MP3" || type == "FLAC" || type == "WAV" || type == "WMA"; }

}  // namespace

struct CascadeAudioPlayer::Impl {
    struct Item {
        CascadeStream* stream;
        std::string type;
        uint32_t id;
    };
    // Buffers of one stream that are in the device or still to be decoded.
    struct Run {
        uint32_t id;
        unsigned long queued;  // buffers in the device, not yet played
        bool decodeDone;
        Result result;
    };

    void ThreadProc();
    void DecodeOne(const Item& item);
    Result Pump(detail::AudioDecoder& decoder, bool fresh, uint32_t id);
    [[nodiscard]] bool QueueOne(int16_t* samples, unsigned long count);
    void BeginFresh(uint32_t id);
    void Reap();
    void EndFrontRun();
    void Drain();
    void AcknowledgeStop();
    bool StopRequested() {
        std::lock_guard guard(lock);
        return stopRequested || closing;
    }

    CascadeAudioPlaybackDevice* device = nullptr;
    Client* client = nullptr;
    std::thread thread;
    std::vector<void*> buffers;  // the device's, for the decoder to fill
    unsigned long bufferSize = 0;
    unsigned long nextBuffer = 0;
    unsigned long lastRate = 0;
    std::deque<Run> runs;  // audio thread only
    uint64_t reaped = 0;   // the device's played count at the last look; audio thread only

    // Pause, Resume and the start of playback change the device's run state
    // in the order they took this lock.
    std::mutex transportLock;

    // Shared between the audio thread and the callers.
    mutable std::mutex lock;
    std::condition_variable changed;
    std::deque<Item> queue;
    CascadeStream* current = nullptr;  // the stream being decoded
    uint32_t nextId = 1;
    bool open = false;
    bool closing = false;
    bool stopRequested = false;
    bool paused = false;
    bool begun = false;  // a playback began and has not ended
};

void CascadeAudioPlayer::Impl::ThreadProc() {
    pthread_setname_np(pthread_self(), "audio");
    for (;;) {
        Item item;
        {
            std::unique_lock guard(lock);
            changed.wait(guard, [&] { return closing || stopRequested || !queue.empty(); });
            if (closing) return;
            if (stopRequested) {
                guard.unlock();
                AcknowledgeStop();
                continue;
            }
            item = queue.front();
            queue.pop_front();
            current = item.stream;
        }
        DecodeOne(item);
        {
            std::lock_guard guard(lock);
            current = nullptr;
        }
        changed.notify_all();
        Drain();
    }
}

void CascadeAudioPlayer::Impl::DecodeOne(const Item& item) {
    client->OnAudioDecodeBegin(item.id);
    auto failure = detail::AudioDecoder::Failure::None;
    auto decoder = detail::AudioDecoder::Open(
        *item.stream, item.type, [this](unsigned long rate) { return device->IsSupportedSampleRate(rate); }, failure);
    const bool fresh = runs.empty();
    runs.push_back({item.id, 0, false, Result::Success});
    if (fresh)
        client->OnAudioBuffering(item.id, 0, kBufferingTotal);
    else  // it follows the one playing: nothing to wait for
        client->OnAudioBuffering(item.id, kBufferingTotal, kBufferingTotal);
    Result result = decoder ? Pump(*decoder, fresh, item.id) : static_cast<Result>(static_cast<uint32_t>(failure));
    if (result == Result::Stopped) return;
    bool begun;
    {
        std::lock_guard guard(lock);
        begun = this->begun;
    }
    if (fresh && !begun) BeginFresh(item.id);
    if (StopRequested()) return;
    runs.back().decodeDone = true;
    runs.back().result = result;
    client->OnAudioDecodeEnd(item.id, result);
}

// Decodes into the device until the stream ends; playback of a fresh start
// begins once kBufferingTotal buffers are queued.
Result CascadeAudioPlayer::Impl::Pump(detail::AudioDecoder& decoder, bool fresh, uint32_t id) {
    unsigned long queuedHere = 0;
    for (;;) {
        if (StopRequested()) return Result::Stopped;
        auto* samples = static_cast<int16_t*>(buffers[nextBuffer]);
        nextBuffer = (nextBuffer + 1) % buffers.size();
        const unsigned long count = decoder.Fill(samples, bufferSize / 2);
        // A stream that gave no sound at all was not what its type said
        // (some demuxers take any bytes and find no frame in them).
        if (count == 0) {
            if (decoder.ReadFailed()) return Result::ErrorReadingStream;
            return decoder.GetOutputRate() == 0 ? Result::UnknownAudioType : Result::Success;
        }
        if (decoder.GetOutputRate() != lastRate) {
            if (!device->SetSampleRate(decoder.GetOutputRate())) return Result::UnsupportedSampleRate;
            lastRate = decoder.GetOutputRate();
        }
        if (!QueueOne(samples, count)) return StopRequested() ? Result::Stopped : Result::DeviceFailed;
        if (fresh && ++queuedHere == kBufferingTotal) {
            BeginFresh(id);
            if (StopRequested()) return Result::Stopped;
        }
    }
}

bool CascadeAudioPlayer::Impl::QueueOne(int16_t* samples, unsigned long count) {
    if (device->WaitForBuffer() < 0) return false;
    Reap();
    if (StopRequested()) return false;
    if (!device->QueueBuffer(samples, count)) return false;
    ++runs.back().queued;
    return true;
}

// Reports buffering complete, waits while the player is held, then starts
// the device.
void CascadeAudioPlayer::Impl::BeginFresh(uint32_t id) {
    client->OnAudioBuffering(id, kBufferingTotal, kBufferingTotal);
    for (;;) {
        {
            std::unique_lock guard(lock);
            changed.wait(guard, [&] { return !paused || stopRequested || closing; });
            if (stopRequested || closing) return;
        }
        std::lock_guard transport(transportLock);
        {
            std::lock_guard guard(lock);
            if (stopRequested || closing) return;
            if (paused) continue;
            begun = true;
        }
        device->Play();
        break;
    }
    client->OnAudioPlaybackBegin(id);
}

// Counts the buffers the device has played since the last look and ends
// (and begins) playbacks whose last (first) buffer went by.
void CascadeAudioPlayer::Impl::Reap() {
    const uint64_t playedNow = device->GetBuffersPlayed();
    uint64_t played = playedNow - reaped;
    reaped = playedNow;
    while (!runs.empty()) {
        const unsigned long take = static_cast<unsigned long>(std::min<uint64_t>(played, runs.front().queued));
        runs.front().queued -= take;
        played -= take;
        if (runs.front().queued != 0 || !runs.front().decodeDone) break;
        EndFrontRun();
    }
}

void CascadeAudioPlayer::Impl::EndFrontRun() {
    const Run ended = runs.front();
    runs.pop_front();
    if (runs.empty()) {
        std::lock_guard guard(lock);
        begun = false;
    }
    client->OnAudioPlaybackEnd(ended.id, ended.result);
    if (!runs.empty()) client->OnAudioPlaybackBegin(runs.front().id);
}

// Lets the device play out what is queued, unless another stream arrives to
// follow it.
void CascadeAudioPlayer::Impl::Drain() {
    for (;;) {
        Reap();
        std::unique_lock guard(lock);
        if (runs.empty() || !queue.empty() || stopRequested || closing) return;
        auto wake = [&] { return !queue.empty() || stopRequested || closing; };
        if (paused)
            changed.wait(guard, [&] { return !paused || wake(); });
        else
            changed.wait_for(guard, kDrainStep, wake);
    }
}

void CascadeAudioPlayer::Impl::AcknowledgeStop() {
    runs.clear();
    device->Flush();
    device->Pause();
    reaped = device->GetBuffersPlayed();
    {
        std::lock_guard guard(lock);
        begun = false;
        stopRequested = false;
    }
    changed.notify_all();
}

CascadeAudioPlayer::CascadeAudioPlayer() : m_impl(std::make_unique<Impl>()) {}

CascadeAudioPlayer::~CascadeAudioPlayer() { Close(); }

void CascadeAudioPlayer::AttachDevice(CascadeAudioPlaybackDevice* device) { m_impl->device = device; }

void CascadeAudioPlayer::DetachDevice() { m_impl->device = nullptr; }

bool CascadeAudioPlayer::Open(Client* client) {
    Impl& impl = *m_impl;
    if (impl.thread.joinable() || !impl.device || !client) return false;
    unsigned long count = 0, size = 0;
    if (!impl.device->GetDefaultBufferRequirements(count, size) || count == 0) return false;
    impl.buffers.assign(count, nullptr);
    if (!impl.device->Open(count, size, impl.buffers.data())) {
        std::fprintf(stderr, "audio: the output device did not open\n");
        return false;
    }
    impl.client = client;
    impl.bufferSize = size & ~3ul;
    impl.nextBuffer = 0;
    impl.lastRate = 0;
    impl.runs.clear();
    impl.reaped = impl.device->GetBuffersPlayed();
    {
        std::lock_guard guard(impl.lock);
        impl.open = true;
        impl.closing = impl.stopRequested = impl.paused = impl.begun = false;
    }
    impl.thread = std::thread([&impl] { impl.ThreadProc(); });
    return true;
}

bool CascadeAudioPlayer::IsAudioThread() const { return m_impl->thread.get_id() == std::this_thread::get_id(); }

bool CascadeAudioPlayer::Close() {
    Impl& impl = *m_impl;
    if (IsAudioThread()) {
        std::fprintf(stderr, "audio: Close on the audio thread refused (it cannot wait for its own end)\n");
        return false;
    }
    {
        std::lock_guard guard(impl.lock);
        if (!impl.open) return false;
        impl.open = false;
        impl.closing = true;
        impl.queue.clear();
    }
    impl.changed.notify_all();
    impl.device->Flush();
    if (impl.thread.joinable()) impl.thread.join();
    impl.device->Close();
    impl.buffers.clear();
    std::lock_guard guard(impl.lock);
    impl.begun = impl.paused = false;
    impl.current = nullptr;
    return true;
}

bool CascadeAudioPlayer::QueueStream(CascadeStream* stream, const char* type, unsigned long /*flags*/) {
    if (!stream || !type || !IsKnownType(type)) {
        std::fprintf(stderr, "audio: refusing a stream of type %s\n", type ? type : "(none)");
        return false;
    }
    {
        std::lock_guard guard(m_impl->lock);
        if (!m_impl->open || m_impl->queue.size() >= kMaxQueuedStreams) return false;
        m_impl->queue.push_back({stream, type, m_impl->nextId++});
    }
    m_impl->changed.notify_all();
    return true;
}

bool CascadeAudioPlayer::IsStreamQueued(const CascadeStream* stream) const {
    std::lock_guard guard(m_impl->lock);
    if (m_impl->current == stream) return true;
    return std::any_of(m_impl->queue.begin(), m_impl->queue.end(), [&](const auto& i) { return i.stream == stream; });
}

bool CascadeAudioPlayer::Pause() {
    {
        std::lock_guard transport(m_impl->transportLock);
        {
            std::lock_guard guard(m_impl->lock);
            if (!m_impl->open || m_impl->paused) return m_impl->open;
            m_impl->paused = true;
        }
        m_impl->device->Pause();
    }
    m_impl->client->OnPlaybackPause();
    return true;
}

bool CascadeAudioPlayer::Resume() {
    bool begun = false;
    {
        std::lock_guard transport(m_impl->transportLock);
        {
            std::lock_guard guard(m_impl->lock);
            if (!m_impl->open || !m_impl->paused) return m_impl->open;
            m_impl->paused = false;
            begun = m_impl->begun;
        }
        m_impl->changed.notify_all();
        if (begun) m_impl->device->Play();
    }
    if (begun) m_impl->client->OnPlaybackResume();
    return true;
}

bool CascadeAudioPlayer::Stop() {
    Impl& impl = *m_impl;
    {
        std::lock_guard guard(impl.lock);
        if (!impl.open) return false;
        impl.queue.clear();
        impl.stopRequested = true;
        impl.paused = false;
    }
    impl.changed.notify_all();
    impl.device->Flush();
    {
        std::unique_lock guard(impl.lock);
        impl.changed.wait(guard, [&] { return !impl.stopRequested || impl.closing; });
    }
    impl.client->OnPlaybackStop();
    return true;
}

bool CascadeAudioPlayer::IsPlaying() const {
    std::lock_guard guard(m_impl->lock);
    return m_impl->begun && !m_impl->paused;
}

bool CascadeAudioPlayer::IsPaused() const {
    std::lock_guard guard(m_impl->lock);
    return m_impl->paused;
}

void CascadeAudioPlayer::SetVolume(unsigned short volume) {
    if (m_impl->device) m_impl->device->SetVolume(volume);
}
