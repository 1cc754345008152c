#pragma once

#include "server/feeds/parsed_feed.h"

#include <libxml/tree.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace tallyhawk::server
{

// One feed's XML, read so that a hostile document costs little: nothing is loaded from the network or
// from files (no external DTD, no external entity), a document that declares external or parameter
// entities is refused, and the internal entities its text refers to may expand to a small bound only
// (FeedParser::kMaxEntityReferences and kMaxEntityBytes).
// The bytes are fed to the parser a part at a time and each entry is handed over as soon as its end
// tag is read, then freed: what is held is one entry's tree and the feed's own elements, not the tree
// of the whole document.
class XmlFeedDocument
{
public:
    // Whether an element just closed is an entry; it still hangs in the tree (its parents are there).
    using EntryTest = std::function<bool(const xmlNode* element)>;
    // Reads an entry; the element and all it holds are freed when it returns.
    using EntryReader = std::function<void(const xmlNode* element)>;

    // `url` is the feed's address, the base of its relative links.
    explicit XmlFeedDocument(std::string_view url);
    ~XmlFeedDocument();
    XmlFeedDocument(const XmlFeedDocument&) = delete;
    XmlFeedDocument& operator=(const XmlFeedDocument&) = delete;

    // Reads the document once, handing over each entry `isEntry` picks. With `cutOff` the bytes are
    // the first part of a longer document: it is read as far as it goes, and only the entries whose
    // end tag lies within it are handed over.
    void Read(std::string_view bytes, bool cutOff, const EntryTest& isEntry, const EntryReader& readEntry);

    // Ok, Malformed or Refused; problem() says why when not Ok. Entries handed over before a failure
    // was found are no part of a feed that failed.
    FeedStatus status() const { return status_; }
    const std::string& problem() const { return problem_; }
    // The root element, the entries gone from it, or null when the status is not Ok.
    xmlNode* root() const;

    // The text of a node and all it holds, entities and CDATA read.
    static std::string Text(const xmlNode* node);
    // The base address of relative links in `node`: xml:base where given, else the feed's address.
    std::string Base(const xmlNode* node) const;

private:
    // The state of one parse, reached from the parser's callbacks.
    struct Parsing;

    void Parse(std::string_view bytes, bool cutOff, const EntryTest& isEntry, const EntryReader& readEntry);
    // The parser's tree, which entries are read from while it grows, and its base address.
    void UseTree(xmlDoc* doc);
    bool DeclaresOutsideEntities() const;
    void Fail(FeedStatus status, std::string problem);

    xmlDoc* doc_ = nullptr;
    std::string url_;
    FeedStatus status_ = FeedStatus::Ok;
    std::string problem_;
};

} // namespace tallyhawk::server
