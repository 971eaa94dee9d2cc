#include "player/QuendrelPlayer.h"

#include "app/base/AppLog.h"
#include "app/base/AppSettings.h"
#include "app/base/FaultHook.h"
#include "platform/CascadeThread.h"
#include "platform/CascadeTime.h"
#include "player/IRCode.h"
#include "player/PlayerStatus.h"
#include "player/StreamCommand.h"
#include "ui/Configuration.h"
#include "server/SlimCLIConnection.h"

#include <strings.h>

#include <cinttypes>
#include <cstring>
#include <cstdio>

namespace {

constexpr unsigned long kStatusPeriodMs = 1000;
constexpr uint64_t kStatusSkipMs = 750;
constexpr unsigned long kBufferedPollMs = 100;

uint64_t Now() { return CascadeTime::GetUptimeMilliseconds(); }

}  // namespace

QuendrelPlayer::QuendrelPlayer() = default;

QuendrelPlayer::~QuendrelPlayer() {
    if (m_statusTimerId != 0) {
        KillTimer(m_statusTimerId);
        m_statusTimerId = 0;
    }
    Disconnect();
}

bool QuendrelPlayer::Connect() { return Connect(g_serverIP.c_str()); }

bool QuendrelPlayer::Connect(const char* host) {
    std::printf("Connect\n");
    {
        std::lock_guard guard(m_lock);
        m_leaving = false;
    }
    m_audio.AttachDevice(&m_pcm);
    if (!m_audio.Open(this)) AppLog::WriteToLog("audio: no audio output; streams will not play\n", true);
    m_server.RegisterClient(this);
    m_registered = true;
    m_connected = m_server.Connect(host);
    return m_connected;
}

bool QuendrelPlayer::Disconnect() {
    std::printf("Disconnect\n");
    m_state = kStopped;
    m_reporting = false;
    // A first attempt that failed leaves the link retrying in the background,
    // and it may have come up since: so goodbye depends on having connected
    // at all, not on the first attempt's result. Without a link or a HELO the
    // server object sends nothing.
    if (!m_registered) return true;
    // A stream open the reader thread is blocked in (a stalled server) must
    // let go now, or stopping the link would wait out its time-out.
    CancelStreams();
    m_server.UnregisterClient(this);
    m_server.SendIR(IRCode::kPowerOff);
    m_server.SendBye();
    m_server.Disconnect();
    m_connected = false;
    m_registered = false;
    // The reader thread may create streams until the link is down, so the
    // audio player and the streams go after it, not before the goodbye.
    StopPlayback();
    m_audio.Close();
    m_audio.DetachDevice();
    return true;
}

bool QuendrelPlayer::SendIR(unsigned long code) { return m_server.SendIR(code); }

void QuendrelPlayer::SetDisplayVisible(bool visible) {
    m_displayVisible = visible;
    Redraw();
}

void QuendrelPlayer::OnSlimServerCommand(const char* opcode, unsigned char* data, unsigned long length) {
    if (!opcode) return;
    if (strncasecmp(opcode, "strm", 4) == 0) HandleStrm(data, length);
    else if (strncmp(opcode, "grfe", 4) == 0) HandleGrfe(data, length);
    else if (strncmp(opcode, "audg", 4) == 0) HandleAudg(data, length);
}

void QuendrelPlayer::OnSlimServerConnected() {
    if (!m_server.SendHello(IsPlaying()) || !m_server.SendIR(IRCode::kPowerOn)) return;
    // The server also hears over its CLI that this player is on.
    m_server.GetSlimCLIConnection()->Power(true);
}

void QuendrelPlayer::OnSlimServerDisconnected() {}

void QuendrelPlayer::OnMaterialize() {
    MaterializeDisplay();
    if (m_statusTimerId == 0) m_statusTimerId = SetTimer(kStatusPeriodMs);
}

void QuendrelPlayer::OnTimer(unsigned long id) {
    if (id != m_statusTimerId || !m_reporting) return;
    if (Now() - m_lastStatusTime.load() < kStatusSkipMs) return;
    SendStatus("STMt");
}

// ---- strm commands (SlimProto reader thread) ----

