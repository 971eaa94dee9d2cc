#pragma once

#include "server/ETokenArray.h"

#include <optional>

// The arithmetic of the alphabet jumps in the library lists, apart from the
// server: which letter a name sorts under, which letter a jump searches
// first, where the search starts and which page its answer lands on. Pages
// are 1-based; entry indexes are 0-based and count the entries only (not
// the "All" row). Pure functions, any thread.
namespace LetterJump {

// The letter a name sorts under: its first character, capitals made small
// (codes below '[' gain 32); past a leading ignored article followed by one
// blank (compared ignoring case) the character after it, by the same rule.
// An accented Latin letter counts as its plain letter, as the server sorts
// it ("Élan" under e); other non-ASCII first letters sort past 'z' (bytes
// are taken unsigned). An empty name gives '\0' + 32.
char StartLetter(const char* name, const ETokenArray* ignores);

// The first letter a forward jump asks for, from the start letter of the
// page's last name: the letter after it, at least 'a'; none past 'z' (the
// jump then goes to page 1 without a search).
std::optional<char> ForwardLetter(char lastNameLetter);
// The first letter a backward jump asks for, from the start letter of the
// page's first name: the letter before it, at most 'z'; none below 'a' (the
// jump then goes to page 1 without a search).
std::optional<char> BackwardLetter(char firstNameLetter);

// Where the searches start: forward, the first entry after the current page;
// backward, the first entry of the current page (or of the last page when
// that would be 0).
long ForwardSearchStart(unsigned long page, unsigned long pageSize);
long BackwardSearchStart(unsigned long page, unsigned long pageCount, unsigned long pageSize);

// The page a found entry lands on: the page holding it, both ways (a
// backward jump rounds up like a forward one, so the entry it found is on
// the page shown). Not found: page 1 forward, page 0 (the last page)
// backward.
unsigned long ForwardPage(long index, unsigned long pageSize);
unsigned long BackwardPage(long index, unsigned long pageSize);

}  // namespace LetterJump
