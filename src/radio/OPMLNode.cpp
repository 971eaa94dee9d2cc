#include "radio/OPMLNode.h"

#include "app/base/AppLog.h"
#include "radio/AtomicFile.h"
#include "radio/FeedDocument.h"
#include "radio/RadioFetch.h"
#include "server/EUtils.h"

#include <strings.h>

#include <cerrno>
#include <cstring>

namespace {

using tinyxml2::XMLElement;

bool HasText(const CascadeString& s, std::string_view part) {
    return s.Contains(part, CascadeCase::Insensitive);
}

// The URL of an outline: "URL", then "url" (any other case), then "xmlUrl"
// (any case); a later kind replaces an earlier one.
const char* OutlineUrl(const XMLElement& outline) {
    const char* best = nullptr;
    int bestRank = 0;
    for (const tinyxml2::XMLAttribute* a = outline.FirstAttribute(); a; a = a->Next()) {
        int rank = 0;
        if (strcasecmp(a->Name(), "xmlUrl") == 0)
            rank = 3;
        else if (std::strcmp(a->Name(), "URL") == 0)
            rank = 1;
        else if (strcasecmp(a->Name(), "url") == 0)
            rank = 2;
        if (rank > bestRank) {
            best = a->Value();
            bestRank = rank;
        }
    }
    return best;
}

const XMLElement* FirstChildNamed(const XMLElement& parent, const char* name) {
    for (const XMLElement* e = parent.FirstChildElement(); e; e = e->NextSiblingElement())
        if (FeedDocument::Named(*e, name)) return e;
    return nullptr;
}

// An itunes:duration as shown: plain seconds become "M:SS" or "H:MM:SS";
// any other form ("04:20", "01:04:00") stays as the feed wrote it.
std::string Duration(std::string_view text) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::string(text);
    const long long seconds = EUtils::ParseDecimal(text);
    CascadeString out;
    if (seconds >= 3600)
        out.Format("%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
    else
        out.Format("%lld:%02lld", seconds / 60, seconds % 60);
    return out.Std();
}

}  // namespace

OPMLNode::OPMLNode(const OPMLNode& source, OPMLNode* parent)
    : text(source.text), type(source.type), url(source.url), m_parent(parent), m_fetch(source.m_fetch) {
    for (const auto& child : source.m_children) m_children.push_back(std::make_unique<OPMLNode>(*child, this));
}

OPMLNode::OPMLNode(const char* source, Source kind, RadioFetch* fetch) : m_fetch(fetch) {
    if (kind == Source::File) {
        ParseFile(source);
        return;
    }
    Parse(source);
    if (url.IsEmpty()) url = source;
}

OPMLNode::~OPMLNode() = default;

bool OPMLNode::IsLoadable() const {
    if (!m_children.empty() || url.IsEmpty()) return false;
    return HasText(url, ".opml") || type == "rss" || type == "opml" || type == "include" ||
           (type == "link" && !HasText(url, ".mp3"));
}

bool OPMLNode::Parse(const char* source) {
    std::string body;
    if (m_fetch) {
        if (!m_fetch->Fetch(source, body)) return false;
    } else {
        RadioFetch fetch;
        if (!fetch.Fetch(source, body)) return false;
    }
    if (body.empty()) return false;
    return ParseDocument(body, source ? source : "");
}

bool OPMLNode::ParseFile(const char* path) {
    std::string bytes;
    int error = 0;
    if (!path || !AtomicFile::Read(path, bytes, error)) {
        if (error != ENOENT)
            AppLog::WriteToLog("radio: cannot read %s: %s\n", false, path ? path : "", std::strerror(error));
        return false;
    }
    return ParseDocument(bytes, path);
}

bool OPMLNode::ParseDocument(std::string_view bytes, std::string_view source) {
    tinyxml2::XMLDocument document;
    if (FeedDocument::Parse(bytes, document, source) == FeedDocument::ParseResult::Failed) return false;
    const XMLElement* root = document.RootElement();
    const char* part = FeedDocument::Named(*root, "opml")  ? "body"
                       : FeedDocument::Named(*root, "rss") ? "channel"
                                                           : nullptr;
    if (!part) {
        const std::string name(source);
        AppLog::WriteToLog("radio: %s: a <%s> document is neither OPML nor RSS\n", false, name.c_str(), root->Name());
        return false;
    }
    if (const XMLElement* element = FirstChildNamed(*root, part)) Parse(*element);
    return true;
}

void OPMLNode::Parse(const XMLElement& element) {
    if (FeedDocument::Named(element, "channel"))
        ParseChannel(element);
    else
        ParseOutline(element);
}

std::unique_ptr<OPMLNode> OPMLNode::MakeChild(OPMLNode* parent) const {
    auto child = std::make_unique<OPMLNode>();
    child->m_parent = parent;
    child->m_fetch = m_fetch;
    return child;
}

