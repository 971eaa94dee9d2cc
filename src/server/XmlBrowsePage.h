#pragma once

#include "platform/CascadeString.h"
#include "server/BrowseEntryList.h"
#include "server/SongInfo.h"

#include <tinyxml2.h>

// Reading the server's XML browse pages (browsedb.xml, browsetree.xml) into
// entry lists. Free functions without state; any thread, each on its own
// document. Missing elements leave the record defaults.
namespace XmlBrowsePage {

// Appends one entry per "browse_entry" under "browse" (a SongInfo of type
// "song" where the entry holds a "song") and sets the total count from
// "offsets"/"last" + 1, or to the number of entries the list then holds.
void ParseEntries(const tinyxml2::XMLDocument& document, BrowseEntryList& list);

// Fills `info` from the children of a "song" element.
void ParseSongInfo(const tinyxml2::XMLElement& song, SongInfo& info);

// The folder breadcrumb: the "locator_name" texts of "browse"/"location"
// joined by " / ".
CascadeString ParseLocation(const tinyxml2::XMLDocument& document);

// Appends the entries of the artwork page: while the list holds at most
// `count` entries each entry gets its name, id, type and the cover address
// `base` + "coverart"; later ones are appended with their defaults. Sets the
// total count like ParseEntries.
void ParseArtwork(const tinyxml2::XMLDocument& document, unsigned long count, const CascadeString& base,
                  BrowseEntryList& list);

}  // namespace XmlBrowsePage
