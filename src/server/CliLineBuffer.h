#pragma once

#include <cstddef>
#include <string>

// Joins the bytes of successive receives into whole lines, so a line split
// over two receives is handled once, whole. A value type for one reader
// thread.
class CliLineBuffer {
public:
    static constexpr std::size_t kMaxLine = 65536;

    // Adds received bytes. A partial line growing past kMaxLine is dropped
    // (logged), and reading starts again at the next line feed.
    void Append(const char* bytes, std::size_t length);
    // The next complete line without its line feed (and without a carriage
    // return before it); false when no complete line is waiting. Empty lines
    // are skipped.
    [[nodiscard]] bool NextLine(std::string& line);
    // Forgets any partial line (after a reconnect).
    void Reset();

private:
    std::string m_pending;
    std::size_t m_consumed = 0;
    bool m_skipping = false;   // dropping the rest of an over-long line
};
