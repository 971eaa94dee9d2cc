// CLI replies: each input line is the server's reply to the next request a
// fixed round of the connection's queries makes (version, articles, totals,
// the player status, every list page, track info, the playlist and a
// start-letter search). A stand-in server on the other end of a socket pair
// answers each request line with the next input line; once the input is
// used up it closes the link and the remaining requests fail as on a dead
// server. The whole input is also read as the web status page a stream's
// title comes from.
#include "FuzzInput.h"
#include "server/SlimCLIConnection.h"
#include "server/SongList.h"
#include "server/StreamTitle.h"

#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

namespace {

// Reads request lines from `fd` and answers each with the next reply, then
// closes its end.
void Serve(int fd, const std::vector<std::string_view>& replies) {
    std::size_t next = 0;
    char buffer[512];
    while (next < replies.size()) {
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        for (ssize_t i = 0; i < got && next < replies.size(); ++i) {
            if (buffer[i] != '\n') continue;
            std::string reply(replies[next++]);
            reply += '\n';
            if (::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL) != ssize_t(reply.size())) next = replies.size();
        }
    }
    ::close(fd);
}

void AskEverything(SlimCLIConnection& cli) {
    (void)cli.GetVersion();
    (void)cli.GetIgnores(true);
    (void)cli.GetTotal("genres");
    (void)cli.GetTotal("songs", "genre_id:1");
    SlimConnection::PlayerStatus status;
    cli.GetPlayerStatus(status, 5);
    BrowseEntryList genres, artists, albums, playlists;
    cli.GetGenres(0, 10, genres);
    cli.GetArtists(0, 10, artists);
    cli.GetAlbums(2, 0, 10, albums);
    cli.GetPlaylists(0, 10, playlists);
    SongList tracks;
    cli.GetTracks(1, 2, 3, 0, 10, tracks);
    for (std::size_t i = 0; i < tracks.GetNumEntries(); ++i)
        if (SongInfo* song = tracks.Item(i)) (void)song->GetCoverPath();
    SongInfo song;
    cli.GetTrackInfo(7, song);
    SongList playlist;
    cli.GetCurrentPlaylist(0, 10, playlist, true);
    (void)cli.GetArtistStartIndex('M', 0, 10, SlimConnection::Direction::Forward);
    (void)cli.ToggleShuffle();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::vector<std::string_view> replies = FuzzInput::Lines(FuzzInput::Text(data, size));
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return 0;
    std::thread server(Serve, fds[0], std::cref(replies));
    {
        SlimCLIConnection cli;
        cli.SetPlayerId("00:04:20:12:34:56");
        if (cli.Attach(fds[1])) AskEverything(cli);
        else ::close(fds[1]);
    }
    server.join();
    SongInfo stream;
    stream.url = "http://127.0.0.1:8000/stream";
    StreamTitle::ApplyWebStatusPage(stream, FuzzInput::Text(data, size));
    return 0;
}
