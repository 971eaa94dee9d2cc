#include "server/XmlBrowsePage.h"

#include <gtest/gtest.h>

namespace {

constexpr const char* kFolderPage = R"(<?xml version="1.0" encoding="UTF-8"?>
<browse xmlns="http://www.slimdevices.com/slimserver/xml">
  <location>
    <locator><locator_name>Music</locator_name></locator>
    <locator><locator_url>x</locator_url></locator>
    <locator><locator_name>Jazz</locator_name></locator>
  </location>
  <offsets><from>0</from><to>49</to><last>199</last></offsets>
  <browse_entry>
    <entry_type>dir</entry_type><entry_name>Miles &amp; Co</entry_name><entry_id>12</entry_id>
    <dir><dir_hierarchy>3/12</dir_hierarchy><dir_url>file:///music/Jazz/Miles</dir_url></dir>
  </browse_entry>
  <browse_entry>
    <entry_type>song</entry_type><entry_name>So What</entry_name><entry_id>77</entry_id>
    <song><song_id>77</song_id><title>So What</title><artist>Miles Davis</artist><album>Kind of Blue</album>
      <track>1</track><duration>9:22</duration><seconds_total>562</seconds_total>
      <coverart>/music/77/cover.jpg</coverart><unknown>x</unknown></song>
    <replace_url>never read</replace_url>
  </browse_entry>
  <browse_entry>
    <ENTRY_NAME>Caps</ENTRY_NAME><replace_url>status.html?p0=playlist&amp;p1=play&amp;p2=file%3A%2F%2Fa</replace_url>
  </browse_entry>
  <browse_entry><replace_url>status.html?p0=playlist</replace_url></browse_entry>
</browse>)";

TEST(XmlBrowsePageEntries, FoldersSongsAndUrls) {
    tinyxml2::XMLDocument document;
    ASSERT_EQ(tinyxml2::XML_SUCCESS, document.Parse(kFolderPage));
    BrowseEntryList list;
    XmlBrowsePage::ParseEntries(document, list);
    EXPECT_EQ(200u, list.GetTotalCount());
    ASSERT_EQ(4u, list.GetNumEntries());
    EXPECT_EQ("Miles & Co", list.Item(0)->name);
    EXPECT_EQ("3/12", list.Item(0)->id);
    EXPECT_EQ("file:///music/Jazz/Miles", list.Item(0)->url);
    const auto* song = dynamic_cast<const SongInfo*>(list.Item(1));
    ASSERT_NE(nullptr, song);
    EXPECT_EQ("song", song->type);
    EXPECT_EQ("So What", song->name);
    EXPECT_EQ("77", song->id);
    EXPECT_EQ("Miles Davis", song->artist);
    EXPECT_EQ("1", song->trackNum);
    EXPECT_EQ("9:22", song->duration);
    EXPECT_EQ(562, song->secondsTotal);
    EXPECT_EQ("music/77/cover.jpg", song->GetCoverPath());
    EXPECT_EQ("Caps", list.Item(2)->name);
    EXPECT_EQ("file%3A%2F%2Fa", list.Item(2)->url);
    // Without "&p2=" the whole address is kept rather than a guessed part.
    EXPECT_EQ("status.html?p0=playlist", list.Item(3)->url);
    EXPECT_EQ("0", list.Item(3)->id);
    // Locators with names make the breadcrumb.
    EXPECT_EQ("Music / Jazz", XmlBrowsePage::ParseLocation(document));
}

TEST(XmlBrowsePageEntries, WithoutOffsetsTheTotalIsWhatTheListHolds) {
    tinyxml2::XMLDocument document;
    ASSERT_EQ(tinyxml2::XML_SUCCESS,
              document.Parse("<browse><browse_entry><entry_name>a</entry_name></browse_entry></browse>"));
    BrowseEntryList list;
    list.AddEntry(std::make_unique<BrowseEntry>());
    XmlBrowsePage::ParseEntries(document, list);
    EXPECT_EQ(2u, list.GetTotalCount());
}

TEST(XmlBrowsePageEntries, AnEmptyOrForeignDocumentGivesNoEntries) {
    tinyxml2::XMLDocument empty;
    BrowseEntryList list;
    XmlBrowsePage::ParseEntries(empty, list);
    EXPECT_EQ(0u, list.GetNumEntries());
    tinyxml2::XMLDocument other;
    ASSERT_EQ(tinyxml2::XML_SUCCESS, other.Parse("<status><browse_entry/></status>"));
    XmlBrowsePage::ParseEntries(other, list);
    EXPECT_EQ(0u, list.GetNumEntries());
    EXPECT_EQ("", XmlBrowsePage::ParseLocation(other));
}

TEST(XmlBrowsePageArtwork, EntriesPastThePageKeepDefaultsAndCoversAreAbsolute) {
    tinyxml2::XMLDocument document;
    ASSERT_EQ(tinyxml2::XML_SUCCESS,
              document.Parse("<browse><offsets><last>5</last></offsets>"
                             "<browse_entry><entry_name>A BY X (1999)</entry_name><entry_id>3</entry_id>"
                             "<entry_type>coverart</entry_type><coverart>/music/40/cover.jpg</coverart></browse_entry>"
                             "<browse_entry><entry_name>B</entry_name><entry_id>4</entry_id></browse_entry>"
                             "<browse_entry><entry_name>C</entry_name><entry_id>5</entry_id></browse_entry>"
                             "</browse>"));
    BrowseEntryList list;
    XmlBrowsePage::ParseArtwork(document, 1, "http://127.0.0.1:9000", list);
    ASSERT_EQ(3u, list.GetNumEntries());
    EXPECT_EQ("http://127.0.0.1:9000/music/40/cover.jpg", list.Item(0)->url);
    EXPECT_EQ("3", list.Item(0)->id);
    EXPECT_EQ("B", list.Item(1)->name);
    EXPECT_EQ("", list.Item(2)->name);
    EXPECT_EQ("0", list.Item(2)->id);
    EXPECT_EQ(6u, list.GetTotalCount());
}

}  // namespace
