#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/CascadeString.h"

// A source of bytes read from the front: HTTP bodies, files, buffers. Audio
// decoding and the text helpers read through this interface.
//
// Threads: an instance is used by one thread at a time unless a derived class
// says otherwise.
class CascadeStream {
public:
    static constexpr std::size_t kMaxLineLength = 64 * 1024;

    CascadeStream() = default;
    CascadeStream(const CascadeStream&) = delete;
    CascadeStream& operator=(const CascadeStream&) = delete;
    virtual ~CascadeStream() = default;

    // Copies up to `length` bytes into `buffer` and returns how many; 0 at the
    // end of the stream or on an error.
    virtual long ReadBytes(void* buffer, std::size_t length) = 0;

    // Reads up to and including the next "\n" and stores the line without it
    // (and without a "\r" before it). A line longer than kMaxLineLength comes
    // back in pieces of that length with one log line. False when the stream
    // had no byte left.
    [[nodiscard]] bool GetLine(CascadeString& line);

    // Total size in bytes, 0 when unknown.
    virtual uint64_t GetSize() const { return 0; }
    // Offset of the next byte ReadBytes returns.
    virtual uint64_t GetPosition() const { return 0; }
    // Moves the read position; false when the stream cannot seek (the
    // position is then unchanged).
    [[nodiscard]] virtual bool SeekToPosition(uint64_t /*position*/) { return false; }
    // The media type the source announced ("audio/mpeg"), or "".
    virtual CascadeString GetContentType() const { return {}; }
    // True once reading ended because the source failed (a transfer cut
    // short, a stall) rather than because the data was all read. Any thread.
    virtual bool HasFailed() const { return false; }
};
