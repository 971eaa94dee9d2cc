#pragma once

#include "platform/CascadeDims.h"
#include "platform/CascadeString.h"

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

// Decoded covers by address and the size they were decoded for, so a cover
// seen before is shown again without asking the server. The least recently
// used covers go first once the pixels held pass the byte bound.
//
// The bound: a grid cover is decoded at most 135 x 135 (small grid) or
// 220 x 220 (large grid) at 4 bytes a pixel, 71 KB or 194 KB. 16 MiB keeps
// about 230 small or 85 large covers: some ten pages of either grid, enough
// to page back and forth around where the user is, while staying a small
// part of a set-top box's memory. Further pages are fetched again.
//
// Threads: any; every call takes the cache's lock, never held across a
// fetch or a decode.
class CoverCache {
public:
    static constexpr std::size_t kDefaultBytes = std::size_t(16) << 20;

    // A decoded cover: 32-bit pixels, alpha first, rows of size.w.
    struct Cover {
        CascadeDims size;
        std::vector<uint8_t> pixels;
    };

    explicit CoverCache(std::size_t maxBytes = kDefaultBytes) : m_maxBytes(maxBytes) {}
    CoverCache(const CoverCache&) = delete;
    CoverCache& operator=(const CoverCache&) = delete;

    // The cover stored for `url` decoded into `box`, now the most recently
    // used; null when there is none.
    std::shared_ptr<const Cover> Find(const CascadeString& url, const CascadeDims& box);
    // Stores a cover (replacing one under the same key) and drops the least
    // recently used ones past the bound. A cover larger than the bound is
    // not kept.
    void Store(const CascadeString& url, const CascadeDims& box, std::shared_ptr<const Cover> cover);
    void Clear();

    std::size_t GetBytes() const;
    std::size_t GetCount() const;
    std::size_t GetMaxBytes() const { return m_maxBytes; }
    // Lookups that found a cover, and those that did not.
    uint64_t GetHits() const;
    uint64_t GetMisses() const;

private:
    struct Slot {
        std::string key;
        std::shared_ptr<const Cover> cover;
    };
    static std::string Key(const CascadeString& url, const CascadeDims& box);
    void DropLocked(std::list<Slot>::iterator slot);

    const std::size_t m_maxBytes;
    mutable std::mutex m_lock;  // everything below
    std::list<Slot> m_slots;    // most recently used first
    std::unordered_map<std::string, std::list<Slot>::iterator> m_index;
    std::size_t m_bytes = 0;
    uint64_t m_hits = 0, m_misses = 0;
};
