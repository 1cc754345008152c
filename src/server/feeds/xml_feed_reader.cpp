#include "server/feeds/xml_feed_reader.h"

#include "server/feeds/feed_date.h"
#include "server/feeds/feed_link.h"
#include "server/feeds/feed_text.h"
#include "server/feeds/xml_feed_document.h"

namespace tallyhawk::server
{

namespace
{

constexpr std::string_view kAtomNs = "http://www.w3.org/2005/Atom";
constexpr std::string_view kRdfNs = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";
constexpr std::string_view kRss10Ns = "http://purl.org/rss/1.0/";
constexpr std::string_view kRss090Ns = "http://my.netscape.com/rdf/simple/0.9/";
constexpr std::string_view kDublinCoreNs = "http://purl.org/dc/elements/1.1/";
constexpr std::string_view kContentNs = "http://purl.org/rss/1.0/modules/content/";

std::string_view View(const xmlChar* text)
{
    return text != nullptr ? std::string_view(reinterpret_cast<const char*>(text)) : std::string_view();
}

std::string_view NamespaceOf(const xmlNode* node)
{
    return node->ns != nullptr ? View(node->ns->href) : std::string_view();
}

// An element of that name in that namespace; an empty `ns` is no namespace.
bool Is(const xmlNode* node, std::string_view name, std::string_view ns)
{
    return node != nullptr && node->type == XML_ELEMENT_NODE && View(node->name) == name
        && NamespaceOf(node) == ns;
}

const xmlNode* Child(const xmlNode* parent, std::string_view name, std::string_view ns)
{
    for (const xmlNode* child = parent->children; child != nullptr; child = child->next) {
        if (Is(child, name, ns)) {
            return child;
        }
    }
    return nullptr;
}

std::string Attribute(const xmlNode* node, const char* name, const char* ns = nullptr)
{
    xmlChar* value = ns != nullptr
        ? xmlGetNsProp(node, reinterpret_cast<const xmlChar*>(name), reinterpret_cast<const xmlChar*>(ns))
        : xmlGetNoNsProp(node, reinterpret_cast<const xmlChar*>(name));
    std::string copy(View(value));
    xmlFree(value);
    return copy;
}

std::string Trimmed(std::string text)
{
    std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    std::size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::string ChildText(const xmlNode* parent, std::string_view name, std::string_view ns)
{
    const xmlNode* child = Child(parent, name, ns);
    return child != nullptr ? XmlFeedDocument::Text(child) : std::string();
}

std::optional<std::int64_t> ChildDate(const xmlNode* parent, std::string_view name, std::string_view ns)
{
    const xmlNode* child = Child(parent, name, ns);
    return child != nullptr ? FeedDate::Parse(XmlFeedDocument::Text(child)) : std::nullopt;
}

// The first date of an expiry element among the entry's own, in whatever namespace an extension put it.
std::optional<std::int64_t> ChildExpiry(const xmlNode* entry)
{
    for (const xmlNode* child = entry->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE || !FeedDate::IsExpiryName(View(child->name))) {
            continue;
        }
        if (std::optional<std::int64_t> date = FeedDate::Parse(XmlFeedDocument::Text(child))) {
            return date;
        }
    }
    return std::nullopt;
}

std::string
ChildLink(const XmlFeedDocument& document, const xmlNode* parent, std::string_view name, std::string_view ns)
{
    const xmlNode* child = Child(parent, name, ns);
    return child != nullptr ? FeedLink::Resolve(XmlFeedDocument::Text(child), document.Base(child))
                            : std::string();
}

bool IsRoot(const xmlNode* node)
{
    return node != nullptr && node->parent != nullptr && node->parent->type == XML_DOCUMENT_NODE;
}

// RSS 1.0 and 0.90 elements are in either namespace.
bool IsRdfItem(const xmlNode* node)
{
    return Is(node, "item", kRss10Ns) || Is(node, "item", kRss090Ns);
}

// The entries of each format: RSS items of the (first) channel, RDF items beside the channel, Atom
// entries of the feed.
bool IsEntry(const xmlNode* node)
{
    const xmlNode* parent = node->parent;
    if (Is(node, "item", "")) {
        return Is(parent, "channel", "") && IsRoot(parent->parent) && Is(parent->parent, "rss", "")
            && Child(parent->parent, "channel", "") == parent;
    }
    if (IsRdfItem(node)) {
        return IsRoot(parent) && Is(parent, "RDF", kRdfNs);
    }
    return Is(node, "entry", kAtomNs) && IsRoot(parent) && Is(parent, "feed", kAtomNs);
}

// Reads the elements of each format: the entries one by one as the document hands them over, the
// feed's own elements at its end.
class FormatReader
{
public:
    FormatReader(const XmlFeedDocument& document, ParsedFeed& feed)
        : document_(document)
        , feed_(feed)
    { }

    void ReadEntry(const xmlNode* node)
    {
        if (Is(node, "item", "")) {
            feed_.entries.push_back(ReadRssItem(node, ""));
        } else if (IsRdfItem(node)) {
            FeedEntry entry = ReadRssItem(node, NamespaceOf(node));
            if (entry.id.empty()) {
                entry.id = Trimmed(Attribute(node, "about", kRdfNs.data()));
            }
            feed_.entries.push_back(std::move(entry));
        } else {
            feed_.entries.push_back(ReadAtomEntry(node));
        }
    }

