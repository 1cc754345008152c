#include "server/feeds/xml_feed_document.h"

#include "server/feeds/feed_parser.h"

#include <libxml/SAX2.h>
#include <libxml/entities.h>
#include <libxml/hash.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <climits>
#include <mutex>

namespace tallyhawk::server
{

namespace
{

// No entity, DTD or other resource is ever read from outside the document, whatever the options of
// a parse in this process: the parser is fed only what a feed's own bytes hold.
xmlParserInputPtr RefuseOutsideLoad(const char*, const char*, xmlParserCtxtPtr)
{
    return nullptr;
}

void InitializeParser()
{
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlSetExternalEntityLoader(RefuseOutsideLoad);
    });
}

// The first error tells what broke the document; those after it often follow from it.
struct FirstError
{
    bool seen = false;
    int code = 0;
    int line = 0;
    std::string message = "not well-formed";
    long offset = 0; // bytes read when it was found
};

void NoteOutsideEntity(void* payload, void* found, const xmlChar*)
{
    auto* entity = static_cast<xmlEntity*>(payload);
    if (entity->etype != XML_INTERNAL_GENERAL_ENTITY && entity->etype != XML_INTERNAL_PREDEFINED_ENTITY) {
        *static_cast<bool*>(found) = true;
    }
}

// Counts what entity references expand to, giving up as soon as either bound is passed, so a document
// built to expand a billion times costs no more than the bound.
class EntityBudget
{
public:
    bool Spend(const xmlNode* node, bool insideEntity)
    {
        for (; node != nullptr; node = node->next) {
            if (node->type == XML_ENTITY_REF_NODE) {
                if (++references_ > FeedParser::kMaxEntityReferences) {
                    return false;
                }
                const auto* entity = reinterpret_cast<const xmlEntity*>(node->children);
                if (entity != nullptr && !Spend(entity->children, true)) {
                    return false;
                }
                continue;
            }
            if (insideEntity && node->content != nullptr
                && (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE)) {
                bytes_ += static_cast<std::size_t>(xmlStrlen(node->content));
                if (bytes_ > FeedParser::kMaxEntityBytes) {
                    return false;
                }
            }
            if (node->type == XML_ELEMENT_NODE && !Spend(node->children, insideEntity)) {
                return false;
            }
        }
        return true;
    }

private:
    std::size_t references_ = 0;
    std::size_t bytes_ = 0;
};

std::string Owned(xmlChar* text)
{
    std::string copy = text != nullptr ? reinterpret_cast<const char*>(text) : "";
    xmlFree(text);
    return copy;
}

// The bytes handed to the parser at a time: its buffer holds about this much of the document.
constexpr std::size_t kChunkBytes = 64 * 1024;

} // namespace

struct XmlFeedDocument::Parsing
{
    XmlFeedDocument& document;
    const EntryTest& isEntry;
    const EntryReader& readEntry;
    FirstError first;
    EntityBudget budget;
    bool overBudget = false;

    static void RecordFirstError(void* context, xmlErrorPtr error)
    {
        auto* parser = static_cast<xmlParserCtxtPtr>(context);
        FirstError* first = &static_cast<Parsing*>(parser->_private)->first;
        if (first->seen || error->level < XML_ERR_ERROR) {
            return;
        }
        first->seen = true;
        first->code = error->code;
        first->line = error->line;
        first->offset = xmlByteConsumed(parser);
        if (error->message != nullptr) {
            first->message = error->message;
            while (!first->message.empty()
                   && (first->message.back() == '\n' || first->message.back() == ' ')) {
                first->message.pop_back();
            }
        }
    }

    static void EndElement(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri)
    {
        auto* parser = static_cast<xmlParserCtxtPtr>(context);
        xmlNode* element = parser->node;
        xmlSAX2EndElementNs(context, localName, prefix, uri);
        auto* parse = static_cast<Parsing*>(parser->_private);
        if (element == nullptr || parser->node == element || parse->overBudget || !parse->isEntry(element)) {
            return;
        }
        // Counted before anything reads the entry's text, which expands its entities.
        if (parse->budget.Spend(element->children, false)) {
            parse->document.UseTree(parser->myDoc);
            parse->readEntry(element);
        } else {
            parse->overBudget = true;
            xmlStopParser(parser);
        }
        xmlUnlinkNode(element);
        xmlFreeNode(element);
        // The parser appends further text in place to the text node it made last, whose length it
        // keeps: that node was in the entry. At zero it measures the text the parent now ends with.
        parser->nodemem = 0;
        parser->nodelen = 0;
    }
};

XmlFeedDocument::XmlFeedDocument(std::string_view url)
    : url_(url)
{
    InitializeParser();
}

void XmlFeedDocument::Read(std::string_view bytes,
                           bool cutOff,
                           const EntryTest& isEntry,
                           const EntryReader& readEntry)
{
    Parse(bytes, cutOff, isEntry, readEntry);
    if (status_ == FeedStatus::Ok && root() == nullptr) {
        Fail(FeedStatus::Malformed, "the feed has no root element");
    }
}

