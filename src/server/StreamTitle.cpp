#include "server/StreamTitle.h"

#include "app/base/AppLog.h"
#include "server/CliText.h"

namespace StreamTitle {

namespace {

std::string_view LastPathPart(std::string_view address) {
    const std::size_t query = address.find('?');
    if (query != std::string_view::npos) address = address.substr(0, query);
    const std::size_t slash = address.rfind('/');
    return slash == std::string_view::npos ? address : address.substr(slash + 1);
}

// "(Live) Band X - Tune Y" -> artist "Band X", title "Tune Y"; a text without
// any "-" is all title.
void SplitArtistTitle(SongInfo& song, std::string_view text) {
    if (text.starts_with('(')) {
        const std::size_t close = text.find(") ");
        if (close != std::string_view::npos) text = text.substr(close + 2);
    }
    std::size_t cut = text.find(" - ");
    std::size_t skip = 3;
    if (cut == std::string_view::npos) {
        cut = text.find('-');
        skip = 1;
    }
    if (cut == std::string_view::npos) {
        song.artist = "N/A";
        song.title = text;
        return;
    }
    song.artist = CliText::Trim(text.substr(0, cut));
    song.title = CliText::Trim(text.substr(cut + skip));
}

void TakeStreamAsAlbum(SongInfo& song) {
    song.album = song.title.IsEmpty() ? song.url : song.title;
    song.albumId = "0";
}

}  // namespace

void ApplyCurrentTitle(SongInfo& song, std::string_view currentTitle) {
    const CascadeString whole(currentTitle);
    if (whole.Contains("http://", CascadeCase::Insensitive)) {
        if (song.album.IsEmpty() || song.album == "N/A") song.album = whole;
        song.title = LastPathPart(currentTitle);
        return;
    }
    TakeStreamAsAlbum(song);
    SplitArtistTitle(song, currentTitle);
}

void ApplyWebTitle(SongInfo& song, std::string_view text) {
    TakeStreamAsAlbum(song);
    if (text.empty()) {
        song.artist = "N/A";
        song.title = song.url;
        return;
    }
    SplitArtistTitle(song, text);
}

void ApplyWebStatusPage(SongInfo& song, std::string_view page) {
    std::string_view text;
    if (FindWebCurrentSong(page, text)) {
        ApplyWebTitle(song, text);
        return;
    }
    AppLog::WriteToLog("cli: no current song on the web status page; the stream keeps its address\n", false);
    song.title = song.url;
}

void CleanUrlTitle(SongInfo& song) {
    if (!song.title.StartsWith("http://", CascadeCase::Insensitive)) return;
    if (song.album.IsEmpty() || song.album == "N/A") song.album = song.title;
    song.title = CascadeString(LastPathPart(song.title.View()));
}

bool FindWebCurrentSong(std::string_view page, std::string_view& text) {
    constexpr std::string_view kMarker = "#currentsong\">";
    const std::size_t at = page.find(kMarker);
    if (at == std::string_view::npos) return false;
    text = page.substr(at + kMarker.size());
    const std::size_t end = text.find('<');
    if (end != std::string_view::npos) text = text.substr(0, end);
    return true;
}

}  // namespace StreamTitle
