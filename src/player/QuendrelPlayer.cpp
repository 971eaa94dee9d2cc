#include "player/QuendrelPlayer.h"

#include "app/base/AppLog.h"
#include "app/base/AppSettings.h"
#include "app/base/FaultHook.h"
#include "platform/CascadeThread.h"
#include "platform/CascadeTime.h"
#include "player/IRCode.h"
#include "player/StatReport.h"
#include "player/StreamCommand.h"
#include "ui/Configuration.h"
#include "server/SlimCLIConnection.h"

#include <strings.h>

#include <cinttypes>
#include <cstring>
#include <cstdio>
#include <iterator>
#include <utility>

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
        m_streams.AllowOpening();
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
    {
        std::lock_guard guard(m_lock);
        MoveStateLocked(kAnyState, kStopped);  // a reader waiting for buffering gives up
        m_reporting = false;
    }
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
    StopPlayback(StopWhen::kAlways);
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
    if (id != m_statusTimerId) return;
    std::lock_guard guard(m_lock);
    if (!m_reporting || Now() - m_lastStatusTime < kStatusSkipMs) return;
    (void)SendStatusLocked("STMt", nullptr);
}

// ---- the state ----

QuendrelPlayer::State QuendrelPlayer::MoveState(StateSet from, State to) {
    std::lock_guard guard(m_lock);
    return MoveStateLocked(from, to);
}

QuendrelPlayer::State QuendrelPlayer::MoveStateLocked(StateSet from, State to) {
    const State found = m_state;
    if ((from & Only(found)) == 0 || found == to) return found;
    m_state = to;
    m_publishedState = to;
    m_stateChanged.notify_all();
    return found;
}

// ---- strm commands (SlimProto reader thread) ----

void QuendrelPlayer::HandleStrm(const unsigned char* data, unsigned long length) {
    const StreamCommand command = StreamCommand::Parse(data, length);
    if (command.truncated)
        AppLog::WriteToLog("slimproto: strm payload of %lu bytes cut to %zu\n", false, length,
                           StreamCommand::kAreaSize - 1);
    const char letter[2] = {command.command, 0};
    AppLog::WriteToLog("Stream Packet: %s\n", true, letter);
    {
        std::lock_guard guard(m_lock);
        m_thresholdBytes = command.thresholdBytes;
        m_autostart = command.autostart;
        m_format = command.format;
    }
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
        if (StopPlayback(StopWhen::kWhenRunning) == kStopped) break;
        std::printf("sending close status\n");
        SendStatus(command.autostart ? "STMf" : "STMt");
        break;
    case 't': SendStatus("STMt"); break;
    case 'f': std::printf("Flush\n"); break;
    default: AppLog::WriteToLog("Unknown stream packet command: %s\n", true, letter); break;
    }
}

void QuendrelPlayer::HandleUnpause() {
    std::printf("Play\n");
    const State found = MoveState(kRunning, kPlaying);
    if (found == kPlaying) return;
    if (found == kStopped) {
        ConnectToStream();
        // A Disconnect meanwhile keeps the player stopped.
        if (MoveState(kRunning, kPlaying) == kStopped) return;
    }
    m_audio.Resume();
}

void QuendrelPlayer::Pause() {
    std::printf("Pause\n");
    if (MoveState(Only(kPlaying), kPaused) != kPlaying) return;
    m_audio.Pause();
    SendStatus("STMp");
}

void QuendrelPlayer::Play() {
    std::printf("Play\n");
    if (MoveState(kRunning, kPlaying) == kStopped) return;  // stopped meanwhile
    m_audio.Resume();
}

void QuendrelPlayer::Stop() {
    std::printf("Stop\n");
    (void)StopPlayback(StopWhen::kWhenRunning);
}

void QuendrelPlayer::Resume() {
    std::printf("Resume\n");
    if (MoveState(kRunning, kPlaying) == kStopped) return;  // stopped meanwhile
    m_audio.Resume();
    SendStatus("STMr");
}

void QuendrelPlayer::ConnectToStream() {
    std::printf("ConnectToStream\n");
    const CascadeString url = CascadeString("http://") + g_serverIP + ":" + g_portWeb + m_streamPath;
    HTTPBufferedStream* opening = nullptr;
    bool wave = false;
    {
        // A new stream supersedes any that was opened and never queued.
        ReleasedStreams superseded;
        {
            std::lock_guard guard(m_lock);
            MoveStateLocked(kAnyState, kOpening);
            m_streams.DropPending(superseded);
            opening = m_streams.AddPending(std::make_unique<HTTPBufferedStream>(this));
            wave = m_format == 'p';
        }
    }
    SendStatus("STMc", opening);
    // Only this thread takes pending streams out, so `opening` lives on
    // through the open; Disconnect cancels it before it stops this thread.
    if (opening->Open(url.c_str(), wave)) {
        SendStatus("STMh", opening);
        MoveState(Only(kOpening), kBuffering);
        return;
    }
    m_server.SendDSCO(3);
    AppLog::WriteToLog("Failed to connect to stream.", true);
}

