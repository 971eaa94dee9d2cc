#pragma once

#include "server/SongInfo.h"

#include <string_view>

// How a radio stream's song gets a readable artist and title from the text
// the server (or its web status page) shows for the stream. Free functions
// without state; any thread.
namespace StreamTitle {

// Applies the server's "current_title" of a status reply to the current
// song: a title that is itself an address becomes the last part of its path
// (and the album when the album is unknown); otherwise the album becomes the
// song's old title, albumId "0", and "(Tag) Artist - Title" is split up.
void ApplyCurrentTitle(SongInfo& song, std::string_view currentTitle);

// Applies the current-song text found on the web status page the same way
// (an empty text leaves the url as title).
void ApplyWebTitle(SongInfo& song, std::string_view text);

// Applies the web status page's current song with ApplyWebTitle; a page
// without one leaves the stream named by its url (and says so in the log).
void ApplyWebStatusPage(SongInfo& song, std::string_view page);

// When the title starts with "http://": the album becomes the title when it
// is empty or "N/A", and the title is cut before its first "?" and reduced
// to what follows its last "/".
void CleanUrlTitle(SongInfo& song);

// The text after the "#currentsong\">" marker of the web status page, cut
// before the next "<"; false when the page lacks the marker.
bool FindWebCurrentSong(std::string_view page, std::string_view& text);

}  // namespace StreamTitle
