// Internet radio: loading and normalising a 10,000-station Xiph directory,
// filtering it by genre, and the fetches a podcast outline costs when it is
// opened again and again.
#include "radio/GenreNormaliser.h"
#include "radio/InternetRadio.h"
#include "radio/StationDirectory.h"

#include <benchmark/benchmark.h>

#ifdef QUENDREL_BENCH_HTTP
#include "support/LocalHttpServer.h"
#endif

#include <fstream>
#include <sstream>
#include <string>

namespace {

constexpr int kStations = 10000;

std::string ReadSample(const char* name) {
    std::ifstream in(std::string(QUENDREL_SOURCE_DIR) + "/tests/radio/data/" + name, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The real 2007 directory's 300 entries repeated to 10,000, each with its
// own listen URL, inside the original header and closing text.
const std::string& XiphDirectory10k() {
    static const std::string document = [] {
        const std::string sample = ReadSample("xiph/yp-2007-esperanza-first300.xml");
        const std::size_t first = sample.find("<entry>");
        const std::size_t end = sample.rfind("</entry>") + 8;
        std::vector<std::string> entries;
        for (std::size_t at = first; at < end;) {
            const std::size_t close = sample.find("</entry>", at) + 8;
            entries.push_back(sample.substr(at, close - at));
            at = sample.find("<entry>", close);
            if (at == std::string::npos) break;
        }
        std::string out = sample.substr(0, first);
        for (int i = 0; i < kStations; ++i) {
            std::string entry = entries[std::size_t(i) % entries.size()];
            const std::size_t url = entry.find("</listen_url>");
            if (url != std::string::npos) entry.insert(url, "?copy=" + std::to_string(i));
            out += entry;
            out += "\n  ";
        }
        out += sample.substr(end);
        return out;
    }();
    return document;
}

void BM_XiphLoadAndNormalise10k(benchmark::State& state) {
    const GenreNormaliser genres;
    const std::string& document = XiphDirectory10k();
    for (auto _ : state) {
        auto directory = StationDirectory::Parse(document, StationDirectory::Format::Xiph, genres, "bench");
        if (!directory || directory->Stations().size() != kStations) state.SkipWithError("directory not read");
        benchmark::DoNotOptimize(directory);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(document.size()));
}
BENCHMARK(BM_XiphLoadAndNormalise10k)->Unit(benchmark::kMillisecond);

void BM_XiphFilterByGenre10k(benchmark::State& state, const char* genre) {
    const GenreNormaliser genres;
    auto directory = StationDirectory::Parse(XiphDirectory10k(), StationDirectory::Format::Xiph, genres, "bench");
    std::size_t found = 0;
    for (auto _ : state) {
        BrowseEntryList list;
        directory->AddStations(list, genre);
        found = list.GetNumEntries();
        benchmark::DoNotOptimize(list);
    }
    state.counters["stations"] = double(found);
}
BENCHMARK_CAPTURE(BM_XiphFilterByGenre10k, Rock, "Rock")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_XiphFilterByGenre10k, MiscGenre, "Misc Genre")->Unit(benchmark::kMillisecond);

void BM_XiphGenreList10k(benchmark::State& state) {
    const GenreNormaliser genres;
    auto directory = StationDirectory::Parse(XiphDirectory10k(), StationDirectory::Format::Xiph, genres, "bench");
    for (auto _ : state) {
        BrowseEntryList list;
        directory->AddGenres(list, "xiph");
        benchmark::DoNotOptimize(list);
    }
}
BENCHMARK(BM_XiphGenreList10k)->Unit(benchmark::kMillisecond);

#ifdef QUENDREL_BENCH_HTTP
// Each iteration: a fresh radio browser opens every podcast directory five
// times. Reports the fetches per outline (the target is exactly 1).
void BM_PodcastOutlineOpen(benchmark::State& state) {
    LocalHttpServer server;
    if (!server.Start()) {
        state.SkipWithError("no local server");
        return;
    }
    const std::string outline = ReadSample("opml/digitalpodcast-top-rated-2017.opml");
    for (const char* path : {"/xml_podnova.opml", "/opml/digitalpodcast.opml", "/opml/digitalpodcastnew.opml",
                             "/opml/digitalpodcasttoprated.opml", "/opml/digitalpodcastmostviewed.opml",
                             "/opml/digitalpodcastmostsubscribed.opml", "/PodcastAlleyTop50.opml",
                             "/PodcastAlley10Newest.opml", "/directory/libsyn.opml"})
        server.Route(path, LocalHttpServer::Body(outline, "text/xml"));
    std::size_t outlines = 0;
    for (auto _ : state) {
        InternetRadio::Options options;
        options.favoritesPath = "/nonexistent/Favorites.xml";
        options.directories = RadioDirectories(server.Url(""));
        InternetRadio radio(std::move(options));
        OPMLNode* podcasts = radio.GetPodcasts();
        for (int open = 0; open < 5; ++open)
            for (unsigned long i = 0; i < podcasts->ChildCount(OPMLNode::Load::No); ++i)
                benchmark::DoNotOptimize(podcasts->Child(i, OPMLNode::Load::No)->ChildCount(OPMLNode::Load::Yes));
        outlines += podcasts->ChildCount(OPMLNode::Load::No);
    }
    state.counters["fetches_per_outline"] = double(server.Requests().size()) / double(outlines);
}
BENCHMARK(BM_PodcastOutlineOpen)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
