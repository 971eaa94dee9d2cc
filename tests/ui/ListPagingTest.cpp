#include "ui/ListPaging.h"

#include <gtest/gtest.h>

namespace {

struct PageCase {
    unsigned long total, rows;
    long asked;
    unsigned long page, pages, start, onPage;
    const char* label;
};

TEST(ListPaging, PageZeroIsTheLastAndBeyondTheLastIsTheFirst) {
    const PageCase cases[] = {
        {100, 10, 1, 1, 10, 0, 10, "Page 1 of 10"},
        {100, 10, 10, 10, 10, 90, 10, "Page 10 of 10"},
        {100, 10, 0, 10, 10, 90, 10, "Page 10 of 10"},
        {100, 10, 11, 1, 10, 0, 10, "Page 1 of 10"},
        {101, 10, 0, 11, 11, 100, 1, "Page 11 of 11"},
        {101, 10, -1, 11, 11, 100, 1, "Page 11 of 11"},
        {9, 10, 1, 1, 1, 0, 9, "Page 1 of 1"},
        {9, 10, 2, 1, 1, 0, 9, "Page 1 of 1"},
        {0, 10, 0, 1, 1, 0, 0, "Page 1 of 1"},
        {0, 10, 5, 1, 1, 0, 0, "Page 1 of 1"},
        {5, 0, 3, 3, 5, 2, 1, "Page 3 of 5"},  // no rows counts as one
    };
    for (const PageCase& c : cases) {
        SCOPED_TRACE(c.label);
        ListPaging paging(c.rows);
        paging.SetTotal(c.total);
        EXPECT_EQ(c.page, paging.SetPage(c.asked));
        EXPECT_EQ(c.pages, paging.GetPageCount());
        EXPECT_EQ(c.start, paging.GetStartIndex());
        EXPECT_EQ(c.onPage, paging.GetRowsOnPage());
        EXPECT_EQ(c.label, paging.GetLabel());
    }
}

TEST(ListPaging, WithoutATotalEveryPageIsTheFirst) {
    ListPaging paging(9);
    EXPECT_EQ(1u, paging.SetPage(0));
    EXPECT_EQ(1u, paging.SetPage(4));
    paging.SetTotal(30);
    EXPECT_EQ(4u, paging.SetPage(0));
    paging.Reset();
    EXPECT_FALSE(paging.HasTotal());
    EXPECT_EQ(1u, paging.GetPage());
    EXPECT_EQ("Page 1 of 1", paging.GetLabel());
}

TEST(ListPaging, NextAndPreviousWrapAtBothEnds) {
    ListPaging paging(10);
    paging.SetTotal(25);
    EXPECT_EQ(2u, paging.NextPage());
    EXPECT_EQ(3u, paging.NextPage());
    EXPECT_TRUE(paging.IsLastPage());
    EXPECT_EQ(1u, paging.NextPage());
    EXPECT_TRUE(paging.IsFirstPage());
    EXPECT_EQ(3u, paging.PreviousPage());
    EXPECT_EQ(5u, paging.GetRowsOnPage());
    EXPECT_EQ(3u, paging.PageOfIndex(24));
    EXPECT_EQ(1u, paging.PageOfIndex(9));
    EXPECT_EQ(2u, paging.PageOfIndex(10));
    EXPECT_EQ(20u, paging.GetStartIndex(3));
}

}  // namespace
