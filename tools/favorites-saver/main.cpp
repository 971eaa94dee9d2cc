// favorites-saver <path> [entries]: saves a Favorites file at <path> over and
// over, alternating between two lists (list A of `entries` stations, 200 by
// default, and list B of one more), until it is killed. Prints "saved" after
// the first save. The kill -9 reliability test runs it and kills it at random
// moments: the file must then always read as list A or list B.

#include "radio/FavoritesFile.h"
#include "radio/OPMLNode.h"
#include "server/EUtils.h"

#include <cstdio>
#include <string>

namespace {

void Fill(OPMLNode& root, long entries, char list) {
    for (long i = 0; i < entries; ++i) {
        const std::string n = std::to_string(i);
        const std::string text = std::string("List ") + list + " station " + n + " with a title long enough to fill";
        const std::string url = "http://stations.example/" + n + "/tunein-station.pls?id=" + n + "&list=" + list;
        root.AddChild(text.c_str(), url.c_str(), "audio");
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: favorites-saver <path> [entries]\n");
        return 2;
    }
    const long entries = argc > 2 ? long(EUtils::ParseDecimal(argv[2])) : 200;
    OPMLNode a, b;
    Fill(a, entries, 'A');
    Fill(b, entries + 1, 'B');
    FavoritesFile file(argv[1]);
    for (unsigned long round = 0;; ++round) {
        if (!file.Save(round % 2 == 0 ? a : b)) return 1;
        if (round == 0) {
            std::puts("saved");
            std::fflush(stdout);
        }
    }
}
