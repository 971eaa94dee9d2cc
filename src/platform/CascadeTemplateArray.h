#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

// The framework's typed array, thin over std::vector. It never owns what its
// pointer elements point to; owners delete those themselves.
template <typename T>
class CascadeTemplateArray {
public:
    std::size_t GetNumItems() const { return m_items.size(); }
    bool IsEmpty() const { return m_items.empty(); }

    void Append(const T& item) { m_items.push_back(item); }
    // Inserts before `index`; an index past the end appends.
    void Insert(std::size_t index, const T& item) {
        m_items.insert(m_items.begin() + std::ptrdiff_t(std::min(index, m_items.size())), item);
    }
    // Removes the first element equal to `item`; false when there is none.
    bool Remove(const T& item) {
        auto it = std::find(m_items.begin(), m_items.end(), item);
        if (it == m_items.end()) return false;
        m_items.erase(it);
        return true;
    }
    // Removes the element at `index`; an index not below the count does nothing.
    void RemoveAtIndex(std::size_t index) {
        if (index < m_items.size()) m_items.erase(m_items.begin() + std::ptrdiff_t(index));
    }
    // The element at `index`, or a value-initialised T (null for pointers).
    T FetchItem(std::size_t index) const { return index < m_items.size() ? m_items[index] : T{}; }
    // Sets the count: grows with value-initialised elements or cuts the tail.
    void AdjustAllocation(std::size_t count) { m_items.resize(count); }
    void RemoveAll() { m_items.clear(); }

    T& operator[](std::size_t index) { return m_items[index]; }
    const T& operator[](std::size_t index) const { return m_items[index]; }
    auto begin() { return m_items.begin(); }
    auto end() { return m_items.end(); }
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

private:
    std::vector<T> m_items;
};
