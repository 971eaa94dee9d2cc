#pragma once

#include "server/BrowseEntryList.h"
#include "server/ETokenArray.h"
#include "server/SlimConnection.h"

#include <functional>

// The start-letter search over a list the server hands out page by page.
// Pure logic: the pages come from a fetch function. Any thread.
namespace LetterSearch {

// Fills `page` with the entries [pos, pos + count) and sets its total count.
using FetchPage = std::function<void(long pos, unsigned short count, BrowseEntryList& page)>;

// Examines one page: 0 with `index` set when an entry's name (past an ignored
// article followed by a space) begins with `letter`; -1 when the letter sorts
// before the page's first name; 1 when it lies after the page (also for an
// empty page). Letters compare after folding codes below 91 up by 32.
int Match(const BrowseEntryList& page, char letter, const ETokenArray* ignores, long& index);

// Walks pages from `start`: forward, the first hit, or -1 when the list ends
// first; backward, the earliest hit of the run of pages holding the letter.
// A page size of 0 finds nothing.
long Find(const FetchPage& fetch, char letter, long start, unsigned short pageSize,
          SlimConnection::Direction direction, const ETokenArray* ignores);

}  // namespace LetterSearch
