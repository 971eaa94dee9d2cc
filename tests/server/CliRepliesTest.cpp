// The CLI reply parsers grouped by reply shape (named-item lists, status and
// titles replies, XML pages), the records they fill, the letter search over
// pages, and the line handling of the link.
#include "server/CliLineBuffer.h"
#include "server/CliRequestKind.h"
#include "server/LetterSearch.h"
#include "server/SongList.h"
#include "server/StatusReply.h"
#include "server/StreamTitle.h"
#include "server/XmlBrowsePage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

std::unique_ptr<BrowseEntry> Named(const std::string& name) {
    auto entry = std::make_unique<BrowseEntry>();
    entry->name = name;
    return entry;
}

// "id|name" per entry, joined by ",".
std::string Entries(const BrowseEntryList& list) {
    std::string out;
    for (std::size_t i = 0; i < list.GetNumEntries(); ++i)
        out += std::string(i ? "," : "") + list.Item(i)->id.c_str() + "|" + list.Item(i)->name.c_str();
    return out;
}

// The fields the song tests name, "|"-joined.
std::string Brief(const SongInfo& s) {
    std::string out;
    for (const CascadeString* f : {&s.playlistIndex, &s.songId, &s.title, &s.artist, &s.album, &s.duration})
        out += std::string(out.empty() ? "" : "|") + f->c_str();
    return out;
}

TEST(NamedItemReply, IdsNamesAndTotals) {
    const struct {
        const char *key, *reply, *entries;
        unsigned long total;
    } cases[] = {
        {"genre", "genres 0 2 count%3A7 id%3A3 genre%3AAcid%20Jazz id%3A5 genre%3ABlues", "3|Acid Jazz,5|Blues", 7},
        {"genre",
         "genres 0 10 count%3A3 id%3A1 genre%3AAlternative%20%26%20Punk id%3A2 genre%3A%C3%89lectronique id%3A3 "
         "genre%3AC%2BC+Music",
         "1|Alternative & Punk,2|\xC3\x89lectronique,3|C+C Music", 3},
        // Broken escapes are kept as they are; an empty field gives an empty name.
        {"artist", "artists 0 1 count%3A1 id%3A9 artist%3A100%ZZ%20Pure%2", "9|100%ZZ Pure%2", 1},
        {"album", "albums 0 2 count%3A2 id%3A12 album%3A id%3A13", "12|,13|", 2},
        {"title", "x 0 2 count%3A2 index%3A0 title%3AOne id%3A40 index%3A1 title%3ATwo id%3A41", "40|One,41|Two", 2},
        // Every answered query sets the total, also one that found nothing;
        // only no answer at all keeps what the list had.
        {"album", "albums 0 10 count%3A0", "", 0},
        {"album", "albums 0 10", "", 0},
        {"album", "", "", 42},
        // A huge count saturates.
        {"album", "albums 0 1 count%3A99999999999999999999999 id%3A1 album%3AX", "1|X", 0x7FFFFFFFFFFFFFFF},
    };
    for (const auto& c : cases) {
        BrowseEntryList list;
        list.SetTotalCount(42);
        list.SetKey(c.key);
        list.ParseEntryList(c.reply);
        EXPECT_EQ(c.entries, Entries(list)) << c.reply;
        EXPECT_EQ(c.total, list.GetTotalCount()) << c.reply;
    }
}

// Before the first equal-or-greater name ignoring case, so equal names put
// the newest first.
TEST(NamedItemReply, AlphaInsertEntry) {
    const struct {
        Strings before;
        const char* name;
        std::size_t at;
        const char* after;
    } cases[] = {
        {{"Alpha", "Gamma"}, "beta", 1, "0|Alpha,0|beta,0|Gamma"},
        {{"Alpha", "Beta"}, "beta", 1, "0|Alpha,0|beta,0|Beta"},
        {{"beta", "Gamma"}, "zulu", 2, "0|beta,0|Gamma,0|zulu"},
    };
    for (const auto& c : cases) {
        BrowseEntryList list;
        for (const std::string& name : c.before) list.AddEntry(Named(name));
        EXPECT_EQ(c.at, list.AlphaInsertEntry(Named(c.name))) << c.after;
        EXPECT_EQ(c.after, Entries(list));
    }
}

