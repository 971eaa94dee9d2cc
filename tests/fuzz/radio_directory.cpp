// The radio directory feeds: Shoutcast's genre and station lists and the
// Steamcast and Xiph station directories. The first byte picks the reader;
// the rest is the document.
#include "FuzzInput.h"
#include "radio/GenreNormaliser.h"
#include "radio/InternetRadio.h"
#include "radio/RadioDirectories.h"
#include "radio/StationDirectory.h"
#include "server/BrowseEntryList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static const GenreNormaliser s_genres;
    static const RadioDirectories s_directories;
    const std::string_view bytes = FuzzInput::Text(data + 1, size - 1);
    BrowseEntryList list;
    switch (data[0] % 4) {
        case 0: (void)InternetRadio::ParseShoutcastGenres(bytes, list); break;
        case 1: (void)InternetRadio::ParseShoutcastStations(bytes, s_directories, list); break;
        default: {
            const auto format = data[0] % 4 == 2 ? StationDirectory::Format::Steamcast : StationDirectory::Format::Xiph;
            const auto directory = StationDirectory::Parse(bytes, format, s_genres, "fuzz");
            if (!directory) break;
            directory->AddGenres(list, "genre");
            BrowseEntryList stations;
            directory->AddStations(stations, nullptr);
            if (list.GetNumEntries() > 0) directory->AddStations(stations, list.Item(0)->name.c_str());
            break;
        }
    }
    return 0;
}