void QuendrelPlayer::Autostart() {
    std::printf("Autostart\n");
    bool autostart = false;
    uint8_t format = 0;
    State found = kStopped;
    {
        std::lock_guard guard(m_lock);
        found = MoveStateLocked(Only(kPaused), kPlaying);
        autostart = m_autostart;
        format = m_format;
        if (found == kOpening || found == kBuffering) m_buffered = false;
    }
    switch (found) {
    case kStopped: AppLog::WriteToLog("Attempt to autostart while not connected.", true); return;
    case kPlaying: return;
    case kPaused:
        // Resume, its state change made above under the same lock as the check.
        std::printf("Resume\n");
        m_audio.Resume();
        SendStatus("STMr");
        return;
    case kOpening:
    case kBuffering: break;
    }
    if (!QueueFirstOpenStream(autostart, format)) return;
    if (autostart) {
        Play();
        return;
    }
    if (MoveState(kRunning, kBuffering) == kStopped) return;
    if (!WaitUntilBuffered()) return;
    if (!m_audio.IsPaused()) m_audio.Pause();
    SendStatus("STMl");
}

bool QuendrelPlayer::QueueFirstOpenStream(bool autostart, uint8_t format) {
    ReleasedStreams released;
    StreamPtr stream;
    {
        std::lock_guard guard(m_lock);
        stream = m_streams.TakeFirstOpen(released);
        m_holdAfterBuffering = stream && !autostart;
    }
    released.CloseAll();
    if (!stream) return false;
    const char* type = "MP3";
    switch (format) {
    case 'f': type = "FLAC"; break;
    case 'p': type = "WAV"; break;
    case 'w': type = "WMA"; break;
    default: break;
    }
    AppLog::WriteToLog("playing %s\n", true, type);
    if (!m_audio.QueueStream(stream.get(), type, 3)) {
        AppLog::WriteToLog("audio: the %s stream was refused; closing it\n", true, type);
        std::lock_guard guard(m_lock);
        m_holdAfterBuffering = false;
        released.Add(std::move(stream));
        return false;
    }
    std::lock_guard guard(m_lock);
    m_streams.MakeCurrent(std::move(stream), [this](const HTTPBufferedStream* s) { return m_audio.IsStreamQueued(s); },
                          released);
    return true;
}

// Waits until the audio player reports full buffering, looking again every
// 100 ms. False when an error message is set, the player was stopped
// meanwhile, or the stream left the audio player without buffering.
bool QuendrelPlayer::WaitUntilBuffered() {
    std::unique_lock lock(m_lock);
    const HTTPBufferedStream* stream = m_streams.Current();
    while (!m_buffered) {
        if (m_state == kStopped || !GetErrorMessage().IsEmpty() || !m_audio.IsStreamQueued(stream)) return false;
        m_stateChanged.wait_for(lock, std::chrono::milliseconds(kBufferedPollMs));
    }
    return true;
}

// The streams stop filling first so that a read blocked on an empty ring
// returns and the audio player can stop.
QuendrelPlayer::State QuendrelPlayer::StopPlayback(StopWhen when) {
    ReleasedStreams streams;
    State found = kStopped;
    {
        std::lock_guard guard(m_lock);
        found = m_state;
        if (when == StopWhen::kWhenRunning && found == kStopped) return found;
        MoveStateLocked(kAnyState, kStopped);
        m_reporting = false;
        if (m_streams.Current()) std::printf("deleting queued stream\n");
        m_streams.ReleaseAll(streams);
    }
    streams.StopFilling();
    m_audio.Stop();
    return found;
}

void QuendrelPlayer::CancelStreams() {
    std::lock_guard guard(m_lock);
    m_streams.CancelAll();
}

// ---- status ----

bool QuendrelPlayer::SendStatus(const char* code, HTTPBufferedStream* stream) {
    std::lock_guard guard(m_lock);
    return SendStatusLocked(code, stream);
}

bool QuendrelPlayer::SendStatusIn(const char* code, StateSet states) {
    std::lock_guard guard(m_lock);
    if ((states & Only(m_state)) == 0) return false;
    return SendStatusLocked(code, nullptr);
}

bool QuendrelPlayer::SendStatusLocked(const char* code, HTTPBufferedStream* stream) {
    AppLog::WriteToLog("Should be sending status: %s\n", false, code);
    // A stream named by an earlier caller may have been freed since.
    if (!stream) stream = m_streams.Current();
    else if (!m_streams.Owns(stream)) stream = nullptr;
    StatReport::Inputs in;
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
    in.elapsedSeconds = m_clock.ElapsedSeconds(Now());
    const StatusPacket packet = StatReport::Build(in);
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
    std::lock_guard guard(m_lock);
    return m_clock.ElapsedSeconds(Now());
}

const char* QuendrelPlayer::ResultMessage(CascadeAudioPlayer::PlaybackResult result) {
    static constexpr const char* kMessages[] = {
        nullptr,
        nullptr,
        "Unknown Error",
        "Out Of Memory",
        "Unsupported Sample Rate",
        "Unsupported Bit Rate",
        "Unsupported Number Of Channels",
        "Unsupported Polarity",
        "Unsupported Endianness",
        "Unsupported Sample Order",
        "Unknown Audio Type",
        "Codec Failed",
        "Error Reading Stream",
        "No Playback Device Available",
        "Device Failed",
        "Music Playback Unavailable",
        "Unsupported Output Flags",
    };
    const auto code = static_cast<uint32_t>(result);
    return code < std::size(kMessages) ? kMessages[code] : nullptr;
}

