#include "radio/AtomicFile.h"

#include "app/base/AppLog.h"
#include "platform/CascadeFileDescriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace AtomicFile {

namespace {

bool WriteAll(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t n = ::write(fd, content.data(), content.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        content.remove_prefix(std::size_t(n));
    }
    return true;
}

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool Fail(const std::string& path, const std::string& temporary, const char* step) {
    // Shown without -debug too: what the user saved is lost.
    AppLog::WriteToLog("radio: cannot save %s (%s): %s\n", true, path.c_str(), step, std::strerror(errno));
    ::unlink(temporary.c_str());
    return false;
}

}  // namespace

bool Write(const std::string& path, std::string_view content) {
    const std::string temporary = path + ".tmp";
    CascadeFileDescriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!fd.IsValid()) return Fail(path, temporary, "create");
    if (!WriteAll(fd.Get(), content)) return Fail(path, temporary, "write");
    if (::fsync(fd.Get()) != 0) return Fail(path, temporary, "flush");
    fd.Reset();
    if (::rename(temporary.c_str(), path.c_str()) != 0) return Fail(path, temporary, "rename");
    // The rename itself reaches the disk with the directory.
    CascadeFileDescriptor dir(::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.IsValid()) ::fsync(dir.Get());
    return true;
}

bool Read(const std::string& path, std::string& content, int& error) {
    content.clear();
    error = 0;
    CascadeFileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.IsValid()) {
        error = errno;
        return false;
    }
    std::array<char, 65536> buffer{};
    for (;;) {
        const ssize_t n = ::read(fd.Get(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = errno;
            content.clear();
            return false;
        }
        if (n == 0) return true;
        content.append(buffer.data(), std::size_t(n));
    }
}

}  // namespace AtomicFile
