#pragma once

#include <cstddef>
#include <unordered_map>

// The framework's hash table: keys match byte for byte; storing under an
// existing key replaces the value. The size hint only reserves buckets.
template <typename K, typename V>
class CascadeHashTable {
public:
    explicit CascadeHashTable(std::size_t sizeHint = 8) { m_map.reserve(sizeHint); }

    // True and the value when the key is present.
    bool GetAt(const K& key, V& value) const {
        auto it = m_map.find(key);
        if (it == m_map.end()) return false;
        value = it->second;
        return true;
    }
    const V* Find(const K& key) const {
        auto it = m_map.find(key);
        return it == m_map.end() ? nullptr : &it->second;
    }
    void SetAt(const K& key, const V& value) { m_map.insert_or_assign(key, value); }
    bool RemoveAt(const K& key) { return m_map.erase(key) > 0; }
    void RemoveAllEntries() { m_map.clear(); }
    std::size_t GetCount() const { return m_map.size(); }

    auto begin() const { return m_map.begin(); }
    auto end() const { return m_map.end(); }

private:
    std::unordered_map<K, V> m_map;
};