    // False when the root is no feed this reader knows.
    bool ReadHead(const xmlNode* root)
    {
        if (Is(root, "rss", "")) {
            feed_.format = FeedFormat::Rss2;
            if (const xmlNode* channel = Child(root, "channel", "")) {
                ReadRssChannel(channel, "");
            }
        } else if (Is(root, "RDF", kRdfNs)) {
            feed_.format = FeedFormat::Rdf;
            for (const xmlNode* node = root->children; node != nullptr; node = node->next) {
                std::string_view ns = NamespaceOf(node);
                if ((ns == kRss10Ns || ns == kRss090Ns) && Is(node, "channel", ns)) {
                    ReadRssChannel(node, ns);
                }
            }
        } else if (Is(root, "feed", kAtomNs)) {
            feed_.format = FeedFormat::Atom;
            feed_.title = FeedTextCleaner::Clean(AtomText(Child(root, "title", kAtomNs)));
            feed_.link = AtomLink(root);
        } else {
            return false;
        }
        return true;
    }

private:
    void ReadRssChannel(const xmlNode* channel, std::string_view ns)
    {
        feed_.title = FeedTextCleaner::Clean({ChildText(channel, "title", ns), true});
        feed_.link = ChildLink(document_, channel, "link", ns);
    }

    FeedEntry ReadRssItem(const xmlNode* item, std::string_view ns)
    {
        FeedEntry entry;
        // Titles and descriptions of RSS are HTML in practice, whatever the format once said.
        entry.title = {ChildText(item, "title", ns), true};
        entry.summary = {ChildText(item, "description", ns), true};
        entry.content = {ChildText(item, "encoded", kContentNs), true};
        entry.link = ChildLink(document_, item, "link", ns);
        if (const xmlNode* guid = Child(item, "guid", ns)) {
            entry.id = Trimmed(XmlFeedDocument::Text(guid));
            // A guid is the item's address unless it says otherwise.
            if (entry.link.empty() && Attribute(guid, "isPermaLink") != "false") {
                entry.link = FeedLink::Resolve(entry.id, document_.Base(guid));
            }
        }
        entry.published = ChildDate(item, "pubDate", ns);
        if (!entry.published) {
            entry.published = ChildDate(item, "date", kDublinCoreNs);
        }
        entry.expires = ChildExpiry(item);
        return entry;
    }

    FeedEntry ReadAtomEntry(const xmlNode* node)
    {
        FeedEntry entry;
        entry.id = Trimmed(ChildText(node, "id", kAtomNs));
        entry.link = AtomLink(node);
        entry.title = AtomText(Child(node, "title", kAtomNs));
        entry.summary = AtomText(Child(node, "summary", kAtomNs));
        const xmlNode* content = Child(node, "content", kAtomNs);
        // Content given by reference ("src") is on another page, never fetched here.
        if (content != nullptr && Attribute(content, "src").empty()) {
            entry.content = AtomText(content);
        }
        entry.published = ChildDate(node, "published", kAtomNs);
        entry.updated = ChildDate(node, "updated", kAtomNs);
        entry.expires = ChildExpiry(node);
        return entry;
    }

    // Atom's text constructs: "html" is escaped markup; "xhtml" is markup as elements, so its text is
    // already free of tags; "text" (the default) is plain.
    FeedText AtomText(const xmlNode* node) const
    {
        if (node == nullptr) {
            return {};
        }
        std::string type = Attribute(node, "type");
        // Content may also name a media type.
        return {XmlFeedDocument::Text(node), type == "html" || type == "text/html"};
    }

    // The first link that names the page itself ("alternate", or no rel at all).
    std::string AtomLink(const xmlNode* parent) const
    {
        for (const xmlNode* node = parent->children; node != nullptr; node = node->next) {
            if (!Is(node, "link", kAtomNs)) {
                continue;
            }
            std::string rel = Attribute(node, "rel");
            if (rel.empty() || rel == "alternate") {
                std::string link = FeedLink::Resolve(Attribute(node, "href"), document_.Base(node));
                if (!link.empty()) {
                    return link;
                }
            }
        }
        return {};
    }

    const XmlFeedDocument& document_;
    ParsedFeed& feed_;
};

} // namespace

ParsedFeed XmlFeedReader::Read(std::string_view bytes, std::string_view url, bool cutOff)
{
    ParsedFeed feed;
    XmlFeedDocument document(url);
    FormatReader reader(document, feed);
    document.Read(bytes, cutOff, IsEntry, [&reader](const xmlNode* element) { reader.ReadEntry(element); });
    if (document.status() != FeedStatus::Ok) {
        feed.entries = {};
        feed.status = document.status();
        feed.problem = document.problem();
        return feed;
    }
    const xmlNode* root = document.root();
    if (!reader.ReadHead(root)) {
        feed.entries = {};
        feed.status = FeedStatus::NotAFeed;
        feed.problem = "the document is <" + std::string(View(root->name)) + ">, not RSS, RDF or Atom";
        return feed;
    }
    feed.status = cutOff ? FeedStatus::CutOff : FeedStatus::Ok;
    return feed;
}

} // namespace tallyhawk::server
