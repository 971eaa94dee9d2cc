#include "server/BrowseEntryList.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

std::unique_ptr<BrowseEntry> Named(const char* name) {
    auto entry = std::make_unique<BrowseEntry>();
    entry->name = name;
    return entry;
}

std::string Names(const BrowseEntryList& list) {
    std::string names;
    for (std::size_t i = 0; i < list.GetNumEntries(); ++i) names += std::string(i ? "," : "") + list.Item(i)->name.c_str();
    return names;
}

BrowseEntryList Parsed(const char* key, const char* reply) {
    BrowseEntryList list;
    list.SetKey(key);
    list.ParseEntryList(reply);
    return list;
}

// --- Named-item replies: genres, artists, albums, playlists ---

// "id|name" per entry, joined by ",".
std::string Entries(const BrowseEntryList& list) {
    std::string out;
    for (std::size_t i = 0; i < list.GetNumEntries(); ++i)
        out += std::string(i ? "," : "") + list.Item(i)->id.c_str() + "|" + list.Item(i)->name.c_str();
    return out;
}

TEST(BrowseEntryListReply, IdsNamesAndTotals) {
    struct Case {
        const char *key, *reply, *entries;
        unsigned long total;
    } const cases[] = {
        {"genre", "genres 0 2 count%3A7 id%3A3 genre%3AAcid%20Jazz id%3A5 genre%3ABlues", "3|Acid Jazz,5|Blues", 7},
        {"artist", "genres 0 2 count%3A7 id%3A3 genre%3AAcid%20Jazz id%3A5 genre%3ABlues", "3|,5|", 7},  // key mismatch
        {"genre",
         "genres 0 10 count%3A3 id%3A1 genre%3AAlternative%20%26%20Punk id%3A2 genre%3A%C3%89lectronique id%3A3 "
         "genre%3AC%2BC%20Music",
         "1|Alternative & Punk,2|\xC3\x89lectronique,3|C+C Music", 3},
        {"artist", "artists 0 1 count%3A1 id%3A9 artist%3A100%ZZ%20Pure%2", "9|100%ZZ Pure%2", 1},  // broken escape kept
        {"album", "albums 0 2 count%3A2 id%3A12 album%3A id%3A13", "12|,13|", 2},
        {"album", "albums 0 1 count%3Aabc id%3A2 album%3AY", "2|Y", 0},
        {"playlist", "playlists 0 10 count%3A1 id%3A55 playlist%3AParty%20Mix", "55|Party Mix", 1},
        {"title", "x 0 2 count%3A2 index%3A0 title%3AOne id%3A40 index%3A1 title%3ATwo id%3A41", "40|One,41|Two", 2},
        // Every answered query sets the total, also one that found nothing;
        // only no answer at all keeps what the list had.
        {"album", "albums 0 10 count%3A0", "", 0},
        {"album", "albums 0 10 genre_id%3A999 count%3A0", "", 0},
        {"album", "albums 0 10 count%3A3", "", 3},
        {"album", "albums 0 10", "", 0},
        {"album", "", "", 42},
    };
    for (const Case& c : cases) {
        BrowseEntryList list;
        list.SetTotalCount(42);
        list.SetKey(c.key);
        list.ParseEntryList(c.reply);
        EXPECT_EQ(c.entries, Entries(list)) << c.reply;
        EXPECT_EQ(c.total, list.GetTotalCount()) << c.reply;
    }
    EXPECT_GT(Parsed("album", "albums 0 1 count%3A99999999999999999999999 id%3A1 album%3AX").GetTotalCount(),
              1000000000u);  // saturates, never wraps
}

TEST(BrowseEntryListReply, ItemsAreAppendedToWhatTheListHolds) {
    BrowseEntryList list;
    list.SetKey("genre");
    list.ParseEntryList("genres 0 1 count%3A2 id%3A1 genre%3AA");
    list.ParseEntryList("genres 1 1 count%3A2 id%3A2 genre%3AB");
    EXPECT_EQ("A,B", Names(list));
}

// --- Alphabetical insertion ---

// Before the first equal-or-greater name ignoring case, so equal names put
// the newest first.
TEST(BrowseEntryListOrder, AlphaInsert) {
    struct Case {
        std::vector<const char*> before;
        const char* name;
        std::size_t at;
        const char* after;
    } const cases[] = {
        {{"Alpha", "Gamma"}, "beta", 1, "Alpha,beta,Gamma"},
        {{"Alpha", "Beta"}, "beta", 1, "Alpha,beta,Beta"},
        {{}, "Gamma", 0, "Gamma"},
        {{"Gamma"}, "beta", 0, "beta,Gamma"},
        {{"beta", "Gamma"}, "zulu", 2, "beta,Gamma,zulu"},
    };
    for (const Case& c : cases) {
        BrowseEntryList list;
        for (const char* name : c.before) list.AddEntry(Named(name));
        EXPECT_EQ(c.at, list.AlphaInsertEntry(Named(c.name))) << c.after;
        EXPECT_EQ(c.after, Names(list));
    }
}

// --- Ownership and lookup ---

TEST(BrowseEntryListOwnership, RemoveHandsTheEntryOverAndIgnoresBadIndexes) {
    BrowseEntryList list;
    list.AddEntry(Named("a"));
    list.AddEntry(Named("b"));
    EXPECT_EQ(nullptr, list.RemoveAtIndex(2));
    const std::unique_ptr<BrowseEntry> taken = list.RemoveAtIndex(0);
    ASSERT_NE(nullptr, taken);
    EXPECT_EQ("a", taken->name);
    EXPECT_EQ("b", Names(list));
    EXPECT_EQ(nullptr, list.Item(1));
}

TEST(BrowseEntryListOwnership, ClearKeepsTheTotal) {
    BrowseEntryList list;
    list.AddEntry(Named("a"));
    list.SetTotalCount(9);
    list.Clear();
    EXPECT_EQ(0u, list.GetNumEntries());
    EXPECT_EQ(9u, list.GetTotalCount());
}

TEST(BrowseEntryListLookup, ContainsMatchesIdAndNameUnderTheGivenCase) {
    BrowseEntryList list;
    EXPECT_EQ(-1, list.Contains(nullptr, nullptr, CascadeCase::Sensitive));
    list.AddEntry(Named("Rock"));
    auto jazz = Named("Jazz");
    jazz->id = "7";
    list.AddEntry(std::move(jazz));
    EXPECT_EQ(0, list.Contains(nullptr, nullptr, CascadeCase::Sensitive));
    EXPECT_EQ(1, list.Contains("7", nullptr, CascadeCase::Sensitive));
    EXPECT_EQ(-1, list.Contains("7", "jazz", CascadeCase::Sensitive));
    EXPECT_EQ(1, list.Contains("7", "jazz", CascadeCase::Insensitive));
    EXPECT_EQ(-1, list.Contains("8", nullptr, CascadeCase::Insensitive));
}

}  // namespace
