#include "ui/CoverCache.h"

std::string CoverCache::Key(const CascadeString& url, const CascadeDims& box) {
    return std::to_string(box.w) + "x" + std::to_string(box.h) + " " + url.Std();
}

std::shared_ptr<const CoverCache::Cover> CoverCache::Find(const CascadeString& url, const CascadeDims& box) {
    std::lock_guard lock(m_lock);
    const auto found = m_index.find(Key(url, box));
    if (found == m_index.end()) {
        ++m_misses;
        return nullptr;
    }
    ++m_hits;
    m_slots.splice(m_slots.begin(), m_slots, found->second);
    return found->second->cover;
}

void CoverCache::DropLocked(std::list<Slot>::iterator slot) {
    m_bytes -= slot->cover ? slot->cover->pixels.size() : 0;
    m_index.erase(slot->key);
    m_slots.erase(slot);
}

void CoverCache::Store(const CascadeString& url, const CascadeDims& box, std::shared_ptr<const Cover> cover) {
    if (!cover || cover->pixels.size() > m_maxBytes) return;
    std::string key = Key(url, box);
    std::lock_guard lock(m_lock);
    if (const auto found = m_index.find(key); found != m_index.end()) DropLocked(found->second);
    m_bytes += cover->pixels.size();
    m_slots.push_front({key, std::move(cover)});
    m_index[std::move(key)] = m_slots.begin();
    while (m_bytes > m_maxBytes && !m_slots.empty()) DropLocked(std::prev(m_slots.end()));
}

void CoverCache::Clear() {
    std::list<Slot> slots;
    std::lock_guard lock(m_lock);
    slots.swap(m_slots);
    m_index.clear();
    m_bytes = 0;
}

std::size_t CoverCache::GetBytes() const {
    std::lock_guard lock(m_lock);
    return m_bytes;
}

std::size_t CoverCache::GetCount() const {
    std::lock_guard lock(m_lock);
    return m_slots.size();
}

uint64_t CoverCache::GetHits() const {
    std::lock_guard lock(m_lock);
    return m_hits;
}

uint64_t CoverCache::GetMisses() const {
    std::lock_guard lock(m_lock);
    return m_misses;
}
