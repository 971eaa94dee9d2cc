#pragma once

#include "platform/CascadeString.h"

#include <tinyxml2.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class RadioFetch;

// One entry of an OPML outline (or of an RSS channel read as an outline): a
// folder, a feed or outline to be opened, or a playable stream. Nodes read
// themselves from a URL, a file or bytes, load the children of a remote
// outline when first opened, and write a tree as the Favorites file.
//
// Threads: no lock. A tree is read and loaded on one thread at a time (the
// radio browser's loader, or its UI thread) and edited on its UI thread,
// never both at once. Remote loads go through the RadioFetch the node was
// given (shared by its tree, owned by the caller, outliving the tree); a
// node without one fetches with the default limits.
class OPMLNode {
public:
    enum class Source { Url, File };
    enum class Load { No, Yes };

    static constexpr const char* kFavoritesTitle = "Quendrel Favorites";

    OPMLNode() = default;
    // A deep copy of `source` (text, type, URL and the children it has
    // already loaded; nothing is fetched), with `parent` as its parent.
    OPMLNode(const OPMLNode& source, OPMLNode* parent);
    // An empty node that then reads `source`: a URL (fetched at once; the
    // URL is kept so that an outline that could not be fetched is tried
    // again when it is opened) or a local file. Nothing is added when the
    // source cannot be read or is neither OPML nor RSS.
    OPMLNode(const char* source, Source kind, RadioFetch* fetch = nullptr);
    OPMLNode& operator=(const OPMLNode&) = delete;
    virtual ~OPMLNode();

    // Reading. Each returns whether an OPML or RSS document was read.
    bool Parse(const char* url);
    bool ParseFile(const char* path);
    // Reads a whole document from its bytes (no I/O): an OPML document's
    // "body" or an RSS document's "channel" into this node.
    bool ParseDocument(std::string_view bytes, std::string_view source);
    // Reads one "channel" (as an RSS feed) or "outline"/"body" element.
    void Parse(const tinyxml2::XMLElement& element);

    // Browsing.
    // True when the node has children or can load some.
    bool HasChildren() const { return !m_children.empty() || IsLoadable(); }
    // No children yet, and a URL that names an outline or feed: one holding
    // ".opml" (ignoring case), or type "rss", "opml" or "include", or type
    // "link" with a URL without ".mp3".
    bool IsLoadable() const;
    // The child at `index`, loading first (Load::Yes on a loadable node);
    // null when `index` is not below the child count. Owned by this node.
    OPMLNode* Child(unsigned long index, Load load);
    // The number of children; with Load::Yes a node without any loads first.
    unsigned long ChildCount(Load load);
    OPMLNode* GetParent() const { return m_parent; }

    // Editing.
    // Appends a new node (no parent) and returns it.
    OPMLNode* AddChild(const char* text, const char* url, const char* type);
    // Appends a deep copy of `node` with this node as its parent.
    OPMLNode* AddChildCopy(const OPMLNode& node);
    // Takes the child at `index` out and hands it over; null (and nothing
    // changes) when `index` is not below the child count.
    std::unique_ptr<OPMLNode> RemoveChild(unsigned long index);

    // Writing.
    // The Favorites document of this node's children (an OPML 1.1 file).
    std::string ToFavoritesXml() const;
    // Writes ToFavoritesXml() to `path` atomically; false with a log line
    // when that fails (the file is then unchanged).
    [[nodiscard]] bool SaveToFile(const char* path) const;
    // Appends one "outline" per child of `node` (this node when null) to
    // `element`, nested where the node's children are written; never fetches.
    void AddChildNodes(tinyxml2::XMLElement& element, const OPMLNode* node) const;

    void SetFetch(RadioFetch* fetch) { m_fetch = fetch; }

    CascadeString text;  // the title shown
    CascadeString type;  // the OPML type ("link", "rss", "opml", "audio", ...)
    CascadeString url;   // a stream, a playlist, an OPML document or an RSS feed

private:
    void ParseChannel(const tinyxml2::XMLElement& channel);
    void ParseOutline(const tinyxml2::XMLElement& outline);
    std::unique_ptr<OPMLNode> MakeChild(OPMLNode* parent) const;
    void LoadIfNeeded(Load load);

    OPMLNode* m_parent = nullptr;   // not owned
    RadioFetch* m_fetch = nullptr;  // not owned, shared by the tree
    std::vector<std::unique_ptr<OPMLNode>> m_children;
};
