#pragma once

#include "server/BrowseEntry.h"

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

// An owning list of entries plus the server's total count of matching items
// (for paging). Filled by one query at a time on the thread that runs it; no
// other thread may touch it meanwhile. Carries no lock.
class BrowseEntryList {
public:
    BrowseEntryList() = default;
    BrowseEntryList(const BrowseEntryList&) = delete;
    BrowseEntryList& operator=(const BrowseEntryList&) = delete;
    BrowseEntryList(BrowseEntryList&&) = default;
    BrowseEntryList& operator=(BrowseEntryList&&) = default;
    virtual ~BrowseEntryList() = default;

    // Takes ownership and appends; returns the new entry's index. A null
    // entry is not added and returns the count.
    std::size_t AddEntry(std::unique_ptr<BrowseEntry> entry);
    // Takes ownership and inserts before the first entry whose name compares
    // equal or greater ignoring case (so equal names put the newest first);
    // appends when there is none. Returns where it went.
    std::size_t AlphaInsertEntry(std::unique_ptr<BrowseEntry> entry);
    // Takes the entry out and hands it to the caller; null when `index` is
    // not below the count.
    std::unique_ptr<BrowseEntry> RemoveAtIndex(std::size_t index);
    // Deletes every entry; the total count is kept.
    void Clear() { m_entries.clear(); }

    // The entry (owned by the list), or null past the end.
    BrowseEntry* Item(std::size_t index) const;
    std::size_t GetNumEntries() const { return m_entries.size(); }
    // Index of the first entry whose id (when `id` is not null) and name
    // (when `name` is not null) are equal under `cs`; -1 when none.
    long Contains(const char* id, const char* name, CascadeCase cs) const;

    unsigned long GetTotalCount() const { return m_totalCount; }
    virtual void SetTotalCount(unsigned long count) { m_totalCount = count; }

    // The reply field carrying an item's name ("genre", "artist", "album",
    // "playlist"; "title" selects the song-title layout). Set before parsing.
    void SetKey(const CascadeString& key) { m_key = key; }
    const CascadeString& GetKey() const { return m_key; }

    // Appends the items of a CLI list reply and takes its "count" as the
    // total count. A reply without items changes nothing; never fails.
    virtual void ParseEntryList(std::string_view reply);

private:
    std::vector<std::unique_ptr<BrowseEntry>> m_entries;
    unsigned long m_totalCount = 0;
    CascadeString m_key;
};