void QuendrelPlayer::HandleStrm(const unsigned char* data, unsigned long length) {
    const StreamCommand command = StreamCommand::Parse(data, length);
    if (command.truncated)
        AppLog::WriteToLog("slimproto: strm payload of %lu bytes cut to %zu\n", false, length,
                           StreamCommand::kAreaSize - 1);
    const char letter[2] = {command.command, 0};
    AppLog::WriteToLog("Stream Packet: %s\n", true, letter);
    m_thresholdBytes = command.thresholdBytes;
    m_autostart = command.autostart;
    m_format = command.format;
    m_streamPath = command.path;
    switch (command.command) {
    case 's':
        ConnectToStream();
        Autostart();
        break;
    case 'p': Pause(); break;
    case 'u': HandleUnpause(); break;
    case 'q':
        std::printf("Stop\n");
        if (m_state == kStopped) break;
        StopPlayback();
        std::printf("sending close status\n");
        SendStatus(command.autostart ? "STMf" : "STMt");
        m_state = kStopped;
        break;
    case 't': SendStatus("STMt"); break;
    case 'f': std::printf("Flush\n"); break;
    default: AppLog::WriteToLog("Unknown stream packet command: %s\n", true, letter); break;
    }
}

void QuendrelPlayer::HandleUnpause() {
    std::printf("Play\n");
    const uint32_t state = m_state;
    if (state == kPlaying) return;
    if (state == kStopped) ConnectToStream();
    m_state = kPlaying;
    m_audio.Resume();
}

void QuendrelPlayer::Pause() {
    std::printf("Pause\n");
    if (m_state != kPlaying) return;
    m_audio.Pause();
    SendStatus("STMp");
    m_state = kPaused;
}

void QuendrelPlayer::Play() {
    std::printf("Play\n");
    m_state = kPlaying;
    m_audio.Resume();
}

void QuendrelPlayer::Stop() {
    std::printf("Stop\n");
    if (m_state == kStopped) return;
    StopPlayback();
    m_state = kStopped;
}

void QuendrelPlayer::Resume() {
    std::printf("Resume\n");
    m_audio.Resume();
    SendStatus("STMr");
    m_state = kPlaying;
}

void QuendrelPlayer::ConnectToStream() {
    std::printf("ConnectToStream\n");
    const CascadeString url = CascadeString("http://") + g_serverIP + ":" + g_portWeb + m_streamPath;
    m_state = kOpening;
    // A new stream supersedes any that was opened and never queued.
    DropPendingStreams();
    auto stream = std::make_unique<HTTPBufferedStream>(this);
    HTTPBufferedStream* opening = stream.get();
    {
        std::lock_guard guard(m_lock);
        if (m_leaving) stream->Cancel();  // Disconnect is under way: the open must not block it
        m_pendingStreams.push_back(std::move(stream));
    }
    SendStatus("STMc", opening);
    if (opening->Open(url.c_str(), m_format == 'p')) {
        SendStatus("STMh", opening);
        m_state = kBuffering;
        return;
    }
    m_server.SendDSCO(3);
    AppLog::WriteToLog("Failed to connect to stream.", true);
}

void QuendrelPlayer::Autostart() {
    std::printf("Autostart\n");
    const uint32_t state = m_state;
    if (state == kStopped) {
        AppLog::WriteToLog("Attempt to autostart while not connected.", true);
        return;
    }
    if (state == kPlaying) return;
    if (state == kPaused) {
        Resume();
        return;
    }
    m_buffered = false;
    StreamPtr stream = TakeFirstOpenPending();
    if (!stream) return;
    const char* type = "MP3";
    switch (m_format.load()) {
    case 'f': type = "FLAC"; break;
    case 'p': type = "WAV"; break;
    case 'w': type = "WMA"; break;
    default: break;
    }
    AppLog::WriteToLog("playing %s\n", true, type);
    m_holdAfterBuffering = !m_autostart;
    if (!m_audio.QueueStream(stream.get(), type, 3)) {
        AppLog::WriteToLog("audio: the %s stream was refused; closing it\n", true, type);
        m_holdAfterBuffering = false;
        stream->Close();
        return;
    }
    RetireCurrentStream();
    {
        std::lock_guard guard(m_lock);
        m_currentStream = std::move(stream);
    }
    if (m_autostart) {
        Play();
        return;
    }
    m_state = kBuffering;
    if (!WaitUntilBuffered()) return;
    if (!m_audio.IsPaused()) m_audio.Pause();
    SendStatus("STMl");
}

// Sleeps in 100 ms steps until the audio player reports full buffering.
// False when an error message is set, the player was stopped meanwhile, or
// the stream left the audio player without buffering.
bool QuendrelPlayer::WaitUntilBuffered() {
    HTTPBufferedStream* stream = nullptr;
    {
        std::lock_guard guard(m_lock);
        stream = m_currentStream.get();
    }
    while (!m_buffered) {
        if (!GetErrorMessage().IsEmpty() || m_state == kStopped) return false;
        if (!m_audio.IsStreamQueued(stream) && !m_buffered) return false;
        CascadeThread::Sleep(kBufferedPollMs);
    }
    return true;
}

