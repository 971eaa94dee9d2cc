#include "server/SongList.h"
#include "server/StreamTitle.h"

#include <gtest/gtest.h>

namespace {

constexpr const char* kStatus =
    "00%3A04%3A20%3A12%3A34%3A56 status - 1 tags%3Agaldtypesru player_name%3ALiving%20Room player_connected%3A1 "
    "power%3A1 mode%3Aplay time%3A12.3456789 rate%3A1 duration%3A297.117 mixer%20volume%3A50 "
    "playlist%20repeat%3A0 playlist%20shuffle%3A0 playlist_cur_index%3A2 playlist_tracks%3A12 "
    "playlist%20index%3A2 id%3A42 title%3AIf%20I%20Had%20You genre%3AVocal artist%3ADiana%20Krall "
    "album%3AAll%20for%20You duration%3A297.117 tracknum%3A12 year%3A1996 genre_id%3A2 album_id%3A12 "
    "artist_id%3A3 bitrate%3A160kbps%20VBR "
    "url%3Afile%3A%2F%2F%2Fmusic%2FDiana%2520Krall%2F12%2520-%2520If%2520I%2520Had%2520You.mp3";

// A status reply whose current song (index 0) is a radio stream.
std::string StreamStatus(const char* currentTitle, const char* songTitle) {
    return std::string("p status - 1 tags%3Agaldtypesru remote%3A1 current_title%3A") + currentTitle +
           " playlist_cur_index%3A0 playlist_tracks%3A1 playlist%20index%3A0 id%3A-9 title%3A" + songTitle +
           " url%3Ahttp%3A%2F%2Fradio.example%2Fstream.mp3%3Fid%3D1";
}

// --- Status replies: playlist items with a header ---

TEST(SongListStatusReply, ReadsEveryTaggedField) {
    SongList list;
    list.ParseEntryList(kStatus, true);
    ASSERT_EQ(1u, list.GetNumEntries());
    const SongInfo& song = *list.Item(0);
    EXPECT_EQ("2", song.playlistIndex);
    EXPECT_EQ("42", song.songId);
    EXPECT_EQ("If I Had You", song.title);
    EXPECT_EQ("Vocal", song.genre);
    EXPECT_EQ("Diana Krall", song.artist);
    EXPECT_EQ("All for You", song.album);
    EXPECT_EQ("4:57", song.duration);
    EXPECT_EQ(297, song.secondsTotal);
    EXPECT_EQ("12", song.trackNum);
    EXPECT_EQ("1996", song.year);
    EXPECT_EQ("2", song.genreId);
    EXPECT_EQ("12", song.albumId);
    EXPECT_EQ("3", song.artistId);
    EXPECT_EQ("160kbps VBR", song.bitrate);
    EXPECT_EQ("music/42/cover.jpg", song.GetCoverPath());
    // The url is escaped twice on the wire: once decoded it is still a URL.
    EXPECT_EQ("file:///music/Diana%20Krall/12%20-%20If%20I%20Had%20You.mp3", song.url);
    EXPECT_EQ("/music/Diana%20Krall/12%20-%20If%20I%20Had%20You.mp3", song.path);
}

TEST(SongListStatusReply, SeveralItemsAreCutAtEachPlaylistIndex) {
    SongList list;
    list.ParseEntryList(
        "p status 0 5 tags%3Agald playlist_cur_index%3A0 playlist_tracks%3A2 playlist%20index%3A0 id%3A40 "
        "title%3AFrim%20Fram%20Sauce duration%3A210.5 playlist%20index%3A1 id%3A41 title%3ABoulevard",
        false);
    ASSERT_EQ(2u, list.GetNumEntries());
    EXPECT_EQ("0", list.Item(0)->playlistIndex);
    EXPECT_EQ("3:30", list.Item(0)->duration);
    EXPECT_EQ("1", list.Item(1)->playlistIndex);
    EXPECT_EQ("Boulevard", list.Item(1)->title);
    EXPECT_EQ("0", list.Item(1)->duration);
}

TEST(SongListStatusReply, PlayerOffGivesNoSongs) {
    SongList list;
    list.ParseEntryList("p status 0 5 player_name%3ALiving%20Room player_connected%3A1 power%3A0", true);
    EXPECT_EQ(0u, list.GetNumEntries());
}

// --- Titles and songinfo replies: song items ---

TEST(SongListTitlesReply, IdItemsGiveSongIdsAndTheTotal) {
    SongList list;
    list.ParseEntryList(
        "titles 0 10 album_id%3A12 sort%3Atracknum tags%3Agldt count%3A2 id%3A40 title%3AFrim%20Fram%20Sauce "
        "genre%3AVocal album%3AAll%20for%20You duration%3A210.5 tracknum%3A1 id%3A41 "
        "title%3ABoulevard%20of%20Broken%20Dreams duration%3A247.2 tracknum%3A2",
        true);
    EXPECT_EQ(2u, list.GetTotalCount());
    ASSERT_EQ(2u, list.GetNumEntries());
    EXPECT_EQ("40", list.Item(0)->songId);
    EXPECT_EQ("-1", list.Item(0)->playlistIndex);
    EXPECT_EQ("4:07", list.Item(1)->duration);
    EXPECT_EQ("music/41/cover.jpg", list.Item(1)->GetCoverPath());
}

TEST(SongListTitlesReply, ThePlainParseAlsoGivesSongs) {
    SongList list;
    BrowseEntryList& base = list;
    base.ParseEntryList("titles 0 1 count%3A1 id%3A7 title%3AX");
    ASSERT_NE(nullptr, list.Item(0));
    EXPECT_EQ("X", list.Item(0)->title);
}

TEST(SongListItem, PlaylistItemKeepsItsIndexAndALaterIdWins) {
    SongInfo asItem;
    SongList::ParseSongInfo("3 id%3A77 title%3AHello", asItem, SongList::ItemKind::PlaylistItem);
    EXPECT_EQ("3", asItem.playlistIndex);
    EXPECT_EQ("77", asItem.songId);
    EXPECT_EQ("Hello", asItem.title);
    SongInfo asSong;
    SongList::ParseSongInfo("3 id%3A77 title%3AHello", asSong, SongList::ItemKind::Song);
    EXPECT_EQ("77", asSong.songId);
    EXPECT_EQ("-1", asSong.playlistIndex);
}

// Durations as m:ss past the hour; fields that are missing keep their
// defaults, empty ones become empty texts; a url too short for a path gives
// none.
TEST(SongListItem, DurationFormsMissingAndEmptyFields) {
    SongInfo song;
    SongList::ParseSongInfo("1 duration%3A245.7", song, SongList::ItemKind::Song);
    EXPECT_EQ("4:05", song.duration);
    EXPECT_EQ(245, song.secondsTotal);
    EXPECT_EQ("N/A", song.artist);
    EXPECT_EQ("N/A", song.genre);
    EXPECT_EQ("-1", song.albumId);
    SongList::ParseSongInfo("1 duration%3A", song, SongList::ItemKind::Song);
    EXPECT_EQ("0:00", song.duration);
    SongList::ParseSongInfo("1 duration%3A4000", song, SongList::ItemKind::Song);
    EXPECT_EQ("66:40", song.duration);
    SongInfo empty;
    SongList::ParseSongInfo("5 artist%3A album%3A year%3A url%3Afile%3A", empty, SongList::ItemKind::Song);
    EXPECT_EQ("", empty.artist);
    EXPECT_EQ("", empty.album);
    EXPECT_EQ("file:", empty.url);
    EXPECT_EQ("", empty.path);
}

// --- The stream-title rule on the current song ---

// On the current song of a stream, when asked for: "(Station) Artist -
// Title", a title alone, or an address (named by its file); elsewhere the
// song keeps the title the server gave, or its url when it gave none.
TEST(SongListStreamTitle, TheCurrentTitleNamesTheCurrentSongOnly) {
    const struct {
        const char* currentTitle;
        const char* songTitle;
        bool mark;
        const char* currentIndex;
        const char* artist;
        const char* title;
        const char* album;
    } cases[] = {
        {"(Radio)%20Artist%20A%20-%20Song%20B", "Jazz%20FM", true, "0", "Artist A", "Song B", "Jazz FM"},
        {"Song%20only", "Jazz%20FM", true, "0", "N/A", "Song only", "Jazz FM"},
        {"Band-Tune", "Jazz%20FM", true, "0", "Band", "Tune", "Jazz FM"},
        {"http%3A%2F%2Fhost%2Fdir%2Flive.mp3%3Fa%3D1", "", true, "0", "N/A", "live.mp3", "http://host/dir/live.mp3?a=1"},
        {"Artist%20A%20-%20Song%20B", "Jazz%20FM", false, "0", "N/A", "Jazz FM", "N/A"},
        {"Artist%20A%20-%20Song%20B", "Jazz%20FM", true, "5", "N/A", "Jazz FM", "N/A"},
        {"", "", false, "0", "N/A", "http://radio.example/stream.mp3?id=1", "N/A"},
    };
    for (const auto& c : cases) {
        std::string reply = StreamStatus(c.currentTitle, c.songTitle);
        reply.replace(reply.find("playlist_cur_index%3A0"), 22, std::string("playlist_cur_index%3A") + c.currentIndex);
        SongList list;
        list.ParseEntryList(reply, c.mark);
        ASSERT_EQ(1u, list.GetNumEntries()) << c.currentTitle;
        const SongInfo& song = *list.Item(0);
        EXPECT_EQ(c.artist, song.artist) << c.currentTitle << " " << c.mark << c.currentIndex;
        EXPECT_EQ(c.title, song.title) << c.currentTitle << " " << c.mark << c.currentIndex;
        EXPECT_EQ(c.album, song.album) << c.currentTitle << " " << c.mark << c.currentIndex;
    }
    SongList list;
    list.ParseEntryList(StreamStatus("(Radio)%20Artist%20A%20-%20Song%20B", "Jazz%20FM"), true);
    EXPECT_EQ("0", list.Item(0)->albumId);
}

TEST(SongListTitlesReply, EveryAnsweredQuerySetsTheTotal) {
    for (const bool markCurrent : {false, true}) {
        SongList list;
        list.SetTotalCount(42);
        list.ParseEntryList("titles 0 10 album_id%3A999 count%3A0", markCurrent);
        EXPECT_EQ(0u, list.GetTotalCount());
        list.SetTotalCount(42);
        list.ParseEntryList("", markCurrent);
        EXPECT_EQ(42u, list.GetTotalCount());  // no answer at all
    }
}

// The web status page names a stream's song; a page without the current
// song leaves the stream named by its address.
TEST(StreamTitleWeb, TheStatusPageOrTheAddressNamesAStream) {
    struct Case {
        const char* page;
        const char* artist;
        const char* title;
        const char* album;
    } const cases[] = {
        {"<a href=\"status.html#currentsong\">(Live) Band X - Tune Y</a>", "Band X", "Tune Y",
         "http://radio.example/stream.mp3?id=1"},
        {"<a href=\"status.html#currentsong\">Just a title</a>", "N/A", "Just a title",
         "http://radio.example/stream.mp3?id=1"},
        {"<a name=\"currentsong\"></a>", "", "stream.mp3", "http://radio.example/stream.mp3?id=1"},
        {"<html><body>nothing playing</body></html>", "", "stream.mp3", "http://radio.example/stream.mp3?id=1"},
        {"", "", "stream.mp3", "http://radio.example/stream.mp3?id=1"},
    };
    for (const Case& c : cases) {
        SongInfo song;
        song.title = "";
        song.artist = "";
        song.album = "N/A";
        song.url = "http://radio.example/stream.mp3?id=1";
        StreamTitle::ApplyWebStatusPage(song, c.page);
        StreamTitle::CleanUrlTitle(song);
        EXPECT_EQ(c.artist, song.artist) << c.page;
        EXPECT_EQ(c.title, song.title) << c.page;
        EXPECT_EQ(c.album, song.album) << c.page;
    }
}

TEST(StreamTitleWeb, AnAddressTitleIsCleanedUp) {
    SongInfo song;
    song.title = "http://radio.example/path/stream.mp3?id=1";
    StreamTitle::CleanUrlTitle(song);
    EXPECT_EQ("stream.mp3", song.title);
    EXPECT_EQ("http://radio.example/path/stream.mp3?id=1", song.album);
}

}  // namespace
