#pragma once

#include <unistd.h>

#include <utility>

// Owns one operating-system descriptor (a socket or a file) and closes it
// when it goes. Move-only. For code that talks to the OS directly (discovery,
// the hardware address lookup, the ECP socket).
class CascadeFileDescriptor {
public:
    CascadeFileDescriptor() = default;
    explicit CascadeFileDescriptor(int fd) : m_fd(fd) {}
    CascadeFileDescriptor(const CascadeFileDescriptor&) = delete;
    CascadeFileDescriptor& operator=(const CascadeFileDescriptor&) = delete;
    CascadeFileDescriptor(CascadeFileDescriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    CascadeFileDescriptor& operator=(CascadeFileDescriptor&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.m_fd, -1));
        return *this;
    }
    ~CascadeFileDescriptor() { Reset(); }

    int Get() const { return m_fd; }
    bool IsValid() const { return m_fd >= 0; }
    void Reset(int fd = -1) {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd = -1;
};