TEST(StatusReply, EveryTaggedFieldOfARealReply) {
    SongList list;
    list.ParseEntryList(
        "00%3A04%3A20%3A12%3A34%3A56 status - 1 tags%3Agaldtypesru player_name%3ALiving%20Room power%3A1 "
        "mode%3Aplay time%3A12.3456789 duration%3A297.117 playlist_cur_index%3A2 playlist_tracks%3A12 "
        "playlist%20index%3A2 id%3A42 title%3AIf%20I%20Had%20You genre%3AVocal artist%3ADiana%20Krall "
        "album%3AAll%20for%20You duration%3A297.117 tracknum%3A12 year%3A1996 genre_id%3A2 album_id%3A12 "
        "artist_id%3A3 bitrate%3A160kbps%20VBR "
        "url%3Afile%3A%2F%2F%2Fmusic%2FDiana%2520Krall%2F12%2520-%2520If%2520I%2520Had%2520You.mp3",
        true);
    ASSERT_EQ(1u, list.GetNumEntries());
    const SongInfo& song = *list.Item(0);
    EXPECT_EQ("2|42|If I Had You|Diana Krall|All for You|4:57", Brief(song));
    EXPECT_EQ("Vocal 12 1996 2 12 3 160kbps VBR 297 music/42/cover.jpg",
              std::string(song.genre.c_str()) + " " + song.trackNum.c_str() + " " + song.year.c_str() + " " +
                  song.genreId.c_str() + " " + song.albumId.c_str() + " " + song.artistId.c_str() + " " +
                  song.bitrate.c_str() + " " + std::to_string(song.secondsTotal) + " " + song.GetCoverPath().c_str());
    // The url is escaped twice on the wire: once decoded it is still a URL.
    EXPECT_EQ("file:///music/Diana%20Krall/12%20-%20If%20I%20Had%20You.mp3", song.url);
    EXPECT_EQ("/music/Diana%20Krall/12%20-%20If%20I%20Had%20You.mp3", song.path);
}

TEST(StatusReply, ItemsCountsAndTotals) {
    const struct {
        const char* reply;
        Strings songs;
        unsigned long total;
    } cases[] = {
        {"p status 0 5 tags%3Agald playlist_cur_index%3A0 playlist_tracks%3A2 playlist%20index%3A0 id%3A40 "
         "title%3AFrim%20Fram duration%3A210.5 playlist%20index%3A1 id%3A41 title%3ABoulevard",
         {"0|40|Frim Fram|N/A|N/A|3:30", "1|41|Boulevard|N/A|N/A|0"},
         0},
        {"p status 0 5 player_name%3ALiving%20Room power%3A0", {}, 0},  // player off
        // Empty fields give empty texts, missing ones keep their defaults.
        {"titles 0 10 album_id%3A12 count%3A2 id%3A40 title%3AFrim artist%3A album%3AA duration%3A4000 id%3A41 "
         "title%3AB duration%3A",
         {"-1|40|Frim||A|66:40", "-1|41|B|N/A|N/A|0:00"},
         2},
        {"titles 0 10 album_id%3A999 count%3A0", {}, 0},
        {"", {}, 42},  // no answer at all keeps the total
    };
    for (const auto& c : cases) {
        SongList list;
        list.SetTotalCount(42);
        list.ParseEntryList(c.reply, true);
        Strings songs;
        for (std::size_t i = 0; i < list.GetNumEntries(); ++i) songs.push_back(Brief(*list.Item(i)));
        EXPECT_EQ(c.songs, songs) << c.reply;
        EXPECT_EQ(c.total, list.GetTotalCount()) << c.reply;
    }
}

