#pragma once

#include "platform/CascadeString.h"

// One browsable item: a genre, artist, album, playlist, folder, station or
// song. A plain record; the thread that fills it owns it until it is handed
// to a list (BrowseEntryList), which then owns it.
class BrowseEntry {
public:
    BrowseEntry() = default;
    BrowseEntry(const BrowseEntry&) = default;
    BrowseEntry& operator=(const BrowseEntry&) = default;
    virtual ~BrowseEntry() = default;

    CascadeString name;       // display text
    CascadeString id = "0";   // the server's id as decimal text; a folder's hierarchy key
    CascadeString type;       // kind of item where the source gives one ("song", ...)
    CascadeString url;        // address belonging to the item
};
