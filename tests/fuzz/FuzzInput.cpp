#include "FuzzInput.h"

#include "app/base/AppLog.h"

#include <sys/socket.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int*, char***) {
    FuzzInput::Silence();
    return 0;
}

void FuzzInput::Silence() {
    // QUENDREL_FUZZ_LOG=1 keeps the log, to see what a target does with an input.
    if (const char* keep = std::getenv("QUENDREL_FUZZ_LOG"); keep && *keep == '1') return;
    static FILE* const s_null = std::fopen("/dev/null", "w");
    (void)AppLog::OpenLogFile("/dev/null");
    if (s_null) AppLog::SetEchoStream(s_null);
}

std::vector<std::string_view> FuzzInput::Lines(std::string_view text, char separator) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find(separator), text.size());
        lines.push_back(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return lines;
}

void FuzzInput::SendAndShut(int fd, const uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        if (sent <= 0) break;
        data += sent;
        size -= std::size_t(sent);
    }
    ::shutdown(fd, SHUT_WR);
}

namespace {

struct ScratchDirectory {
    ScratchDirectory() {
        // A memory file system makes the settings file's fsync calls cheap.
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = tmp && *tmp ? tmp : std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        pattern += "/quendrel-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data())) path = pattern;
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
    std::string path;
};

}  // namespace

const std::string& FuzzInput::ScratchDir() {
    static const ScratchDirectory s_dir;
    return s_dir.path;
}

std::string FuzzInput::ScratchFile(const char* name, std::string_view bytes) {
    if (ScratchDir().empty()) return {};
    const std::string path = ScratchDir() + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return out ? path : std::string();
}
