// Playback control, the player status and the current playlist.
#include "server/SlimCLIConnection.h"

#include "app/base/AppLog.h"
#include "platform/CascadeThread.h"
#include "server/CliText.h"
#include "server/EString.h"
#include "server/EUtils.h"
#include "server/StatusReply.h"
#include "server/StreamTitle.h"

namespace {

constexpr const char* kStatusTags = "galdtypesru";
constexpr const char* kTrackTags = "gacbhldtyovrfu";
constexpr unsigned long kPlayAfterJumpMs = 100;

}  // namespace

void SlimCLIConnection::Stop() { RequestWithPlayer("mode stop\n"); }

// The server takes "+2.5" and "-2.5" as steps from the current volume.
void SlimCLIConnection::ChangeVolume(double step) { RequestWithPlayer("mixer volume %+g\n", step); }

void SlimCLIConnection::ToggleMuting() { RequestWithPlayer("mixer muting\n"); }

void SlimCLIConnection::SetRate(signed char rate) { RequestWithPlayer("rate %i\n", int(rate)); }

void SlimCLIConnection::Rewind(unsigned long seconds) { RequestWithPlayer("time -%lu\n", seconds); }

void SlimCLIConnection::FastForward(unsigned long seconds) {
    if (GetCurrentSongTime() + seconds < GetCurrentSongDuration())
        RequestWithPlayer("time +%lu\n", seconds);
    else
        JumpToNextSong();
}

void SlimCLIConnection::JumpToSong(const char* index) {
    RequestWithPlayer("playlist index %s\n", index ? index : "");
    // The server needs a moment after the jump before it takes "play".
    CascadeThread::Sleep(kPlayAfterJumpMs);
    RequestWithPlayer("mode play\n");
}

void SlimCLIConnection::JumpToSongIndex(unsigned long index) {
    const std::string text = std::to_string(index);
    JumpToSong(text.c_str());
}

uint8_t SlimCLIConnection::GetShuffle() {
    PlayerStatus status;
    GetPlayerStatus(status, 0);
    return status.shuffle;
}

uint8_t SlimCLIConnection::GetRepeat() {
    PlayerStatus status;
    GetPlayerStatus(status, 0);
    return status.repeat;
}

uint8_t SlimCLIConnection::ToggleShuffle() {
    RequestWithPlayer("playlist shuffle\n");
    return GetShuffle();
}

uint8_t SlimCLIConnection::SetShuffle(uint8_t mode) {
    RequestWithPlayer("playlist shuffle %i\n", int(mode));
    return GetShuffle();
}

uint8_t SlimCLIConnection::ToggleRepeat() {
    RequestWithPlayer("playlist repeat\n");
    return GetRepeat();
}

uint8_t SlimCLIConnection::SetRepeat(uint8_t mode) {
    RequestWithPlayer("playlist repeat %i\n", int(mode));
    return GetRepeat();
}

void SlimCLIConnection::ApplyWebStatusTitle(SongInfo& song) {
    CascadeString page;
    const CascadeString address = WebBase() + "/en/status.html?player=" + m_playerId;
    EUtils::GetHTTPData(address.c_str(), page);
    StreamTitle::ApplyWebStatusPage(song, page.View());
}

void SlimCLIConnection::GetPlayerStatus(PlayerStatus& status, unsigned long count) {
    const std::string reply = Request("%s %s - %lu tags:%s\n", m_playerId.c_str(), "status", count + 1, kStatusTags);
    const unsigned long elapsed = StatusReply::ReadHeader(reply, status);
    status.playlist.Clear();
    status.playlist.ParseEntryList(reply, true);
    if (status.playlist.GetNumEntries() == 0) {
        StatusReply::ResetCurrentSong(status.currentSong);
        return;
    }
    std::unique_ptr<BrowseEntry> first = status.playlist.RemoveAtIndex(0);
    auto* current = dynamic_cast<SongInfo*>(first.get());
    if (!current) return;
    const bool untitled = current->title.IsEmpty() || current->title.StartsWith("http://", CascadeCase::Insensitive);
    if (current->IsRemoteStream() && untitled) ApplyWebStatusTitle(*current);
    StreamTitle::CleanUrlTitle(*current);
    StatusReply::CopyCurrentSong(*current, status.currentSong, elapsed);
}

void SlimCLIConnection::GetCurrentSongInfo(SongInfo& song, PlayerStatus& status) {
    GetPlayerStatus(status, 0);
    StatusReply::CopyCurrentSong(status.currentSong, song, status.currentSong.secondsElapsed);
    song.timeText = status.currentSong.timeText;
    song.coverPath = status.currentSong.coverPath;
}

void SlimCLIConnection::GetCurrentSongInfo(SongInfo& song) {
    PlayerStatus status;
    GetCurrentSongInfo(song, status);
}

CascadeString SlimCLIConnection::GetCurrentSongCoverURL() {
    return WebBase() + "/music/current/cover.jpg?player=" + m_playerId;
}

namespace {

template <typename Read>
auto ReadCurrent(SlimConnection& connection, Read read) {
    SlimConnection::PlayerStatus status;
    connection.GetPlayerStatus(status, 0);
    return read(status.currentSong);
}

}  // namespace

