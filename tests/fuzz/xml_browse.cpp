// The server's XML browse pages (folders and album artwork), read the way
// the CLI connection reads a fetched page: made UTF-8, parsed, then walked
// by every page reader.
#include "FuzzInput.h"
#include "server/EUtils.h"
#include "server/SongList.h"
#include "server/XmlBrowsePage.h"

#include <tinyxml2.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string text = EUtils::XmlToUtf8(FuzzInput::Text(data, size));
    tinyxml2::XMLDocument document;
    if (document.Parse(text.c_str(), text.size()) != tinyxml2::XML_SUCCESS) return 0;
    (void)XmlBrowsePage::ParseLocation(document);
    BrowseEntryList entries;
    XmlBrowsePage::ParseEntries(document, entries);
    SongList songs;
    XmlBrowsePage::ParseEntries(document, songs);
    for (std::size_t i = 0; i < songs.GetNumEntries(); ++i)
        if (SongInfo* song = songs.Item(i)) (void)song->GetCoverPath();
    BrowseEntryList artwork;
    XmlBrowsePage::ParseArtwork(document, 3, "http://127.0.0.1:9000/", artwork);
    return 0;
}