void OPMLNode::ParseChannel(const XMLElement& channel) {
    type = "rss";
    for (const XMLElement* item = channel.FirstChildElement(); item; item = item->NextSiblingElement()) {
        if (!FeedDocument::Named(*item, "item")) continue;
        auto node = MakeChild(nullptr);
        node->text = FeedDocument::Text(FirstChildNamed(*item, "title"));
        if (const XMLElement* enclosure = FirstChildNamed(*item, "enclosure"))
            if (const char* link = FeedDocument::AttributeIgnoringCase(*enclosure, "url")) node->url = link;
        if (node->url.IsEmpty() || HasText(node->url, ".torrent")) continue;
        if (const XMLElement* duration = FirstChildNamed(*item, "itunes:duration"))
            node->text += std::string_view(" (" + Duration(FeedDocument::Text(duration)) + ")");
        m_children.push_back(std::move(node));
    }
}

void OPMLNode::ParseOutline(const XMLElement& outline) {
    if (const char* value = FeedDocument::AttributeIgnoringCase(outline, "text"))
        text = value;
    else if (const char* title = FeedDocument::AttributeIgnoringCase(outline, "title"))
        text = title;
    if (const char* value = FeedDocument::AttributeIgnoringCase(outline, "type")) type = value;
    if (const char* value = OutlineUrl(outline)) url = value;
    for (const XMLElement* e = outline.FirstChildElement(); e; e = e->NextSiblingElement()) {
        if (!FeedDocument::Named(*e, "outline")) continue;
        auto child = MakeChild(this);
        child->ParseOutline(*e);
        if (child->type.Compare("serverpage", CascadeCase::Insensitive) == 0 || HasText(child->url, ".torrent"))
            continue;
        m_children.push_back(std::move(child));
    }
}

void OPMLNode::LoadIfNeeded(Load load) {
    if (load == Load::No || !IsLoadable()) return;
    AppLog::WriteToLog("parsing: %s\n", true, url.c_str());
    const CascadeString source = url;
    Parse(source.c_str());
}

OPMLNode* OPMLNode::Child(unsigned long index, Load load) {
    LoadIfNeeded(load);
    return index < m_children.size() ? m_children[index].get() : nullptr;
}

unsigned long OPMLNode::ChildCount(Load load) {
    if (m_children.empty()) LoadIfNeeded(load);
    return (unsigned long)m_children.size();
}

OPMLNode* OPMLNode::AddChild(const char* childText, const char* childUrl, const char* childType) {
    auto child = MakeChild(nullptr);
    child->text = childText;
    child->url = childUrl;
    child->type = childType;
    m_children.push_back(std::move(child));
    return m_children.back().get();
}

OPMLNode* OPMLNode::AddChildCopy(const OPMLNode& node) {
    m_children.push_back(std::make_unique<OPMLNode>(node, this));
    return m_children.back().get();
}

std::unique_ptr<OPMLNode> OPMLNode::RemoveChild(unsigned long index) {
    if (index >= m_children.size()) return nullptr;
    auto child = std::move(m_children[index]);
    m_children.erase(m_children.begin() + long(index));
    return child;
}

void OPMLNode::AddChildNodes(XMLElement& element, const OPMLNode* node) const {
    const OPMLNode& from = node ? *node : *this;
    for (const auto& child : from.m_children) {
        XMLElement* outline = element.InsertNewChildElement("outline");
        outline->SetAttribute("text", child->text.c_str());
        if (child->url.IsEmpty()) {
            AddChildNodes(*outline, child.get());
            continue;
        }
        outline->SetAttribute("url", child->url.c_str());
        if (child->type == "link" && !HasText(child->url, ".mp3")) continue;
        if (HasText(child->url, ".opml") || child->type == "opml") {
            outline->SetAttribute("type", "opml");
        } else if (child->type == "rss" || HasText(child->url, ".rss") || HasText(child->url, ".xml")) {
            outline->SetAttribute("type", "rss");
        } else {
            AddChildNodes(*outline, child.get());
        }
    }
}

std::string OPMLNode::ToFavoritesXml() const {
    tinyxml2::XMLDocument document;
    document.InsertEndChild(document.NewDeclaration("xml version=\"1.0\""));
    XMLElement* opml = document.NewElement("opml");
    document.InsertEndChild(opml);
    opml->SetAttribute("version", "1.1");
    opml->InsertNewChildElement("head")->InsertNewChildElement("title")->SetText(kFavoritesTitle);
    AddChildNodes(*opml->InsertNewChildElement("body"), nullptr);
    tinyxml2::XMLPrinter printer;
    document.Print(&printer);
    return std::string(printer.CStr(), std::size_t(printer.CStrSize() > 0 ? printer.CStrSize() - 1 : 0));
}

bool OPMLNode::SaveToFile(const char* path) const {
    AppLog::WriteToLog("saving to: %s\n", false, path ? path : "");
    if (!path || *path == '\0') return false;
    return AtomicFile::Write(path, ToFavoritesXml());
}