// On the current song of a stream, when asked for: "(Station) Artist -
// Title", a title alone, or an address (named by its file), with the
// station as album (id 0); elsewhere the song keeps the title the server
// gave, or its url when it gave none.
TEST(StatusReply, TheStreamTitleRule) {
    const struct {
        const char *currentTitle, *songTitle;
        bool mark;
        const char *currentIndex, *song;
    } cases[] = {
        {"(Radio)%20Artist%20A%20-%20Song%20B", "Jazz%20FM", true, "0", "Artist A|Song B|Jazz FM|0"},
        {"Song%20only", "Jazz%20FM", true, "0", "N/A|Song only|Jazz FM|0"},
        {"Band-Tune", "Jazz%20FM", true, "0", "Band|Tune|Jazz FM|0"},
        {"http%3A%2F%2Fhost%2Fdir%2Flive.mp3%3Fa%3D1", "", true, "0", "N/A|live.mp3|http://host/dir/live.mp3?a=1|-1"},
        {"Artist%20A%20-%20Song%20B", "Jazz%20FM", false, "0", "N/A|Jazz FM|N/A|-1"},
        {"Artist%20A%20-%20Song%20B", "Jazz%20FM", true, "5", "N/A|Jazz FM|N/A|-1"},
        {"", "", false, "0", "N/A|http://radio.example/stream.mp3?id=1|N/A|-1"},
    };
    for (const auto& c : cases) {
        SongList list;
        list.ParseEntryList(std::string("p status - 1 remote%3A1 current_title%3A") + c.currentTitle +
                                " playlist_cur_index%3A" + c.currentIndex + " playlist%20index%3A0 id%3A-9 title%3A" +
                                c.songTitle + " url%3Ahttp%3A%2F%2Fradio.example%2Fstream.mp3%3Fid%3D1",
                            c.mark);
        ASSERT_EQ(1u, list.GetNumEntries()) << c.currentTitle;
        const SongInfo& song = *list.Item(0);
        EXPECT_EQ(c.song, std::string(song.artist.c_str()) + "|" + song.title.c_str() + "|" + song.album.c_str() + "|" +
                              song.albumId.c_str())
            << c.currentTitle << " " << c.mark << c.currentIndex;
    }
}

// The web status page names a stream's song; a page without the current
// song leaves the stream named by its address's file.
TEST(StatusReply, TheWebStatusPageOrTheAddressNamesAStream) {
    const struct {
        const char *page, *song;
    } cases[] = {
        {"<a href=\"status.html#currentsong\">(Live) Band X - Tune Y</a>", "Band X|Tune Y"},
        {"<a href=\"status.html#currentsong\">Just a title</a>", "N/A|Just a title"},
        {"<a name=\"currentsong\"></a>", "|stream.mp3"},
        {"", "|stream.mp3"},
    };
    for (const auto& c : cases) {
        SongInfo song;
        song.title = song.artist = "";
        song.url = "http://radio.example/stream.mp3?id=1";
        StreamTitle::ApplyWebStatusPage(song, c.page);
        StreamTitle::CleanUrlTitle(song);
        EXPECT_EQ(c.song, std::string(song.artist.c_str()) + "|" + song.title.c_str()) << c.page;
        EXPECT_EQ(song.url, song.album) << c.page;
    }
}

