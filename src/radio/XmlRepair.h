#pragma once

#include <string>
#include <string_view>

// Text passes that let a real-world feed reach the XML parser. Pure
// functions over UTF-8 text without state; any thread. Neither looks at
// what a document names (a DTD, an entity's system id): nothing is fetched.
namespace XmlRepair {

// `text` without its document type declaration: when a "<!DOCTYPE" stands
// in the prolog (before the first element), it is cut out together with its
// internal subset (everything up to the "]>" that closes it, quoted strings
// and parameter entities included) or, without a subset, up to its ">".
// Everything else is kept. A declaration that never ends cuts the rest.
std::string StripDoctype(std::string_view text);

// `text` rewritten so that a lenient reading of it is well-formed: an end
// tag that closes an element further out also closes the ones in between,
// one that matches no open element is dropped; elements still open at the
// end are closed; a tag cut off by the end of the text is dropped;
// attributes lose duplicates and get quotes (a bare name becomes name="");
// a "<" that starts no markup and a bare "&" become text. Well-formed input
// comes back with the same elements, attributes and text. `repairs` counts
// the changes made.
std::string Balance(std::string_view text, unsigned& repairs);

}  // namespace XmlRepair
