#pragma once

#include "platform/CascadeString.h"
#include "radio/FavoritesFile.h"
#include "radio/GenreNormaliser.h"
#include "radio/OPMLNode.h"
#include "radio/RadioDirectories.h"
#include "radio/RadioFetch.h"
#include "radio/StationDirectory.h"
#include "server/BrowseEntryList.h"

#include <memory>
#include <string_view>

// The public internet-radio directories: Shoutcast (genre and station lists
// fetched on every call), Steamcast and Xiph (one document each, fetched and
// normalised once, then filtered in memory), RadioIO (a built-in channel
// list), the server maker's picks, the live music archive and the podcast
// directories (OPML trees loaded once, children on demand), and the user's
// Favorites (a local OPML file, saved whenever it changes).
//
// Threads: no lock. The radio browser calls it from its loader thread and,
// for kept lists and opening outlines, from its UI thread, never both at
// once. AbortFetches and ResumeFetches may be called from any thread.
// Fetches block the caller for at most the RadioFetch limits.
class InternetRadio {
public:
    struct Options {
        CascadeString favoritesPath;  // "" for FavoritesFile::DefaultPath()
        RadioDirectories directories = RadioDirectories::FromEnvironment();
        RadioFetch::Limits limits;
    };

    InternetRadio();
    explicit InternetRadio(Options options);
    InternetRadio(const InternetRadio&) = delete;
    InternetRadio& operator=(const InternetRadio&) = delete;
    // Saves the Favorites when they were changed and not saved since.
    ~InternetRadio();

    // Shoutcast. Each returns false, leaving the list unchanged, when the
    // directory cannot be fetched or its answer is no such list.
    // "Most Popular" first, then every genre of the genre list in order.
    [[nodiscard]] bool GetShoutcastGenres(BrowseEntryList& list);
    // The stations of `genre` ("most popular" in any case asks for Top500).
    [[nodiscard]] bool GetShoutcastStations(BrowseEntryList& list, const char* genre);

    // Steamcast and Xiph: the no-argument forms load the directory once
    // (true at once when it is kept; false, keeping nothing, when it cannot
    // be fetched or read, so the next call tries again). The others load,
    // then add normalised genre entries (type "steamcast" / "xiph") or the
    // stations of a genre (null for all); false when nothing could be loaded.
    [[nodiscard]] bool GetSteamcastStations();
    [[nodiscard]] bool GetSteamcastGenres(BrowseEntryList& list);
    [[nodiscard]] bool GetSteamcastStations(BrowseEntryList& list, const char* genre);
    [[nodiscard]] bool GetXiphStations();
    [[nodiscard]] bool GetXiphGenres(BrowseEntryList& list);
    [[nodiscard]] bool GetXiphStations(BrowseEntryList& list, const char* genre);

    // The 21 RadioIO channels; nothing is fetched.
    void GetRadioIOStations(BrowseEntryList& list) const;

    // The OPML trees, created on first call and kept (owned here; never
    // null). A tree whose source could not be fetched stays empty and is
    // fetched again when it is opened with loading allowed.
    OPMLNode* GetSlimPicks();
    OPMLNode* GetLiveMusicArchive();
    OPMLNode* GetPodcasts();
    OPMLNode* GetFavorites();

    // Favorites. The radio browser marks them changed after each edit and
    // then saves; SaveFavorites writes only when marked, and clears the mark
    // once the file is written.
    void SetFavoritesModified() { m_favoritesModified = true; }
    bool IsFavoritesModified() const { return m_favoritesModified; }
    [[nodiscard]] bool SaveFavorites();
    const FavoritesFile& GetFavoritesFile() const { return m_favoritesFile; }

    // Makes a fetch in progress fail at once, and every fetch until
    // ResumeFetches (the radio browser's Exit during a load). Any thread.
    void AbortFetches() { m_fetch.Abort(); }
    void ResumeFetches() { m_fetch.Resume(); }
    RadioFetch& GetFetch() { return m_fetch; }

    const GenreNormaliser& GetGenreNormaliser() const { return m_genres; }
    const RadioDirectories& GetDirectories() const { return m_directories; }

    // The parsers behind the Shoutcast calls, pure over the answer's bytes.
    [[nodiscard]] static bool ParseShoutcastGenres(std::string_view bytes, BrowseEntryList& list);
    [[nodiscard]] static bool ParseShoutcastStations(std::string_view bytes, const RadioDirectories& directories,
                                                     BrowseEntryList& list);

private:
    [[nodiscard]] bool LoadDirectory(std::unique_ptr<StationDirectory>& kept, StationDirectory::Format format,
                                     RadioDirectories::Directory directory, const char* path);
    OPMLNode* KeptTree(std::unique_ptr<OPMLNode>& kept, RadioDirectories::Directory directory, const char* path);

    GenreNormaliser m_genres;
    RadioDirectories m_directories;
    RadioFetch m_fetch;
    FavoritesFile m_favoritesFile;
    std::unique_ptr<StationDirectory> m_steamcast;
    std::unique_ptr<StationDirectory> m_xiph;
    std::unique_ptr<OPMLNode> m_picks;
    std::unique_ptr<OPMLNode> m_archive;
    std::unique_ptr<OPMLNode> m_podcasts;
    std::unique_ptr<OPMLNode> m_favorites;
    bool m_favoritesModified = false;
};
