#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "platform/CascadeString.h"

// A file opened by name with fopen-style modes. Closes itself when it dies.
// Threads: one thread at a time.
class CascadeFile {
public:
    CascadeFile() = default;
    CascadeFile(const CascadeFile&) = delete;
    CascadeFile& operator=(const CascadeFile&) = delete;
    CascadeFile(CascadeFile&&) = default;
    CascadeFile& operator=(CascadeFile&&) = default;
    ~CascadeFile() = default;

    // Names the file the next Open opens.
    void SetName(const char* path) { m_name = path; }
    const CascadeString& GetName() const { return m_name; }

    // Opens the named file with an fopen mode ("r", "w", "a", "r+", "wb" ...).
    // Closes a previously open file first. False with a log line when there is
    // no name, the mode is not one of those, or the system refuses.
    [[nodiscard]] bool Open(const char* mode);
    bool IsOpen() const { return m_file != nullptr; }

    // Size of the open file in bytes; 0 when not open or unknown.
    uint64_t GetFileSize() const;

    // Reads up to `length` bytes; returns the count, 0 at the end or on error.
    std::size_t Read(void* buffer, std::size_t length);
    // Writes `length` bytes; returns the count written (less on error).
    std::size_t Write(const void* buffer, std::size_t length);
    // Moves the read/write position from the start; false when that fails.
    [[nodiscard]] bool Seek(uint64_t position);

    // Flushes and closes; false when the final flush failed. Harmless when not open.
    bool Close();

private:
    struct FileClose {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    CascadeString m_name;
    std::unique_ptr<std::FILE, FileClose> m_file;
};
