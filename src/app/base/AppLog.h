#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

// The application's log. Without a log file only echoed messages appear, on
// standard output without a time stamp; with a log file ("-debug") every
// message goes to the file as "%06ld:  %s" (tenths of a second of uptime) and
// echoed ones also to standard output. A newline is added to each output
// unless the format already ends with one. Messages are cut at 65,535 bytes.
//
// Any thread may log; a call writes each output with one write and flushes,
// so lines from two threads never mix within a line (in fatal mode, only
// while the lock can be had).
class AppLog {
public:
    static constexpr std::size_t kMaxMessage = 65535;

    static void WriteToLog(const char* format, bool echo, ...) __attribute__((format(printf, 1, 3)));
    static void WriteToLogV(const char* format, bool echo, va_list args);

    // Makes `path` the log file, truncated. When it cannot be opened the log
    // stays on standard output, a line says why, and false is returned.
    [[nodiscard]] static bool OpenLogFile(const std::string& path);
    // Back to standard output only (closes the file).
    static void CloseLogFile();
    static bool IsLoggingToFile();

    // Where echoed text goes; standard output unless a test redirects it.
    static void SetEchoStream(FILE* stream);

    // The fatal-signal path turns this on: a call that finds the log taken
    // (perhaps by the very thread the signal hit) waits a moment at most,
    // then writes its text straight to the file's and standard output's
    // descriptors without the lock. Any thread.
    static void SetFatalMode(bool on);
};