TEST(StatusReply, HeaderTimesAndTheCurrentSong) {
    const struct {
        unsigned long elapsed, total;
        const char* text;
    } times[] = {
        {65, 245, "1:05 / 4:05"},
        {3599, 3599, "59:59 / 59:59"},
        {3599, 0, "59:59"},
        {3600, 0, "1:00:00"},
        {65, 4000, "0:01:05 / 1:06:40"},
        {3600, 600, "1:00:00 / 0:10:00"},
        {65535, 65535, "18:12:15 / 18:12:15"},
    };
    for (const auto& t : times) EXPECT_EQ(t.text, StatusReply::FormatTimeText(t.elapsed, t.total));
    SlimConnection::PlayerStatus status;
    status.trackCount = 9;
    // The first word is never read; missing fields keep their values.
    EXPECT_EQ(65u, StatusReply::ReadHeader("time%3A50 status - 1 time%3A65.2 playlist%20repeat%3A2 "
                                           "playlist%20shuffle%3A1 playlist_cur_index%3A4",
                                           status));
    EXPECT_EQ((std::vector<long>{2, 1, 4, 9}),
              (std::vector<long>{status.repeat, status.shuffle, status.currentIndex, status.trackCount}));
    SongInfo from, to;
    from.secondsTotal = 245;
    StatusReply::CopyCurrentSong(from, to, 65);
    EXPECT_EQ("1:05 / 4:05", to.timeText);
    EXPECT_FLOAT_EQ(65.0f / 245.0f, to.progress);
}

