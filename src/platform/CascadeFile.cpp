#include "platform/CascadeFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string_view>

namespace {

// fopen modes: r, w or a, then any of "b", "+", "e" (close-on-exec), "x".
bool IsValidMode(std::string_view mode) {
    if (mode.empty() || (mode[0] != 'r' && mode[0] != 'w' && mode[0] != 'a')) return false;
    return mode.size() <= 4 && mode.find_first_not_of("b+ex", 1) == std::string_view::npos;
}

}  // namespace

bool CascadeFile::Open(const char* mode) {
    Close();
    const std::string_view m = mode ? mode : "";
    if (m_name.IsEmpty() || !IsValidMode(m)) {
        std::fprintf(stderr, "file: cannot open \"%s\" with mode \"%.*s\"\n", m_name.c_str(), int(m.size()),
                     m.data());
        return false;
    }
    m_file.reset(std::fopen(m_name.c_str(), mode));
    if (!m_file) {
        std::fprintf(stderr, "file: %s: %s\n", m_name.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

uint64_t CascadeFile::GetFileSize() const {
    if (!m_file) return 0;
    // Pending buffered writes count too.
    std::fflush(m_file.get());
    struct stat info {};
    if (::fstat(fileno(m_file.get()), &info) != 0 || info.st_size < 0) return 0;
    return uint64_t(info.st_size);
}

std::size_t CascadeFile::Read(void* buffer, std::size_t length) {
    return m_file ? std::fread(buffer, 1, length, m_file.get()) : 0;
}

std::size_t CascadeFile::Write(const void* buffer, std::size_t length) {
    return m_file ? std::fwrite(buffer, 1, length, m_file.get()) : 0;
}

bool CascadeFile::Seek(uint64_t position) {
    return m_file && position <= uint64_t(INT64_MAX) && fseeko(m_file.get(), off_t(position), SEEK_SET) == 0;
}

bool CascadeFile::Close() {
    if (!m_file) return true;
    const int result = std::fclose(m_file.release());
    return result == 0;
}