XmlFeedDocument::~XmlFeedDocument()
{
    if (doc_ != nullptr) {
        xmlFreeDoc(doc_);
    }
}

void XmlFeedDocument::UseTree(xmlDoc* doc)
{
    doc_ = doc;
    if (doc_ != nullptr && doc_->URL == nullptr && !url_.empty()) {
        // The base that xml:base attributes build on.
        doc_->URL = xmlStrdup(reinterpret_cast<const xmlChar*>(url_.c_str()));
    }
}

void XmlFeedDocument::Parse(std::string_view bytes,
                            bool cutOff,
                            const EntryTest& isEntry,
                            const EntryReader& readEntry)
{
    if (bytes.size() > static_cast<std::size_t>(INT_MAX)) {
        Fail(FeedStatus::Malformed, "the feed is too large");
        return;
    }
    // The first bytes go in with the parser's making: they tell it the encoding (a byte order mark,
    // UTF-16).
    const std::size_t head = std::min<std::size_t>(bytes.size(), 4);
    xmlParserCtxtPtr parser
        = xmlCreatePushParserCtxt(nullptr, nullptr, bytes.data(), static_cast<int>(head), nullptr);
    if (parser == nullptr) {
        Fail(FeedStatus::Malformed, "the feed cannot be read");
        return;
    }
    // XML_PARSE_COMPACT keeps short texts inside their nodes: the document is only read.
    // Without XML_PARSE_NOENT, XML_PARSE_DTDLOAD or XML_PARSE_HUGE: entities stay references into the
    // internal subset, no DTD is loaded, and the parser keeps its limits on depth and text size.
    xmlCtxtUseOptions(parser,
                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_COMPACT
                          | (cutOff ? XML_PARSE_RECOVER : 0));
    Parsing parse{*this, isEntry, readEntry, {}, {}};
    parser->_private = &parse;
    parser->sax->serror = &Parsing::RecordFirstError;
    parser->sax->endElementNs = &Parsing::EndElement;
    for (std::size_t at = head; at < bytes.size() && !parser->disableSAX; at += kChunkBytes) {
        const std::size_t size = std::min(kChunkBytes, bytes.size() - at);
        xmlParseChunk(parser, bytes.data() + at, static_cast<int>(size), 0);
    }
    if (!parser->disableSAX) {
        xmlParseChunk(parser, nullptr, 0, 1);
    }
    UseTree(parser->myDoc);
    parser->myDoc = nullptr;
    xmlFreeParserCtxt(parser);
    const FirstError& first = parse.first;
    // A document cut off may fail only where it ends, on the elements left open there.
    bool broken = first.seen && (!cutOff || first.offset < static_cast<long>(bytes.size()));
    // Checked before anything else: a declaration that reaches outside the document is refused even
    // when the parse failed because the entity could not be read.
    if (doc_ != nullptr && DeclaresOutsideEntities()) {
        Fail(FeedStatus::Refused, "the feed declares external or parameter entities");
    } else if (first.code == XML_ERR_ENTITY_LOOP || parse.overBudget) {
        Fail(FeedStatus::Refused, "the feed's entities expand beyond the bound");
    } else if (doc_ == nullptr || broken) {
        Fail(FeedStatus::Malformed, "line " + std::to_string(first.line) + ": " + first.message);
    } else if (!parse.budget.Spend(doc_->children, false)) {
        // What is left of the tree: the feed's own elements.
        Fail(FeedStatus::Refused, "the feed's entities expand beyond the bound");
    }
}

bool XmlFeedDocument::DeclaresOutsideEntities() const
{
    xmlDtd* dtd = doc_->intSubset;
    if (dtd == nullptr) {
        return false;
    }
    if (dtd->pentities != nullptr && xmlHashSize(static_cast<xmlHashTablePtr>(dtd->pentities)) > 0) {
        return true;
    }
    bool found = false;
    if (dtd->entities != nullptr) {
        xmlHashScan(static_cast<xmlHashTablePtr>(dtd->entities), NoteOutsideEntity, &found);
    }
    return found;
}

void XmlFeedDocument::Fail(FeedStatus status, std::string problem)
{
    status_ = status;
    problem_ = std::move(problem);
    if (doc_ != nullptr) {
        xmlFreeDoc(doc_);
        doc_ = nullptr;
    }
}

xmlNode* XmlFeedDocument::root() const
{
    return doc_ != nullptr ? xmlDocGetRootElement(doc_) : nullptr;
}

std::string XmlFeedDocument::Text(const xmlNode* node)
{
    return Owned(xmlNodeGetContent(node));
}

std::string XmlFeedDocument::Base(const xmlNode* node) const
{
    // xml:base first: it may itself be relative to the feed's address.
    std::string base = Owned(xmlNodeGetBase(doc_, node));
    return base.empty() ? url_ : base;
}

} // namespace tallyhawk::server
