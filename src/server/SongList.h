#pragma once

#include "server/BrowseEntryList.h"
#include "server/SongInfo.h"

#include <string_view>

// A BrowseEntryList whose entries are all SongInfo records. Same ownership
// and threading as its base.
class SongList : public BrowseEntryList {
public:
    // Parses as songs (never as plain entries) without marking the current one.
    void ParseEntryList(std::string_view reply) override { ParseEntryList(reply, false); }
    // Appends the songs of a status, playlist, titles or songinfo reply. With
    // `markCurrent`, the current song of a status reply that is a remote
    // stream takes artist and title from the reply's "current_title". A
    // stream without a title gets its url as title. Never fails.
    virtual void ParseEntryList(std::string_view reply, bool markCurrent);

    // The song (owned by the list), or null past the end or for an entry
    // that is not a song.
    SongInfo* Item(std::size_t index) const { return dynamic_cast<SongInfo*>(BrowseEntryList::Item(index)); }

    // Whether the first word of an item is a playlist index or a song id.
    enum class ItemKind { Song, PlaylistItem };
    // Fills `song` from one item of a reply (its words cut at single spaces);
    // fields without a word keep what `song` held.
    static void ParseSongInfo(std::string_view item, SongInfo& song, ItemKind kind);
};
