// Library queries: list pages, the start-letter search and the XML pages.
#include "server/SlimCLIConnection.h"

#include "server/LetterSearch.h"
#include "server/XmlBrowsePage.h"

#include <string>

namespace {

// " <name>:<id>" for a non-zero id, else nothing.
std::string Filter(const char* name, unsigned long id) {
    return id ? " " + std::string(name) + ":" + std::to_string(id) : std::string();
}

}  // namespace

long SlimCLIConnection::ListQuery(const std::string& request, const char* key, BrowseEntryList& list) {
    std::string reply;
    (void)GetData(request, reply);
    list.SetKey(key);
    list.ParseEntryList(reply);
    return long(list.GetNumEntries());
}

long SlimCLIConnection::GetGenres(unsigned long artistId, unsigned long albumId, unsigned long start,
                                  unsigned long count, BrowseEntryList& list) {
    const std::string request = "genres " + std::to_string(start) + " " + std::to_string(count) +
                                Filter("album_id", albumId) + Filter("artist_id", artistId) + "\n";
    return ListQuery(request, "genre", list);
}

long SlimCLIConnection::GetArtists(unsigned long genreId, unsigned long albumId, unsigned long start,
                                   unsigned long count, BrowseEntryList& list) {
    const std::string request = "artists " + std::to_string(start) + " " + std::to_string(count) +
                                Filter("genre_id", genreId) + Filter("album_id", albumId) + "\n";
    return ListQuery(request, "artist", list);
}

long SlimCLIConnection::GetAlbums(unsigned long genreId, unsigned long artistId, unsigned long start,
                                  unsigned long count, BrowseEntryList& list) {
    const std::string request = "albums " + std::to_string(start) + " " + std::to_string(count) +
                                Filter("genre_id", genreId) + Filter("artist_id", artistId) + "\n";
    return ListQuery(request, "album", list);
}

long SlimCLIConnection::GetGenres(unsigned long start, unsigned long count, BrowseEntryList& list) {
    return GetGenres(0, 0, start, count, list);
}

long SlimCLIConnection::GetArtists(unsigned long start, unsigned long count, BrowseEntryList& list) {
    return GetArtists(0, 0, start, count, list);
}

long SlimCLIConnection::GetArtists(unsigned long genreId, unsigned long start, unsigned long count,
                                   BrowseEntryList& list) {
    return GetArtists(genreId, 0, start, count, list);
}

long SlimCLIConnection::GetAlbums(unsigned long start, unsigned long count, BrowseEntryList& list) {
    return GetAlbums(0, 0, start, count, list);
}

long SlimCLIConnection::GetAlbums(unsigned long artistId, unsigned long start, unsigned long count,
                                  BrowseEntryList& list) {
    return GetAlbums(0, artistId, start, count, list);
}

long SlimCLIConnection::GetPlaylists(unsigned long start, unsigned long count, BrowseEntryList& list) {
    return ListQuery("playlists " + std::to_string(start) + " " + std::to_string(count) + "\n", "playlist", list);
}

long SlimCLIConnection::GetTracks(unsigned long genreId, unsigned long artistId, unsigned long albumId,
                                  unsigned long start, unsigned long count, SongList& list) {
    if (genreId == 0 && artistId == 0 && albumId == 0) {
        // The whole song list is only ever counted, never loaded.
        list.SetTotalCount(GetTotal("songs"));
        return 0;
    }
    const std::string request = "titles " + std::to_string(start) + " " + std::to_string(count) +
                                Filter("genre_id", genreId) + Filter("artist_id", artistId) +
                                Filter("album_id", albumId) + (albumId ? " sort:tracknum" : "") + "\n";
    std::string reply;
    (void)GetData(request, reply);
    list.ParseEntryList(reply, true);
    return long(list.GetNumEntries());
}

long SlimCLIConnection::GetGenreStartIndex(char letter, long start, unsigned short pageSize, Direction direction) {
    const auto fetch = [this](long pos, unsigned short count, BrowseEntryList& page) {
        GetGenres(static_cast<unsigned long>(pos), count, page);
    };
    return LetterSearch::Find(fetch, letter, start, pageSize, direction, GetIgnores(false).get());
}

long SlimCLIConnection::GetArtistStartIndex(unsigned long genreId, char letter, long start, unsigned short pageSize,
                                            Direction direction) {
    const auto fetch = [this, genreId](long pos, unsigned short count, BrowseEntryList& page) {
        GetArtists(genreId, static_cast<unsigned long>(pos), count, page);
    };
    return LetterSearch::Find(fetch, letter, start, pageSize, direction, GetIgnores(false).get());
}

long SlimCLIConnection::GetArtistStartIndex(char letter, long start, unsigned short pageSize, Direction direction) {
    return GetArtistStartIndex(0, letter, start, pageSize, direction);
}

long SlimCLIConnection::GetAlbumStartIndex(unsigned long genreId, unsigned long artistId, char letter, long start,
                                           unsigned short pageSize, Direction direction) {
    const auto fetch = [this, genreId, artistId](long pos, unsigned short count, BrowseEntryList& page) {
        GetAlbums(genreId, artistId, static_cast<unsigned long>(pos), count, page);
    };
    return LetterSearch::Find(fetch, letter, start, pageSize, direction, GetIgnores(false).get());
}

long SlimCLIConnection::GetAlbumStartIndex(unsigned long artistId, char letter, long start, unsigned short pageSize,
                                           Direction direction) {
    return GetAlbumStartIndex(0, artistId, letter, start, pageSize, direction);
}

long SlimCLIConnection::GetAlbumStartIndex(char letter, long start, unsigned short pageSize, Direction direction) {
    return GetAlbumStartIndex(0, 0, letter, start, pageSize, direction);
}

unsigned long SlimCLIConnection::GetFolderItems(const char* hierarchy, unsigned long start, unsigned long count,
                                                BrowseEntryList& list, CascadeString& location) {
    const CascadeString url = WebBase() + "/xml/browsetree.xml?hierarchy=" + (hierarchy ? hierarchy : "");
    tinyxml2::XMLDocument document;
    location = "";
    if (GetXMLData(url.c_str(), start, count, document)) {
        location = XmlBrowsePage::ParseLocation(document);
        XmlBrowsePage::ParseEntries(document, list);
    } else {
        list.SetTotalCount(list.GetNumEntries());
    }
    return list.GetTotalCount();
}

unsigned long SlimCLIConnection::GetAlbumArtwork(unsigned long start, unsigned long count, BrowseEntryList& list) {
    const CascadeString url = WebBase() + "/xml/browsedb.xml?hierarchy=artwork,track&level=0&sort=album";
    tinyxml2::XMLDocument document;
    if (GetXMLData(url.c_str(), start, count + 1, document))
        XmlBrowsePage::ParseArtwork(document, count, WebBase(), list);
    else
        list.SetTotalCount(list.GetNumEntries());
    return list.GetTotalCount();
}