// The first pending stream whose HTTP connection opened; pending streams
// before it never opened and are freed.
QuendrelPlayer::StreamPtr QuendrelPlayer::TakeFirstOpenPending() {
    std::vector<StreamPtr> failed;
    StreamPtr found;
    {
        std::lock_guard guard(m_lock);
        while (!m_pendingStreams.empty() && !found) {
            StreamPtr first = std::move(m_pendingStreams.front());
            m_pendingStreams.erase(m_pendingStreams.begin());
            if (first->IsOpen()) found = std::move(first);
            else failed.push_back(std::move(first));
        }
    }
    CloseStreams(failed);
    return found;
}

// The stream being replaced is freed once the audio player is done with it.
void QuendrelPlayer::RetireCurrentStream() {
    std::vector<StreamPtr> done;
    {
        std::lock_guard guard(m_lock);
        if (m_currentStream) m_retiredStreams.push_back(std::move(m_currentStream));
        for (auto it = m_retiredStreams.begin(); it != m_retiredStreams.end();) {
            if (m_audio.IsStreamQueued(it->get())) {
                ++it;
                continue;
            }
            done.push_back(std::move(*it));
            it = m_retiredStreams.erase(it);
        }
    }
    CloseStreams(done);
}

void QuendrelPlayer::DropPendingStreams() {
    std::vector<StreamPtr> pending;
    {
        std::lock_guard guard(m_lock);
        pending.swap(m_pendingStreams);
    }
    CloseStreams(pending);
}

// Stops the audio player and frees every stream. The streams stop filling
// first so that a read blocked on an empty ring returns and the audio
// player can stop.
void QuendrelPlayer::StopPlayback() {
    std::vector<StreamPtr> streams;
    {
        std::lock_guard guard(m_lock);
        m_state = kStopped;
        m_reporting = false;
        if (m_currentStream) {
            std::printf("deleting queued stream\n");
            streams.push_back(std::move(m_currentStream));
        }
        for (auto& s : m_retiredStreams) streams.push_back(std::move(s));
        for (auto& s : m_pendingStreams) streams.push_back(std::move(s));
        m_retiredStreams.clear();
        m_pendingStreams.clear();
    }
    for (auto& s : streams) s->StopFilling();
    m_audio.Stop();
    CloseStreams(streams);
}

void QuendrelPlayer::CancelStreams() {
    std::lock_guard guard(m_lock);
    CancelStreamsLocked();
}

void QuendrelPlayer::CancelStreamsLocked() {
    m_leaving = true;
    if (m_currentStream) m_currentStream->Cancel();
    for (auto& s : m_pendingStreams) s->Cancel();
    for (auto& s : m_retiredStreams) s->Cancel();
}

void QuendrelPlayer::CloseStreams(std::vector<StreamPtr>& streams) {
    for (auto& s : streams) s->Close();
    streams.clear();
}

// ---- status ----

bool QuendrelPlayer::SendStatus(const char* code, HTTPBufferedStream* stream) {
    AppLog::WriteToLog("Should be sending status: %s\n", false, code);
    std::lock_guard guard(m_lock);
    if (!stream) stream = m_currentStream.get();
    PlayerStatus::Inputs in;
    in.code = code;
    in.format = m_format;
    in.state = m_state;
    in.hasStream = stream != nullptr;
    in.streamFullness = stream ? stream->GetBufferFullness() : 0;
    in.bytesReceived = stream ? stream->GetWriteCount() : 0;
    in.thresholdBytes = m_thresholdBytes;
    in.runningMilliseconds = uint32_t(m_server.GetRunningMilliseconds());
    unsigned long outputSize = 0, outputFullness = 0;
    m_pcm.GetBufferInfo(outputSize, outputFullness);
    in.outputSize = uint32_t(outputSize);
    in.outputFullness = uint32_t(outputFullness);
    in.elapsedSeconds = uint32_t(GetElapsedSeconds());
    const StatusPacket packet = PlayerStatus::Build(in);
    const bool isTick = std::strncmp(code, "STMt", 4) == 0;
    if (!isTick || AppLog::IsLoggingToFile())
        AppLog::WriteToLog("%s\tstate: %i  size: %ld  fullness: %ld  bytesRx: %lld  bytesReq: %lld  elapsedSeconds: %ld  "
                           "outputsize: %ld  outputfullness: %ld\n",
                           !isTick, code, int(in.state), long(packet.size), long(packet.fullness),
                           (long long)packet.bytesRx, (long long)packet.bytesRx, long(packet.elapsedSeconds),
                           long(packet.outputSize), long(packet.outputFullness));
    m_lastStatusTime = Now();
    return m_server.SendStatus(packet);
}

unsigned long QuendrelPlayer::GetElapsedSeconds() const {
    const uint64_t start = m_playStart;
    return m_elapsedBase + (start != 0 ? (Now() - start) / 1000 : 0);
}

