#include "server/BrowseEntryList.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

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

TEST(BrowseEntryListReply, GenresGiveIdsNamesAndTheTotal) {
    const auto list = Parsed("genre", "genres 0 2 count%3A7 id%3A3 genre%3AAcid%20Jazz id%3A5 genre%3ABlues");
    EXPECT_EQ(7u, list.GetTotalCount());
    ASSERT_EQ(2u, list.GetNumEntries());
    EXPECT_EQ("3", list.Item(0)->id);
    EXPECT_EQ("Acid Jazz", list.Item(0)->name);
    EXPECT_EQ("5", list.Item(1)->id);
    EXPECT_EQ("Blues", list.Item(1)->name);
}

TEST(BrowseEntryListReply, AKeyThatDoesNotMatchLeavesNamesEmpty) {
    const auto list = Parsed("artist", "genres 0 2 count%3A7 id%3A3 genre%3AAcid%20Jazz id%3A5 genre%3ABlues");
    ASSERT_EQ(2u, list.GetNumEntries());
    EXPECT_EQ("", list.Item(0)->name);
    EXPECT_EQ("5", list.Item(1)->id);
}

// Every answered query sets the total, also one that found nothing; only no
// answer at all keeps what the list had.
TEST(BrowseEntryListReply, EveryAnsweredQuerySetsTheTotal) {
    struct Case {
        const char* reply;
        unsigned long total;
    } const cases[] = {
        {"albums 0 10 count%3A0", 0},
        {"albums 0 10 genre_id%3A999 count%3A0", 0},
        {"albums 0 10 count%3A3", 3},
        {"albums 0 10", 0},
        {"albums 0 10 count%3A2 id%3A1 album%3AA id%3A2 album%3AB", 2},
        {"", 42},
    };
    for (const Case& c : cases) {
        BrowseEntryList list;
        list.SetTotalCount(42);
        list.SetKey("album");
        list.ParseEntryList(c.reply);
        EXPECT_EQ(c.total, list.GetTotalCount()) << c.reply;
    }
}

TEST(BrowseEntryListReply, EscapesDecodeToUtf8AndPlusSigns) {
    const auto list = Parsed("genre",
                             "genres 0 10 count%3A3 id%3A1 genre%3AAlternative%20%26%20Punk id%3A2 "
                             "genre%3A%C3%89lectronique id%3A3 genre%3AC%2BC%20Music");
    ASSERT_EQ(3u, list.GetNumEntries());
    EXPECT_EQ("Alternative & Punk", list.Item(0)->name);
    EXPECT_EQ("\xC3\x89lectronique", list.Item(1)->name);
    EXPECT_EQ("C+C Music", list.Item(2)->name);
}

TEST(BrowseEntryListReply, ABrokenEscapeIsKeptAndNeverCutsTheName) {
    const auto list = Parsed("artist", "artists 0 1 count%3A1 id%3A9 artist%3A100%ZZ%20Pure%2");
    ASSERT_EQ(1u, list.GetNumEntries());
    EXPECT_EQ("100%ZZ Pure%2", list.Item(0)->name);
}

TEST(BrowseEntryListReply, EmptyNameAndMissingNameFieldGiveEmptyNames) {
    const auto list = Parsed("album", "albums 0 2 count%3A2 id%3A12 album%3A id%3A13");
    ASSERT_EQ(2u, list.GetNumEntries());
    EXPECT_EQ("", list.Item(0)->name);
    EXPECT_EQ("13", list.Item(1)->id);
}

TEST(BrowseEntryListReply, HugeAndMalformedCountsDoNotWrap) {
    auto list = Parsed("album", "albums 0 1 count%3A99999999999999999999999 id%3A1 album%3AX");
    EXPECT_GT(list.GetTotalCount(), 1000000000u);
    list.SetTotalCount(5);
    list.ParseEntryList("albums 0 1 count%3Aabc id%3A2 album%3AY");
    EXPECT_EQ(0u, list.GetTotalCount());
    EXPECT_EQ(2u, list.GetNumEntries());
}

TEST(BrowseEntryListReply, PlaylistsReadThePlaylistField) {
    const auto list = Parsed("playlist", "playlists 0 10 count%3A1 id%3A55 playlist%3AParty%20Mix");
    ASSERT_EQ(1u, list.GetNumEntries());
    EXPECT_EQ("55", list.Item(0)->id);
    EXPECT_EQ("Party Mix", list.Item(0)->name);
}

TEST(BrowseEntryListReply, TitleKeyReadsIndexedItems) {
    const auto list = Parsed("title", "x 0 2 count%3A2 index%3A0 title%3AOne id%3A40 index%3A1 title%3ATwo id%3A41");
    ASSERT_EQ(2u, list.GetNumEntries());
    EXPECT_EQ("40", list.Item(0)->id);
    EXPECT_EQ("One", list.Item(0)->name);
    EXPECT_EQ("41", list.Item(1)->id);
}

TEST(BrowseEntryListReply, ItemsAreAppendedToWhatTheListHolds) {
    BrowseEntryList list;
    list.SetKey("genre");
    list.ParseEntryList("genres 0 1 count%3A2 id%3A1 genre%3AA");
    list.ParseEntryList("genres 1 1 count%3A2 id%3A2 genre%3AB");
    EXPECT_EQ("A,B", Names(list));
}

// --- Alphabetical insertion ---

TEST(BrowseEntryListOrder, AlphaInsertGoesBeforeTheFirstEqualOrGreaterIgnoringCase) {
    BrowseEntryList list;
    list.AddEntry(Named("Alpha"));
    list.AddEntry(Named("Gamma"));
    EXPECT_EQ(1u, list.AlphaInsertEntry(Named("beta")));
    EXPECT_EQ("Alpha,beta,Gamma", Names(list));
}

TEST(BrowseEntryListOrder, EqualNamesPutTheNewestFirst) {
    BrowseEntryList list;
    list.AddEntry(Named("Alpha"));
    list.AddEntry(Named("Beta"));
    list.AlphaInsertEntry(Named("beta"));
    EXPECT_EQ("Alpha,beta,Beta", Names(list));
}

TEST(BrowseEntryListOrder, InsertsAtTheFrontAndIntoAnEmptyList) {
    BrowseEntryList list;
    EXPECT_EQ(0u, list.AlphaInsertEntry(Named("Gamma")));
    EXPECT_EQ(0u, list.AlphaInsertEntry(Named("beta")));
    EXPECT_EQ(2u, list.AlphaInsertEntry(Named("zulu")));
    EXPECT_EQ("beta,Gamma,zulu", Names(list));
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