bool QuendrelPlayer::CheckResult(const CascadeAudioPlayer::PlaybackResult& result) {
    const char* message = ResultMessage(result);
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
    // The faulting thread may hold the lock: then the state and the streams
    // stay as they are (the process ends anyway).
    if (m_lock.try_lock()) {
        MoveStateLocked(kAnyState, kStopped);  // a reader waiting for buffering gives up
        m_reporting = false;
        m_streams.CancelAll();
        m_lock.unlock();
    }
    // The audio thread cannot wait for its own end; the process exit ends it.
    if (!m_audio.IsAudioThread()) CloseAudioOutput();
    m_server.SendIR(IRCode::kPowerOff);
    m_server.SendBye();
}

// ---- read-ahead stream callbacks ----

void QuendrelPlayer::OnBufferUnderrun() { std::printf("..Buffer underrun: %i\n", int(GetState())); }

void QuendrelPlayer::OnBufferFull() {}

void QuendrelPlayer::OnBufferClosed(void*) {}

void QuendrelPlayer::OnReadComplete() {
    std::printf("Buffer closed\n");
    m_server.SendDSCO(0);
}

// ---- audio player callbacks ----
// A stopped player stays stopped: a callback about a stream that "q" or
// Disconnect already let go of changes nothing and reports nothing.

void QuendrelPlayer::OnAudioDecodeBegin(uint32_t) {
    FaultHook::At(FaultHook::Point::AudioThread);
    AppLog::WriteToLog("Decode Begin", true);
    std::lock_guard guard(m_lock);
    m_decoding = true;
}

void QuendrelPlayer::OnAudioBuffering(uint32_t, unsigned long done, unsigned long total) {
    bool hold = false;
    long long received = 0;
    {
        std::lock_guard guard(m_lock);
        if (done == 0) {
            m_clock.Hold(Now());
            MoveStateLocked(kRunning, kBuffering);
        }
        // Without autostart the player holds here, before playback can begin.
        if (done == total) hold = std::exchange(m_holdAfterBuffering, false);
        else m_buffered = false;
        if (const HTTPBufferedStream* current = m_streams.Current()) received = current->GetWriteCount();
    }
    if (hold) m_audio.Pause();
    if (done == total) {
        // Buffered only once the hold is in place: the reader waiting for it
        // sends "STMl" next, and a "u" after that must find the player paused.
        std::lock_guard guard(m_lock);
        m_buffered = true;
        m_stateChanged.notify_all();
    }
    AppLog::WriteToLog("audio buffering: %lld\t%ld, %ld\n", true, received, long(done), long(total));
}

void QuendrelPlayer::OnAudioPlaybackBegin(uint32_t) {
    AppLog::WriteToLog("Playback Begin", true);
    std::lock_guard guard(m_lock);
    if (MoveStateLocked(kRunning, kPlaying) == kStopped) return;
    m_clock.Begin(Now());
    (void)SendStatusLocked("STMs", nullptr);
    m_reporting = true;
}

void QuendrelPlayer::OnAudioDecodeEnd(uint32_t, CascadeAudioPlayer::PlaybackResult) {
    AppLog::WriteToLog("Decode End", true);
    std::lock_guard guard(m_lock);
    (void)SendStatusIn("STMd", Only(kPlaying));
    m_decoding = false;
}

void QuendrelPlayer::OnAudioPlaybackEnd(uint32_t, CascadeAudioPlayer::PlaybackResult result) {
    AppLog::WriteToLog("Playback Ended", true);
    bool endedByItself = false;
    {
        std::lock_guard guard(m_lock);
        endedByItself = !m_decoding && m_state == kPlaying && !m_streams.HasPending();
    }
    if (endedByItself) {
        AppLog::WriteToLog("Playback Ended - CheckResult", false);
        CheckResult(result);
        AppLog::WriteToLog("Playback Ended - Send STMu", false);
        SendStatus("STMu");
    }
    std::lock_guard guard(m_lock);
    m_clock.Reset();
}

void QuendrelPlayer::OnPlaybackPause() {
    AppLog::WriteToLog("Playback Paused", true);
    std::lock_guard guard(m_lock);
    m_reporting = false;
    m_clock.Hold(Now());
}

void QuendrelPlayer::OnPlaybackResume() {
    AppLog::WriteToLog("Playback Resume", true);
    const bool playing = m_audio.IsPlaying();
    std::lock_guard guard(m_lock);
    if (playing) m_reporting = true;
    m_clock.Run(Now());
}

void QuendrelPlayer::OnPlaybackStop() {
    AppLog::WriteToLog("Playback Stopped\n", true);
    std::lock_guard guard(m_lock);
    m_clock.Reset();
    m_reporting = false;
}
