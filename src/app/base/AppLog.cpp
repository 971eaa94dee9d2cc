#include "app/base/AppLog.h"

#include "platform/CascadeTime.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

namespace {

struct FileCloser {
    void operator()(FILE* f) const {
        if (f) std::fclose(f);
    }
};

// The log's targets. The log is the process's one diagnostic channel and is
// needed before and after the application object lives, so it sits here.
struct LogState {
    std::timed_mutex mutex;  // guards the two targets, not the formatting
    std::unique_ptr<FILE, FileCloser> file;
    FILE* echo = stdout;
    std::atomic<bool> fatal{false};
};

// How long a log call in fatal mode waits for the lock before it writes
// without it.
constexpr auto kFatalLockWait = std::chrono::milliseconds(100);

LogState& State() {
    static LogState state;
    return state;
}

bool EndsWithNewline(const char* format) {
    const std::size_t n = format ? std::strlen(format) : 0;
    return n > 0 && format[n - 1] == '\n';
}

void WriteWhole(FILE* out, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), out);
    std::fflush(out);
}

// Past the stream's buffer and lock, straight to its descriptor.
void WriteRaw(FILE* out, std::string_view text) {
    const int fd = out ? fileno(out) : -1;
    while (fd >= 0 && !text.empty()) {
        const ssize_t n = write(fd, text.data(), text.size());
        if (n <= 0) return;
        text.remove_prefix(std::size_t(n));
    }
}

}  // namespace

void AppLog::WriteToLog(const char* format, bool echo, ...) {
    va_list args;
    va_start(args, echo);
    WriteToLogV(format, echo, args);
    va_end(args);
}

void AppLog::WriteToLogV(const char* format, bool echo, va_list args) {
    if (!format) return;
    const unsigned long stamp = static_cast<unsigned long>(CascadeTime::GetUptimeMilliseconds() / 100);
    std::vector<char> buffer(kMaxMessage, '\0');
    std::vsnprintf(buffer.data(), buffer.size(), format, args);  // cuts, never overruns
    std::string text(buffer.data());
    const bool addNewline = !EndsWithNewline(format);

    LogState& state = State();
    std::unique_lock lock(state.mutex, std::defer_lock);
    const bool locked = state.fatal ? lock.try_lock_for(kFatalLockWait) : (lock.lock(), true);
    auto write = locked ? WriteWhole : WriteRaw;
    if (state.file) {
        char prefix[32];
        std::snprintf(prefix, sizeof prefix, "%06ld:  ", static_cast<long>(stamp));
        std::string line = prefix + text;
        if (addNewline) line += '\n';
        write(state.file.get(), line);
    }
    if (echo) {
        if (addNewline) text += '\n';
        write(state.echo, text);
    }
}

bool AppLog::OpenLogFile(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f) {
        WriteToLog("log: cannot open %s (%s); logging to standard output\n", true, path.c_str(),
                   std::strerror(errno));
        return false;
    }
    LogState& state = State();
    std::lock_guard lock(state.mutex);
    state.file.reset(f);
    return true;
}

void AppLog::CloseLogFile() {
    LogState& state = State();
    std::lock_guard lock(state.mutex);
    state.file.reset();
}

bool AppLog::IsLoggingToFile() {
    LogState& state = State();
    std::lock_guard lock(state.mutex);
    return state.file != nullptr;
}

void AppLog::SetEchoStream(FILE* stream) {
    LogState& state = State();
    std::lock_guard lock(state.mutex);
    state.echo = stream ? stream : stdout;
}

void AppLog::SetFatalMode(bool on) { State().fatal = on; }
