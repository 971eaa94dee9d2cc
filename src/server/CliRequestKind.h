#pragma once

#include <string_view>

// Tells the CLI requests that may be sent a second time from those that must
// not be. A query (a request ending in "?", or one of the server's list and
// status queries) changes nothing on the server, so a query whose link broke
// before its reply can simply be asked again on the next link. A command
// ("playlist delete 3", "time +30", "playlistcontrol cmd:add ...") may have
// run before the server closed the link: sending it again could run it twice.
class CliRequestKind {
public:
    // True for a query. `request` is one request line, with or without its
    // line feed, with or without the player id in front. Pure; any thread.
    static bool IsQuery(std::string_view request);
};