void QuendrelPlayer::AddRunningSeconds() {
    const uint64_t start = m_playStart.exchange(0);
    if (start != 0) m_elapsedBase += uint32_t((Now() - start) / 1000);
}

bool QuendrelPlayer::CheckResult(const CascadeAudioPlayer::PlaybackResult& result) {
    const char* message = PlayerStatus::ResultMessage(static_cast<uint32_t>(result));
    if (!message) return true;
    {
        std::lock_guard guard(m_messageLock);
        m_errorMessage = message;
        m_messageTime = Now();
    }
    Redraw();
    AppLog::WriteToLog("%s", true, message);
    return false;
}

CascadeString QuendrelPlayer::GetErrorMessage() const {
    std::lock_guard guard(m_messageLock);
    return m_errorMessage;
}

void QuendrelPlayer::CloseAudioOutput() {
    m_pcm.Close();
    m_audio.Close();
}

void QuendrelPlayer::SayGoodbyeOnFatalSignal() {
    m_state = kStopped;  // a reader waiting for buffering gives up
    m_reporting = false;
    // The faulting thread may hold the lock: then the streams stay as they are.
    if (m_lock.try_lock()) {
        CancelStreamsLocked();
        m_lock.unlock();
    }
    // The audio thread cannot wait for its own end; the process exit ends it.
    if (!m_audio.IsAudioThread()) CloseAudioOutput();
    m_server.SendIR(IRCode::kPowerOff);
    m_server.SendBye();
}

// ---- read-ahead stream callbacks ----

void QuendrelPlayer::OnBufferUnderrun() { std::printf("..Buffer underrun: %i\n", int(m_state.load())); }

void QuendrelPlayer::OnBufferFull() {}

void QuendrelPlayer::OnBufferClosed(void*) {}

void QuendrelPlayer::OnReadComplete() {
    std::printf("Buffer closed\n");
    m_server.SendDSCO(0);
}

// ---- audio player callbacks ----

void QuendrelPlayer::OnAudioDecodeBegin(uint32_t) {
    FaultHook::At(FaultHook::Point::AudioThread);
    AppLog::WriteToLog("Decode Begin", true);
    m_decoding = true;
}

void QuendrelPlayer::OnAudioBuffering(uint32_t, unsigned long done, unsigned long total) {
    if (done == 0) {
        AddRunningSeconds();
        m_state = kBuffering;
    }
    // Without autostart the player holds here, before playback can begin.
    if (done == total && m_holdAfterBuffering.exchange(false)) m_audio.Pause();
    m_buffered = done == total;
    long long received = 0;
    {
        std::lock_guard guard(m_lock);
        if (m_currentStream) received = m_currentStream->GetWriteCount();
    }
    AppLog::WriteToLog("audio buffering: %lld\t%ld, %ld\n", true, received, long(done), long(total));
}

void QuendrelPlayer::OnAudioPlaybackBegin(uint32_t) {
    AppLog::WriteToLog("Playback Begin", true);
    m_state = kPlaying;
    m_playStart = Now();
    m_elapsedBase = 0;
    SendStatus("STMs");
    m_reporting = true;
}

void QuendrelPlayer::OnAudioDecodeEnd(uint32_t, CascadeAudioPlayer::PlaybackResult) {
    AppLog::WriteToLog("Decode End", true);
    if (m_state == kPlaying) SendStatus("STMd");
    m_decoding = false;
}

void QuendrelPlayer::OnAudioPlaybackEnd(uint32_t, CascadeAudioPlayer::PlaybackResult result) {
    AppLog::WriteToLog("Playback Ended", true);
    bool pending = false;
    {
        std::lock_guard guard(m_lock);
        pending = !m_pendingStreams.empty();
    }
    if (!m_decoding && m_state == kPlaying && !pending) {
        AppLog::WriteToLog("Playback Ended - CheckResult", false);
        CheckResult(result);
        AppLog::WriteToLog("Playback Ended - Send STMu", false);
        SendStatus("STMu");
    }
    m_elapsedBase = 0;
    m_playStart = 0;
}

void QuendrelPlayer::OnPlaybackPause() {
    AppLog::WriteToLog("Playback Paused", true);
    m_reporting = false;
    AddRunningSeconds();
}

void QuendrelPlayer::OnPlaybackResume() {
    AppLog::WriteToLog("Playback Resume", true);
    if (m_audio.IsPlaying()) m_reporting = true;
    m_playStart = Now();
}

void QuendrelPlayer::OnPlaybackStop() {
    AppLog::WriteToLog("Playback Stopped\n", true);
    m_playStart = 0;
    m_reporting = false;
    m_elapsedBase = 0;
}
