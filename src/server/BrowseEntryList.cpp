#include "server/BrowseEntryList.h"

#include "platform/CascadeDecimal.h"
#include "server/CliText.h"

#include <algorithm>

std::size_t BrowseEntryList::AddEntry(std::unique_ptr<BrowseEntry> entry) {
    if (!entry) return m_entries.size();
    m_entries.push_back(std::move(entry));
    return m_entries.size() - 1;
}

std::size_t BrowseEntryList::AlphaInsertEntry(std::unique_ptr<BrowseEntry> entry) {
    if (!entry) return m_entries.size();
    const auto at = std::find_if(m_entries.begin(), m_entries.end(), [&](const auto& other) {
        return other->name.Compare(entry->name.View(), CascadeCase::Insensitive) >= 0;
    });
    const auto placed = m_entries.insert(at, std::move(entry));
    return std::size_t(placed - m_entries.begin());
}

std::unique_ptr<BrowseEntry> BrowseEntryList::RemoveAtIndex(std::size_t index) {
    if (index >= m_entries.size()) return nullptr;
    std::unique_ptr<BrowseEntry> taken = std::move(m_entries[index]);
    m_entries.erase(m_entries.begin() + std::ptrdiff_t(index));
    return taken;
}

BrowseEntry* BrowseEntryList::Item(std::size_t index) const {
    return index < m_entries.size() ? m_entries[index].get() : nullptr;
}

long BrowseEntryList::Contains(const char* id, const char* name, CascadeCase cs) const {
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const BrowseEntry& entry = *m_entries[i];
        if (id && entry.id.Compare(id, cs) != 0) continue;
        if (name && entry.name.Compare(name, cs) != 0) continue;
        return long(i);
    }
    return -1;
}

void BrowseEntryList::ParseEntryList(std::string_view reply) {
    if (reply.empty()) return;
    const bool titles = m_key == "title";
    const std::vector<std::string_view> items = CliText::SplitAt(reply, titles ? " index%3A" : " id%3A");
    // Every answer sets the total, also one that found nothing.
    const std::vector<std::string_view> header = CliText::SplitAt(items.empty() ? reply : items[0], " count%3A");
    m_totalCount = header.size() >= 2 ? static_cast<unsigned long>(CascadeDecimal::ParseCount(header[1])) : 0;
    if (items.empty()) return;
    const std::string nameKey = m_key.Std() + (titles ? std::string() : std::string("%3A"));
    const std::string_view namePrefix = titles ? std::string_view("title%3A") : std::string_view(nameKey);
    m_entries.reserve(m_entries.size() + items.size() - 1);
    for (std::size_t i = 1; i < items.size(); ++i) {
        auto entry = std::make_unique<BrowseEntry>();
        const std::string_view first = CliText::WordAt(items[i], 0);
        const std::string_view second = CliText::WordAt(items[i], 1);
        if (titles) {
            const std::string_view third = CliText::WordAt(items[i], 2);
            if (third.starts_with("id%3A")) entry->id = third.substr(5);
        } else {
            entry->id = first;
        }
        if (second.starts_with(namePrefix)) entry->name = CliText::Decode(second.substr(namePrefix.size()));
        m_entries.push_back(std::move(entry));
    }
}