CascadeString SlimCLIConnection::GetCurrentSongTitle() {
    return ReadCurrent(*this, [](const SongInfo& s) { return s.title; });
}
CascadeString SlimCLIConnection::GetCurrentSongArtist() {
    return ReadCurrent(*this, [](const SongInfo& s) { return s.artist; });
}
CascadeString SlimCLIConnection::GetCurrentSongAlbum() {
    return ReadCurrent(*this, [](const SongInfo& s) { return s.album; });
}
CascadeString SlimCLIConnection::GetCurrentSongGenre() {
    return ReadCurrent(*this, [](const SongInfo& s) { return s.genre; });
}
CascadeString SlimCLIConnection::GetCurrentSongYear() {
    return ReadCurrent(*this, [](const SongInfo& s) { return s.year; });
}
unsigned long SlimCLIConnection::GetCurrentSongDuration() {
    return ReadCurrent(*this, [](const SongInfo& s) { return static_cast<unsigned long>(s.secondsTotal); });
}
unsigned long SlimCLIConnection::GetCurrentSongTime() {
    return ReadCurrent(*this, [](const SongInfo& s) { return static_cast<unsigned long>(s.secondsElapsed); });
}

long SlimCLIConnection::GetCurrentPlaylist(unsigned long start, unsigned long count, SongList& list,
                                           PlayerStatus& status, bool markCurrent) {
    GetPlayerStatus(status, 0);
    const unsigned long tracks = static_cast<unsigned long>(std::max(status.trackCount, 0L));
    list.SetTotalCount(tracks);
    if (start >= tracks) return long(tracks);
    count = std::min(count, tracks - start);
    const std::string reply =
        Request("%s %s %lu %lu tags:%s\n", m_playerId.c_str(), "status", start, count, kStatusTags);
    list.ParseEntryList(reply, markCurrent);
    list.SetTotalCount(tracks);
    return long(tracks);
}

long SlimCLIConnection::GetCurrentPlaylist(unsigned long start, unsigned long count, SongList& list,
                                           bool markCurrent) {
    PlayerStatus status;
    return GetCurrentPlaylist(start, count, list, status, markCurrent);
}

void SlimCLIConnection::SendSelection(const char* command, unsigned long genreId, unsigned long artistId,
                                      unsigned long albumId) {
    std::string selection = std::string("playlistcontrol cmd:") + command;
    if (genreId) selection += " genre_id:" + std::to_string(genreId);
    if (artistId) selection += " artist_id:" + std::to_string(artistId);
    if (albumId) selection += " album_id:" + std::to_string(albumId);
    RequestWithPlayer("%s\n", selection.c_str());
}

void SlimCLIConnection::AddToCurrentPlaylist(unsigned long genreId, unsigned long artistId, unsigned long albumId) {
    SendSelection("add", genreId, artistId, albumId);
}

void SlimCLIConnection::InsertInCurrentPlaylist(unsigned long genreId, unsigned long artistId,
                                                unsigned long albumId) {
    SendSelection("insert", genreId, artistId, albumId);
}

void SlimCLIConnection::AddToCurrentPlaylist(unsigned long trackId) {
    RequestWithPlayer("playlistcontrol cmd:add track_id:%lu\n", trackId);
}

void SlimCLIConnection::InsertInCurrentPlaylist(unsigned long trackId) {
    RequestWithPlayer("playlistcontrol cmd:insert track_id:%lu\n", trackId);
}

void SlimCLIConnection::AddPlaylist(const char* playlistId) {
    RequestWithPlayer("playlistcontrol cmd:add playlist_id:%s\n", playlistId ? playlistId : "");
}

void SlimCLIConnection::PlayPlaylist(const char* playlistId) {
    RequestWithPlayer("playlistcontrol cmd:load playlist_id:%s\n", playlistId ? playlistId : "");
}

void SlimCLIConnection::AddPlaylist(unsigned long playlistId) { AddPlaylist(std::to_string(playlistId).c_str()); }

void SlimCLIConnection::PlayPlaylist(unsigned long playlistId) { PlayPlaylist(std::to_string(playlistId).c_str()); }

void SlimCLIConnection::AddToCurrentPlaylist(const char* item) {
    RequestWithPlayer("playlist add %s\n", item ? item : "");
}

void SlimCLIConnection::InsertInCurrentPlaylist(const char* item) {
    RequestWithPlayer("playlist insert %s\n", item ? item : "");
}

void SlimCLIConnection::ReplaceCurrentPlaylist(const char* item) {
    RequestWithPlayer("playlist play %s\n", item ? item : "");
}

void SlimCLIConnection::ReplaceCurrentPlaylist(unsigned long genreId, unsigned long artistId,
                                               unsigned long albumId) {
    ClearCurrentPlaylist();
    AddToCurrentPlaylist(genreId, artistId, albumId);
    JumpToSongIndex(0);
}

void SlimCLIConnection::ReplaceCurrentPlaylist(unsigned long trackId) {
    ClearCurrentPlaylist();
    AddToCurrentPlaylist(trackId);
    JumpToSongIndex(0);
}

void SlimCLIConnection::RemoveFromCurrentPlaylist(unsigned long index) {
    RequestWithPlayer("playlist delete %lu\n", index);
}

void SlimCLIConnection::ClearCurrentPlaylist() { RequestWithPlayer("playlist clear\n"); }

void SlimCLIConnection::SaveCurrentPlaylist(const char* name) {
    // Escaped whole: a ":" would make it a tagged parameter, a "%" an escape.
    CascadeString escaped;
    EUtils::UrlEncode(name ? name : "", escaped);
    RequestWithPlayer("playlist save %s\n", escaped.c_str());
}

void SlimCLIConnection::GetTrackInfo(unsigned long trackId, SongInfo& song) {
    const std::string reply = Request("songinfo 0 %i track_id:%lu tags:%s\n", 14, trackId, kTrackTags);
    const std::vector<std::string_view> pieces = CliText::SplitAt(reply, " id%3A");
    if (pieces.size() >= 2) SongList::ParseSongInfo(pieces[1], song, SongList::ItemKind::Song);
}
