#pragma once

#include "app/base/AppServices.h"
#include "platform/CascadeAudioPlayer.h"
#include "platform/CascadeFont.h"
#include "platform/CascadeMutex.h"
#include "platform/CascadeString.h"
#include "platform/CascadeTimer.h"
#include "platform/CascadeWindow.h"
#include "player/EPCMAudioPlayer.h"
#include "player/HTTPBufferedStream.h"
#include "player/PlayClock.h"
#include "player/PlayerStreams.h"
#include "player/PlayerView.h"
#include "player/StreamCommand.h"
#include "player/SlimServer.h"
#include "ui/MemoryBitmap.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <condition_variable>
#include <mutex>
#include <vector>

// The network player: the SlimProto client that obeys the server's "strm"
// commands, fetches each stream into a read-ahead ring, plays it through the
// audio player and the PCM device, and reports every state change with STAT
// packets; also the window that shows the server-drawn display.
//
// The state machine: stopped (0), opening a stream (1), buffering or loaded
// (3), playing (4), paused (5). Every change of state goes through MoveState
// under m_lock, which also guards the flags, the last strm command's fields,
// the play clock and the streams; a caller decides under the lock and acts
// (audio player calls, closing streams) after releasing it.
//
// Threads: strm commands (with their synchronous HTTP open) run on the
// SlimProto reader thread, audio callbacks on the audio thread, the status
// timer and keys on the UI thread. m_lock is held while a status is built
// and sent; it is never held while calling the audio player's Pause, Resume
// or Stop (their callbacks take it) nor while a stream opens or closes.
//
// The pause after buffering without autostart happens inside the buffering
// callback on the audio thread, so the player is paused before playback
// could begin and before "STMl" goes out; no separate pause thread.
class QuendrelPlayer : public CascadeWindow,
                       public SlimServer::Client,
                       public HTTPBufferedStream::Client,
                       public CascadeAudioPlayer::Client,
                       public CascadeTimer,
                       public PlayerView {
public:
    using State = PlayerView::State;

    QuendrelPlayer();
    ~QuendrelPlayer() override;

    // UI thread. Connects to g_serverIP (or `host`); false when the first
    // attempt failed (the link keeps retrying in the background).
    bool Connect();
    bool Connect(const char* host);
    // UI thread (or a fatal-signal handler). Says goodbye (IR 0xF700, BYE!)
    // and closes the link. Always true.
    bool Disconnect();

    // Any thread: false when not sent (no link, or no HELO yet).
    bool SendIR(unsigned long code);

    // Builds and sends one STAT with `code`; `stream` null means the current
    // stream. Any thread; takes m_lock. False when not sent.
    bool SendStatus(const char* code, HTTPBufferedStream* stream = nullptr);
    // The steps of the "u", "p" and "q" commands, and of resuming a paused
    // player; Play and Resume leave a stopped player stopped. SlimProto
    // reader thread.
    void Play();
    void Pause();
    void Stop();
    void Resume();
    // The "s" command: open the stream, then queue it. Reader thread.
    void ConnectToStream();
    void Autostart();
    // Turns an audio player result into the message the display shows for
    // 5 s; true when the result is no failure. Any thread.
    virtual bool CheckResult(const CascadeAudioPlayer::PlaybackResult& result);
    // The error message set by CheckResult ("" when none). Any thread.
    CascadeString GetErrorMessage() const;
    // Seconds played of the current track. Any thread.
    unsigned long GetElapsedSeconds() const;
    // Closes the PCM device, then the audio player. UI thread.
    void CloseAudioOutput();
    // The last words of a process hit by a fatal signal, on whatever thread
    // the signal hit: streams cancelled, audio closed (unless this is the
    // audio thread), IR 0xF700 and BYE! sent. Joins no thread it could be
    // running on and does not wait for the player's lock; the link's reader
    // is stopped (at once, the link being shut down).
    void SayGoodbyeOnFatalSignal();

    // The state as last set (lock-free; it may change right after). Any thread.
    State GetState() const { return m_publishedState.load(); }
    // Playing: state 4 with the audio player playing. Any thread.
    bool IsPlaying() const { return GetState() == kPlaying && m_audio.IsPlaying(); }
    bool IsConnected() const { return m_connected.load(); }
    SlimServer& GetServer() { return m_server; }

    // The application's services; the Stop key's CLI command goes to its
    // command queue (without them it runs on the calling thread). UI thread,
    // before the first key.
    void SetAppServices(AppServices* app) { m_app = app; }

    // PlayerView
    uint32_t GetPlayerState() const override { return GetState(); }
    bool IsAudioPlaying() const override { return IsPlaying(); }
    unsigned long GetPlayedSeconds() const override { return GetElapsedSeconds(); }
    bool SendIRCode(unsigned long code) override { return SendIR(code); }
    CascadeWindow& GetDisplayWindow() override { return *this; }
    void ShowDisplay(bool visible) override { SetDisplayVisible(visible); }

    // The application hides the display behind the screen saver and while
    // hidden; set with a redraw.
    void SetDisplayVisible(bool visible);
    bool IsDisplayVisible() const { return m_displayVisible.load(); }

    // CascadeWindow
    // The last display frame in the skin's display colours, or the error
    // message in red for 5 s after it was set. UI thread.
    void OnPaint(CascadeBitmap& target) override;
    // Makes the display bitmap and centres it; starts the status timer (once).
    void OnMaterialize() override;
    // Transport and digit keys become IR codes for the server; Stop goes over
    // the CLI. True when consumed. UI thread.
    bool OnKeyDown(unsigned long key) override;
    // Arrows become IR codes; the focus never leaves the player. UI thread.
    bool OnNavKey(unsigned long key, CascadeWindow*& next) override;
    bool WillAcceptFocus() override { return true; }
    // Paints `length` bytes of a display frame into `bitmap`. Any thread that
    // owns `bitmap`.
    virtual void CreateBitmapFromBuffer(CascadeBitmap& bitmap, const unsigned char* buffer, unsigned long length);
    // The volume last applied from "audg" (0..65535). Any thread.
    unsigned short GetVolume() const { return m_volume.load(); }

    // SlimServer::Client (SlimProto reader thread)
    void OnSlimServerCommand(const char* opcode, unsigned char* data, unsigned long length) override;
    void OnSlimServerConnected() override;
    void OnSlimServerDisconnected() override;

    // HTTPBufferedStream::Client (fill, reading and closing threads)
    void OnBufferUnderrun() override;
    void OnBufferFull() override;
    void OnBufferClosed(void* stream) override;
    void OnReadComplete() override;

    // CascadeAudioPlayer::Client (audio thread; pause/resume/stop on the caller's)
    void OnAudioDecodeBegin(uint32_t id) override;
    void OnAudioBuffering(uint32_t id, unsigned long done, unsigned long total) override;
    void OnAudioPlaybackBegin(uint32_t id) override;
    void OnAudioDecodeEnd(uint32_t id, CascadeAudioPlayer::PlaybackResult result) override;
    void OnAudioPlaybackEnd(uint32_t id, CascadeAudioPlayer::PlaybackResult result) override;
    void OnPlaybackPause() override;
    void OnPlaybackResume() override;
    void OnPlaybackStop() override;

    // CascadeTimer (UI thread): the periodic "STMt".
    void OnTimer(unsigned long id) override;

private:
    using StreamPtr = std::unique_ptr<HTTPBufferedStream>;
    // A set of states, one bit per state value.
    using StateSet = uint32_t;
    static constexpr StateSet Only(State state) { return StateSet(1) << state; }
    static constexpr StateSet kAnyState =
        (1u << kStopped) | (1u << kOpening) | (1u << kBuffering) | (1u << kPlaying) | (1u << kPaused);
    static constexpr StateSet kRunning = kAnyState & ~(1u << kStopped);

    // The only way the state changes. Under m_lock: when the state is in
    // `from`, it becomes `to`. Returns the state found, so the caller knows
    // whether it moved. Any thread; takes m_lock (callers may hold it).
    State MoveState(StateSet from, State to);
    State MoveStateLocked(StateSet from, State to);

    // The text CheckResult shows for an audio player result; null for the
    // results that are no failure (0, 1 and 17 on).
    static const char* ResultMessage(CascadeAudioPlayer::PlaybackResult result);
    void HandleStrm(const unsigned char* data, unsigned long length);
    // The display's frames and volume (SlimProto reader thread).
    void HandleGrfe(const unsigned char* data, unsigned long length);
    void HandleAudg(const unsigned char* data, unsigned long length);
    void DrawDisplayDirect();
    void MaterializeDisplay();
    // True (and the message) while an error message is younger than 5 s;
    // clears an older one.
    bool TakeFreshMessage(CascadeString& message);
    void AcknowledgeTransition();
    void HandleUnpause();
    // Takes the first opened pending stream and queues it on the audio
    // player (paused once buffered unless autostart is on); false when none
    // was queued. Reader thread.
    [[nodiscard]] bool QueueFirstOpenStream(bool autostart, uint8_t format);
    [[nodiscard]] bool WaitUntilBuffered();
    // Stops the audio player and frees every stream; the state becomes 0.
    // With kWhenRunning nothing happens in state 0. Returns the state found.
    enum class StopWhen { kAlways, kWhenRunning };
    State StopPlayback(StopWhen when);
    // Sends a status with `code` only while the state is in `states`
    // (checked under the same lock as the send).
    bool SendStatusIn(const char* code, StateSet states);
    bool SendStatusLocked(const char* code, HTTPBufferedStream* stream);
    // Cancels every stream (a blocked open returns) and every stream opened
    // from now until the next Connect.
    void CancelStreams();

    AppServices* m_app = nullptr;       // UI thread
    unsigned long m_statusTimerId = 0;  // UI thread
    CascadeString m_streamPath;         // reader thread

    // The player's state and what moves with it, under m_lock. The state is
    // also published for lock-free readers, written only by MoveStateLocked.
    mutable CascadeMutex m_lock;
    std::condition_variable_any m_stateChanged;  // state or buffered changed
    State m_state = kStopped;
    std::atomic<State> m_publishedState{kStopped};
    uint32_t m_thresholdBytes = 0;  // the last strm command's fields
    uint8_t m_format = 0;
    bool m_autostart = false;
    bool m_holdAfterBuffering = false;  // pause the audio player once buffered
    bool m_buffered = false;            // the audio player finished buffering
    bool m_decoding = false;            // between decode begin and end
    bool m_reporting = false;           // the periodic "STMt" is on
    uint64_t m_lastStatusTime = 0;
    PlayClock m_clock;
    PlayerStreams m_streams;

    // The display: the last frame and its transition letter, shared by the
    // reader thread that stores and draws frames and the UI thread that paints.
    mutable std::mutex m_displayLock;
    std::array<uint8_t, 1280> m_displayBuffer{};
    char m_transition = 'c';
    uint64_t m_lastDrawTime = 0;  // reader thread
    CascadeBitmap m_displayBitmap;  // UI thread
    CascadeRect m_displayRect;      // UI thread, window coordinates
    MemoryBitmap m_screenBitmap;    // reader thread
    CascadeFont m_messageFont{"system", CascadeFont::kNormal, 18};
    std::atomic<unsigned short> m_volume{65535};

    // The error message and when it was set (the display shows it for 5 s).
    mutable std::mutex m_messageLock;
    CascadeString m_errorMessage;
    uint64_t m_messageTime = 0;

    // The device outlives the audio player that writes into it.
    EPCMAudioPlayer m_pcm;
    CascadeAudioPlayer m_audio;
    std::atomic<bool> m_connected{false};
    bool m_registered = false;  // UI thread: registered with the server object
    std::atomic<bool> m_displayVisible{true};
    SlimServer m_server;
};
