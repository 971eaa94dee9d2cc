#pragma once

#include "server/SlimConnection.h"

#include <string_view>

// Reading the player-status reply: the header numbers and the time texts.
// Free functions without state; any thread.
namespace StatusReply {

// Reads "playlist repeat", "playlist shuffle", "playlist_cur_index" and
// "playlist_tracks" from the words after the first into `status` (fields
// that do not appear keep their values) and returns the whole seconds of
// "time" (0 when absent). Nothing else of `status` changes.
unsigned long ReadHeader(std::string_view reply, SlimConnection::PlayerStatus& status);

// "m:ss / m:ss", or "h:mm:ss / h:mm:ss" when either value reaches an hour;
// the elapsed time alone when `total` is 0 (a stream).
CascadeString FormatTimeText(unsigned long elapsed, unsigned long total);

// Copies what the status keeps of the current song (names, ids, texts, url,
// path; not composer, band, content type, file size or tag version) from
// `from` into `to`, then sets the cover path, the times, the progress and the
// time text from `elapsed`.
void CopyCurrentSong(const SongInfo& from, SongInfo& to, unsigned long elapsed);

// `to` with the fields CopyCurrentSong sets put back to their defaults.
void ResetCurrentSong(SongInfo& to);

}  // namespace StatusReply
