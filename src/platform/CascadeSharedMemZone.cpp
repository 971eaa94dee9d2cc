#include "platform/CascadeSharedMemZone.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

constexpr std::size_t kMaxNameLength = 200;

bool IsValidName(std::string_view name) {
    return !name.empty() && name.size() <= kMaxNameLength &&
           name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._-") ==
               std::string_view::npos &&
           name != "." && name != "..";
}

}  // namespace

bool CascadeSharedMemZone::Open(const char* name, std::size_t size, bool create) {
    Close();
    const std::string_view n = name ? name : "";
    if (!IsValidName(n) || (create && size == 0)) {
        std::fprintf(stderr, "shm: cannot open zone \"%.*s\" of %zu bytes\n", int(n.size()), n.data(), size);
        return false;
    }
    const std::string path = "/" + std::string(n);
    const int fd = ::shm_open(path.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0600);
    if (fd < 0) {
        std::fprintf(stderr, "shm: %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0;
    const std::size_t existing = ok ? std::size_t(info.st_size) : 0;
    if (ok && create && existing != size) ok = ::ftruncate(fd, off_t(size)) == 0;
    if (ok && !create) {
        if (size == 0) size = existing;
        ok = size > 0 && size <= existing;
    }
    if (!ok) {
        std::fprintf(stderr, "shm: %s: cannot provide %zu bytes (zone has %zu)\n", path.c_str(), size, existing);
        ::close(fd);
        if (create) ::shm_unlink(path.c_str());
        return false;
    }
    m_name = path;
    m_fd = fd;
    m_size = size;
    m_owner = create;
    return true;
}

void* CascadeSharedMemZone::MapLock() {
    if (m_fd < 0) {
        std::fprintf(stderr, "shm: map of a zone that is not open\n");
        return nullptr;
    }
    if (!m_map) {
        void* address = ::mmap(nullptr, m_size, PROT_READ | PROT_WRITE, MAP_SHARED, m_fd, 0);
        if (address == MAP_FAILED) {
            std::fprintf(stderr, "shm: %s: cannot map: %s\n", m_name.c_str(), std::strerror(errno));
            return nullptr;
        }
        m_map = address;
    }
    ++m_lockCount;
    return m_map;
}

void CascadeSharedMemZone::Unlock() {
    if (m_lockCount == 0) return;
    if (--m_lockCount == 0) {
        ::munmap(m_map, m_size);
        m_map = nullptr;
    }
}

void CascadeSharedMemZone::Close() {
    if (m_map) ::munmap(m_map, m_size);
    m_map = nullptr;
    m_lockCount = 0;
    if (m_fd >= 0) ::close(m_fd);
    if (m_owner) ::shm_unlink(m_name.c_str());
    m_fd = -1;
    m_size = 0;
    m_owner = false;
    m_name.clear();
}