// Element names are matched without regard to case.
TEST(XmlPage, FoldersSongsUrlsAndTheBreadcrumb) {
    tinyxml2::XMLDocument document;
    ASSERT_EQ(tinyxml2::XML_SUCCESS, document.Parse(R"(<?xml version="1.0" encoding="UTF-8"?>
<browse xmlns="http://www.slimdevices.com/slimserver/xml">
  <location><locator><locator_name>Music</locator_name></locator><locator><locator_url>x</locator_url></locator>
    <locator><locator_name>Jazz</locator_name></locator></location>
  <offsets><from>0</from><to>49</to><last>199</last></offsets>
  <browse_entry><entry_type>dir</entry_type><entry_name>Miles &amp; Co</entry_name><entry_id>12</entry_id>
    <dir><dir_hierarchy>3/12</dir_hierarchy><dir_url>file:///music/Jazz/Miles</dir_url></dir></browse_entry>
  <browse_entry><entry_type>song</entry_type><entry_name>So What</entry_name><entry_id>77</entry_id>
    <song><song_id>77</song_id><title>So What</title><artist>Miles Davis</artist><duration>9:22</duration>
      <seconds_total>562</seconds_total><coverart>/music/77/cover.jpg</coverart><unknown>x</unknown></song>
    <replace_url>never read</replace_url></browse_entry>
  <browse_entry><replace_url>status.html?p0=playlist&amp;p1=play&amp;p2=file%3A%2F%2Fa</replace_url></browse_entry>
  <browse_entry><ENTRY_NAME>Caps</ENTRY_NAME><replace_url>status.html?p0=playlist</replace_url></browse_entry>
</browse>)"));
    BrowseEntryList list;
    XmlBrowsePage::ParseEntries(document, list);
    EXPECT_EQ(200u, list.GetTotalCount());
    EXPECT_EQ("3/12|Miles & Co,77|So What,0|,0|Caps", Entries(list));
    EXPECT_EQ("file:///music/Jazz/Miles", list.Item(0)->url);
    const auto* song = dynamic_cast<const SongInfo*>(list.Item(1));
    ASSERT_NE(nullptr, song);
    EXPECT_EQ("-1|77|So What|Miles Davis|N/A|9:22", Brief(*song));
    EXPECT_EQ(562, song->secondsTotal);
    EXPECT_EQ("music/77/cover.jpg", song->GetCoverPath());
    EXPECT_EQ("file%3A%2F%2Fa", list.Item(2)->url);
    EXPECT_EQ("status.html?p0=playlist", list.Item(3)->url);  // no "&p2=": the whole address
    EXPECT_EQ("Music / Jazz", XmlBrowsePage::ParseLocation(document));
}

// A server list of `size` names where those from `first` to `last` start
// with "b", the others with "a" before and "c" after; it records the pages
// fetched.
struct FakeList {
    long size, first, last;
    std::vector<long> fetched;
    LetterSearch::FetchPage Fetch() {
        return [this](long pos, unsigned short count, BrowseEntryList& page) {
            fetched.push_back(pos);
            for (long i = pos; i < pos + count && i < size; ++i)
                page.AddEntry(Named(i < first ? "apple" : i <= last ? "banana" : "cherry"));
            page.SetTotalCount(static_cast<unsigned long>(size));
        };
    }
};

// Forward walks pages until the first hit or the list's end; backward
// returns the earliest hit of the run and stops on a page before the letter.
TEST(LetterSearch, PagesAreWalkedUntilTheHitOrTheEnd) {
    const struct {
        FakeList list;
        long start;
        SlimConnection::Direction direction;
        long found;
        std::vector<long> fetched;
    } cases[] = {
        {{300, 120, 130, {}}, 0, SlimConnection::Direction::Forward, 120, {0, 50, 100}},
        {{120, 500, 600, {}}, 0, SlimConnection::Direction::Forward, -1, {0, 50, 100}},
        {{300, 40, 130, {}}, 100, SlimConnection::Direction::Backward, 40, {100, 50, 0}},
        {{300, 200, 210, {}}, 0, SlimConnection::Direction::Backward, -1, {0}},
        {{300, 60, 70, {}}, 150, SlimConnection::Direction::Backward, 60, {150, 100, 50, 0}},
        {{0, 0, 0, {}}, 0, SlimConnection::Direction::Forward, -1, {0}},  // no reply: nothing, no endless walk
    };
    for (auto c : cases) {
        EXPECT_EQ(c.found, LetterSearch::Find(c.list.Fetch(), 'b', c.start, 50, c.direction, nullptr)) << c.list.first;
        EXPECT_EQ(c.fetched, c.list.fetched) << c.list.first;
    }
    // An article is skipped only with its space: "Theatre" stays under T.
    const ETokenArray articles("The%20Los", "%20", CascadeCase::Sensitive);
    BrowseEntryList page;
    page.AddEntry(Named("Theatre"));
    long index = -1;
    EXPECT_EQ(0, LetterSearch::Match(page, 't', &articles, index));
}

TEST(CliLines, ReceivesAreJoinedIntoWholeLines) {
    CliLineBuffer buffer;
    const auto feed = [&](const std::string& bytes) {
        buffer.Append(bytes.data(), bytes.size());
        Strings lines;
        for (std::string line; buffer.NextLine(line);) lines.push_back(line);
        return lines;
    };
    EXPECT_EQ(Strings{}, feed("00%3A04 playlist new"));
    EXPECT_EQ((Strings{"00%3A04 playlist newsong", "b 2", "c 3"}), feed("song\nb 2\r\n\n\nc 3\nd"));
    EXPECT_EQ(Strings{"d"}, feed("\n"));
    EXPECT_EQ(Strings{}, feed(std::string(CliLineBuffer::kMaxLine + 10, 'x')));  // overlong: dropped
    EXPECT_EQ(Strings{}, feed("still the long one"));
    EXPECT_EQ(Strings{"next"}, feed(" end\nnext\nhalf"));
    buffer.Reset();
    EXPECT_EQ(Strings{"whole"}, feed("whole\n"));
}

// Only a query may be asked again on a second link.
TEST(CliLines, QueriesAndCommands) {
    for (const char* query : {"version ?\n", "00:04 mixer volume ?", "00:04 display ? ?\n", "00%3A04 status 0 5\n",
                              "albums 0 0 artist_id:1\n", "songinfo 0 100 track_id:7\n", "playlists tracks 0 5\n"})
        EXPECT_TRUE(CliRequestKind::IsQuery(query)) << query;
    for (const char* command : {"00:04 time +30\n", "00:04 playlist save A%20B\n", "playlists rename x\n",
                                "00:04 playlist add ?a.mp3\n", "00:04\n", ""})
        EXPECT_FALSE(CliRequestKind::IsQuery(command)) << command;
}

}  // namespace
