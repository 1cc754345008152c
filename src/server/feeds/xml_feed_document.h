#pragma once

#include "server/feeds/parsed_feed.h"

#include <libxml/tree.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace tallyhawk::server
{

// One feed's XML as a tree, read so that a hostile document costs little: nothing is loaded from the
// network or from files (no external DTD, no external entity), a document that declares external or
// parameter entities is refused, and the internal entities its text refers to may expand to a small
// bound only (FeedParser::kMaxEntityReferences and kMaxEntityBytes).
class XmlFeedDocument
{
public:
    // `url` is the feed's address, the base of its relative links. With `cutOff` the bytes are the
    // first part of a longer document: it is read as far as it goes, and Closed tells which elements
    // ended within it.
    XmlFeedDocument(std::string_view bytes, std::string_view url, bool cutOff);
    ~XmlFeedDocument();
    XmlFeedDocument(const XmlFeedDocument&) = delete;
    XmlFeedDocument& operator=(const XmlFeedDocument&) = delete;

    // Ok, Malformed or Refused; problem() says why when not Ok.
    FeedStatus status() const { return status_; }
    const std::string& problem() const { return problem_; }
    // The root element, or null when the status is not Ok.
    xmlNode* root() const;

    // Whether the element's end tag was read.
    static bool Closed(const xmlNode* element);
    // The text of a node and all it holds, entities and CDATA read.
    static std::string Text(const xmlNode* node);
    // The base address of relative links in `node`: xml:base where given, else the feed's address.
    std::string Base(const xmlNode* node) const;

private:
    void Parse(std::string_view bytes, bool cutOff);
    bool DeclaresOutsideEntities() const;
    bool EntitiesWithinBound() const;
    void Fail(FeedStatus status, std::string problem);

    xmlDoc* doc_ = nullptr;
    std::string url_;
    FeedStatus status_ = FeedStatus::Ok;
    std::string problem_;
};

} // namespace tallyhawk::server
