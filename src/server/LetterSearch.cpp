#include "server/LetterSearch.h"

#include "app/base/AppLog.h"

#include <strings.h>

#include <cstring>

namespace LetterSearch {

namespace {

char Fold(char c) { return static_cast<signed char>(c) < 91 ? char(c + 32) : c; }

const char* SkipArticles(const char* name, const ETokenArray* ignores) {
    if (!ignores) return name;
    for (std::size_t a = 0; a < ignores->GetNumTokens(); ++a) {
        const char* article = ignores->TokenAt(a);
        const std::size_t length = std::strlen(article);
        if (length == 0) continue;
        if (strncasecmp(name, article, length) == 0 && name[length] == ' ') name += length + 1;
    }
    return name;
}

}  // namespace

int Match(const BrowseEntryList& page, char letter, const ETokenArray* ignores, long& index) {
    const char folded = Fold(letter);
    const std::size_t count = page.GetNumEntries();
    for (std::size_t i = 0; i < count; ++i) {
        const char* name = SkipArticles(page.Item(i)->name.c_str(), ignores);
        const char ch = Fold(name[0]);
        AppLog::WriteToLog("start: %c\tcompare: %c\t%s\n", false, folded, ch, name);
        if (ch == folded) {
            index = long(i);
            return 0;
        }
        if (i == 0 && folded < ch) return -1;
        if (i + 1 == count && ch < folded) return 1;
    }
    return 1;
}

long Find(const FetchPage& fetch, char letter, long start, unsigned short pageSize,
          SlimConnection::Direction direction, const ETokenArray* ignores) {
    const bool forward = direction == SlimConnection::Direction::Forward;
    if (pageSize == 0) return -1;
    BrowseEntryList page;
    long pos = start;
    long match = -1;
    while (true) {
        if (page.GetTotalCount() != 0) {
            if (forward && long(page.GetTotalCount()) < pos) return -1;
            if (!forward && pos < 0) return match;
        }
        if (!forward && pos < 0) return match;
        page.Clear();
        fetch(pos, pageSize, page);
        if (forward && page.GetNumEntries() == 0) return -1;
        long offset = 0;
        const int r = Match(page, letter, ignores, offset);
        if (r == 0 && forward) return pos + offset;
        if (r == 0) match = pos + offset;
        if (r != 0 && forward) {
            pos += pageSize;
            continue;
        }
        if (r == 1) return match;
        pos -= pageSize;
    }
}

}  // namespace LetterSearch
