#pragma once

#include "player/HTTPBufferedStream.h"

#include <functional>
#include <memory>
#include <vector>

// Streams the player has let go of. Closing a stream joins its fill thread,
// so they are closed when this list goes (or on CloseAll), after the caller
// released the lock it took them under. Owning thread only.
class ReleasedStreams {
public:
    using StreamPtr = std::unique_ptr<HTTPBufferedStream>;

    ReleasedStreams() = default;
    ReleasedStreams(const ReleasedStreams&) = delete;
    ReleasedStreams& operator=(const ReleasedStreams&) = delete;
    ~ReleasedStreams() { CloseAll(); }

    void Add(StreamPtr stream);
    // Ends filling of every stream, so that a read blocked on an empty ring
    // returns (the audio player can then stop).
    void StopFilling();
    void CloseAll();
    std::size_t Count() const { return m_streams.size(); }

private:
    std::vector<StreamPtr> m_streams;
};

// The streams the player owns: pending ones (created for a "s" command and
// not yet queued on the audio player; the one being opened is the last),
// the current one (queued on the audio player) and retired ones (replaced
// while the audio player could still read them). Streams leave through a
// ReleasedStreams list. Once CancelAll was called every stream, and every
// stream added until AllowOpening, is cancelled, so an open blocked on
// another thread returns at once. Not thread-safe: the player keeps it under
// its lock.
class PlayerStreams {
public:
    using StreamPtr = std::unique_ptr<HTTPBufferedStream>;
    // True while the audio player may still read the stream.
    using StillRead = std::function<bool(const HTTPBufferedStream*)>;

    // Appends `stream` to the pending ones; returns it (owned here).
    HTTPBufferedStream* AddPending(StreamPtr stream);
    // Every pending stream leaves into `released`.
    void DropPending(ReleasedStreams& released);
    // Takes out the first pending stream that opened; the pending streams
    // before it never opened and leave into `released`. Null when none opened.
    StreamPtr TakeFirstOpen(ReleasedStreams& released);
    // `stream` becomes the current one; the one it replaces is retired, and
    // every retired stream the audio player no longer reads leaves.
    void MakeCurrent(StreamPtr stream, const StillRead& stillRead, ReleasedStreams& released);
    // Every stream leaves (current, retired and pending).
    void ReleaseAll(ReleasedStreams& released);

    // Cancels every stream now and every one added until AllowOpening.
    void CancelAll();
    void AllowOpening() { m_cancelled = false; }

    HTTPBufferedStream* Current() const { return m_current.get(); }
    bool HasPending() const { return !m_pending.empty(); }
    std::size_t RetiredCount() const { return m_retired.size(); }
    // True when `stream` is one of these (a caller holding a pointer from
    // earlier learns whether it is still alive).
    bool Owns(const HTTPBufferedStream* stream) const;

private:
    StreamPtr m_current;
    std::vector<StreamPtr> m_pending;
    std::vector<StreamPtr> m_retired;
    bool m_cancelled = false;
};
