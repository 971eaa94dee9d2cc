#pragma once

#include <cstddef>
#include <string>

// A named block of memory that other objects (and processes) can open by the
// same name. The creator removes the name on Close; the memory itself lives
// until the last user has closed it.
// Threads: one thread at a time.
class CascadeSharedMemZone {
public:
    CascadeSharedMemZone() = default;
    CascadeSharedMemZone(const CascadeSharedMemZone&) = delete;
    CascadeSharedMemZone& operator=(const CascadeSharedMemZone&) = delete;
    ~CascadeSharedMemZone() { Close(); }

    // Opens zone `name` (letters, digits and "._-", at most 200 bytes). With
    // `create` the zone is made (or an old one of that name taken over) with
    // `size` bytes, zero-filled when new, and this object owns the name. Without
    // `create` an existing zone is opened; `size` 0 means its whole size, a
    // size beyond it fails. False with a log line on failure. Closes any
    // previous zone first.
    [[nodiscard]] bool Open(const char* name, std::size_t size, bool create);

    // Maps the zone and returns its first byte, or null (logged) when not
    // open or the mapping failed. Nested calls return the same address; it
    // stays valid until the matching number of Unlock calls.
    void* MapLock();
    void Unlock();

    // Unmaps, closes and, when this object created the zone, removes its name.
    void Close();

    bool IsOpen() const { return m_fd >= 0; }
    std::size_t GetSize() const { return m_size; }

private:
    std::string m_name;  // with the leading "/" shm_open wants
    int m_fd = -1;
    std::size_t m_size = 0;
    bool m_owner = false;
    void* m_map = nullptr;
    unsigned m_lockCount = 0;
};
