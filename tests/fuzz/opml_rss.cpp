// OPML outlines and RSS feeds (radio picks, podcasts, the Favorites file):
// the whole document is read into a tree, the tree is walked without
// fetching anything, and written back as a Favorites file, which must read
// again with the same number of entries at the top.
#include "FuzzInput.h"
#include "radio/OPMLNode.h"

#include <cstdio>
#include <cstdlib>

namespace {

void Walk(OPMLNode& node, int depth) {
    (void)node.IsLoadable();
    if (depth > 64) return;
    const unsigned long count = node.ChildCount(OPMLNode::Load::No);
    for (unsigned long i = 0; i < count; ++i)
        if (OPMLNode* child = node.Child(i, OPMLNode::Load::No)) Walk(*child, depth + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    OPMLNode root;
    if (!root.ParseDocument(FuzzInput::Text(data, size), "fuzz")) return 0;
    Walk(root, 0);
    const std::string saved = root.ToFavoritesXml();
    OPMLNode again;
    const bool read = again.ParseDocument(saved, "fuzz-saved");
    const unsigned long before = root.ChildCount(OPMLNode::Load::No);
    if (before > 0 && (!read || again.ChildCount(OPMLNode::Load::No) != before)) {
        std::fprintf(stderr, "opml: %lu entries written, %lu read back\n", before,
                     again.ChildCount(OPMLNode::Load::No));
        std::abort();
    }
    return 0;
}
