#include "core/compare/structured_offers.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <nlohmann/json.hpp>

namespace tallyhawk
{
namespace
{

using Json = nlohmann::json;

// Prices above this are no prices but broken or hostile data.
constexpr double kMaxPrice = 1e12;

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

std::size_t FindIgnoringCase(std::string_view text, std::string_view what, std::size_t from)
{
    const char lower = Lower(what[0]);
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(what[0])));
    for (std::size_t i = from; i + what.size() <= text.size(); ++i) {
        // memchr for the first letter: the pages are large and the searched tags few.
        const std::size_t a = text.find(lower, i);
        const std::size_t hit = lower == upper ? a : std::min(a, text.find(upper, i));
        if (hit == std::string_view::npos || hit + what.size() > text.size()) {
            return std::string_view::npos;
        }
        if (EqualsIgnoringCase(text.substr(hit, what.size()), what)) {
            return hit;
        }
        i = hit;
    }
    return std::string_view::npos;
}

// One start tag: its name and attributes, views into the page.
struct HtmlTag
{
    std::string_view name;
    std::vector<std::pair<std::string_view, std::string_view>> attributes;
    std::size_t end = 0; // just after its ">"

    std::optional<std::string_view> Attribute(std::string_view wanted) const
    {
        for (const auto& [key, value] : attributes) {
            if (EqualsIgnoringCase(key, wanted)) {
                return value;
            }
        }
        return std::nullopt;
    }
};

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Reads the start tag whose "<" is at `at`; none for end tags, comments and declarations, or when
// the page ends inside the tag.
std::optional<HtmlTag> ReadTag(std::string_view page, std::size_t at)
{
    std::size_t i = at + 1;
    auto nameEnd = [&] {
        while (i < page.size() && !IsSpace(page[i]) && page[i] != '>' && page[i] != '/') {
            ++i;
        }
    };
    if (i >= page.size() || !std::isalpha(static_cast<unsigned char>(page[i]))) {
        return std::nullopt;
    }
    HtmlTag tag;
    const std::size_t nameStart = i;
    nameEnd();
    tag.name = page.substr(nameStart, i - nameStart);
    while (i < page.size()) {
        while (i < page.size() && (IsSpace(page[i]) || page[i] == '/')) {
            ++i;
        }
        if (i >= page.size()) {
            return std::nullopt;
        }
        if (page[i] == '>') {
            tag.end = i + 1;
            return tag;
        }
        const std::size_t keyStart = i;
        while (i < page.size() && !IsSpace(page[i]) && page[i] != '>' && page[i] != '=' && page[i] != '/') {
            ++i;
        }
        std::string_view key = page.substr(keyStart, i - keyStart);
        std::string_view value;
        while (i < page.size() && IsSpace(page[i])) {
            ++i;
        }
        if (i < page.size() && page[i] == '=') {
            ++i;
            while (i < page.size() && IsSpace(page[i])) {
                ++i;
            }
            if (i < page.size() && (page[i] == '"' || page[i] == '\'')) {
                const char quote = page[i];
                const std::size_t close = page.find(quote, i + 1);
                if (close == std::string_view::npos) {
                    return std::nullopt;
                }
                value = page.substr(i + 1, close - i - 1);
                i = close + 1;
            } else {
                const std::size_t valueStart = i;
                while (i < page.size() && !IsSpace(page[i]) && page[i] != '>') {
                    ++i;
                }
                value = page.substr(valueStart, i - valueStart);
            }
        }
        if (key.empty()) {
            ++i; // a stray byte: step over it
        } else {
            tag.attributes.emplace_back(key, value);
        }
    }
    return std::nullopt;
}

// The deepest nesting of objects and arrays in a JSON text, strings skipped; stops counting past
// `limit`.
int NestingDepth(std::string_view json, int limit)
{
    int depth = 0;
    int deepest = 0;
    bool inString = false;
    for (std::size_t i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (inString) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            deepest = std::max(deepest, ++depth);
            if (deepest > limit) {
                return deepest;
            }
        } else if (c == '}' || c == ']') {
            --depth;
        }
    }
    return deepest;
}

bool HasType(const Json& node, std::string_view type)
{
    const auto typeOf = node.find("@type");
    if (typeOf == node.end()) {
        return false;
    }
    auto named = [&](const Json& value) {
        if (!value.is_string()) {
            return false;
        }
        const std::string& text = value.get_ref<const std::string&>();
        // "Product", "schema:Product" and "https://schema.org/Product" all name it.
        return text == type
            || (text.size() > type.size() && text.ends_with(type)
                && (text[text.size() - type.size() - 1] == '/'
                    || text[text.size() - type.size() - 1] == ':'));
    };
    if (typeOf->is_array()) {
        return std::any_of(typeOf->begin(), typeOf->end(), named);
    }
    return named(*typeOf);
}

std::optional<std::string> TextOf(const Json& node, const char* key)
{
    const auto found = node.find(key);
    if (found == node.end()) {
        return std::nullopt;
    }
    if (found->is_string()) {
        return found->get<std::string>();
    }
    // A link may be given as {"@id": "..."}.
    if (found->is_object()) {
        const auto id = found->find("@id");
        if (id != found->end() && id->is_string()) {
            return id->get<std::string>();
        }
    }
    return std::nullopt;
}

// A price value of an offer: a JSON number or a text.
struct PriceValue
{
    std::optional<std::string> text;
    std::optional<double> value;
    std::string currency;
};

PriceValue PriceOf(const Json& offer)
{
    PriceValue price;
    if (std::optional<std::string> currency = TextOf(offer, "priceCurrency")) {
        price.currency = *currency;
    }
    for (const char* key : {"price", "lowPrice"}) {
        const auto found = offer.find(key);
        if (found == offer.end()) {
            continue;
        }
        if (found->is_number()) {
            const double value = found->get<double>();
            price.text = found->dump();
            if (std::isfinite(value) && value > 0.0 && value < kMaxPrice) {
                price.value = value;
            }
            return price;
        }
        if (found->is_string()) {
            price.text = found->get<std::string>();
            price.value = StructuredPrice(*price.text, price.currency);
            return price;
        }
    }
    // A price given only in a nested price object.
    const auto nested = offer.find("priceSpecification");
    if (nested != offer.end() && nested->is_object()) {
        PriceValue inner = PriceOf(*nested);
        if (inner.currency.empty()) {
            inner.currency = price.currency;
        }
        return inner;
    }
    return price;
}

class JsonLdWalk
{
public:
    JsonLdWalk(StructuredPage& page, std::size_t offset, std::stop_token stop)
        : page_(page)
        , offset_(offset)
        , stop_(std::move(stop))
    { }

    void Visit(const Json& node)
    {
        if (page_.offers.size() >= StructuredOffers::kMaxOffers || stop_.stop_requested()) {
            return;
        }
        if (node.is_array()) {
            for (const Json& element : node) {
                Visit(element);
            }
            return;
        }
        if (!node.is_object()) {
            return;
        }
        if (HasType(node, "Product")) {
            Product(node);
            return;
        }
        // Anything else may hold products further down: an ItemList's elements and their "item",
        // an @graph, a page's mainEntity.
        for (const auto& [key, value] : node.items()) {
            if (value.is_structured()) {
                Visit(value);
            }
        }
    }

private:
    void Product(const Json& product)
    {
        StructuredOffer offer;
        offer.pageOffset = offset_;
        offer.source = "JSON-LD";
        offer.name = TextOf(product, "name");
        offer.description = TextOf(product, "description");
        offer.link = TextOf(product, "url");
        std::optional<PriceValue> best;
        std::optional<std::string> bestLink;
        auto consider = [&](const Json& candidate) {
            if (!candidate.is_object()) {
                return;
            }
            PriceValue price = PriceOf(candidate);
            const bool better = !best || (price.value && (!best->value || *price.value < *best->value));
            if (better) {
                best = std::move(price);
                bestLink = TextOf(candidate, "url");
            }
        };
        const auto offers = product.find("offers");
        if (offers != product.end()) {
            if (offers->is_array()) {
                for (const Json& candidate : *offers) {
                    consider(candidate);
                }
            } else {
                consider(*offers);
            }
        }
        if (best) {
            offer.priceText = best->text;
            offer.price = best->value.value_or(0.0);
            offer.currency = best->currency;
            if (bestLink) {
                offer.link = bestLink; // the offer's own address is where it is bought
            }
        }
        page_.offers.push_back(std::move(offer));
    }

    StructuredPage& page_;
    std::size_t offset_;
    std::stop_token stop_;
};

void ReadJsonLd(std::string_view page, StructuredPage& result, std::stop_token stop)
{
    std::size_t cursor = 0;
    std::size_t blocks = 0;
    while (blocks < StructuredOffers::kMaxBlocks && !stop.stop_requested()) {
        const std::size_t open = FindIgnoringCase(page, "<script", cursor);
        if (open == std::string_view::npos) {
            return;
        }
        std::optional<HtmlTag> tag = ReadTag(page, open);
        if (!tag) {
            cursor = open + 7;
            continue;
        }
        const std::size_t close = FindIgnoringCase(page, "</script", tag->end);
        const std::size_t end = close == std::string_view::npos ? page.size() : close;
        cursor = end;
        std::optional<std::string_view> type = tag->Attribute("type");
        if (!type || FindIgnoringCase(*type, "application/ld+json", 0) == std::string_view::npos) {
            continue;
        }
        ++blocks;
        const std::string_view json = page.substr(tag->end, end - tag->end);
        if (NestingDepth(json, StructuredOffers::kMaxDepth) > StructuredOffers::kMaxDepth) {
            result.skipped.emplace_back(open,
                                        "JSON-LD nested deeper than "
                                            + std::to_string(StructuredOffers::kMaxDepth) + " levels");
            continue;
        }
        Json data = Json::parse(json.begin(), json.end(), nullptr, false);
        if (data.is_discarded()) {
            result.skipped.emplace_back(open, "JSON-LD that is not valid JSON");
            continue;
        }
        JsonLdWalk(result, open, stop).Visit(data);
    }
}

// The value an itemprop element gives: its content (or href, src) attribute, else its text up to the
// next tag.
std::string MicrodataValue(std::string_view page, const HtmlTag& tag)
{
    for (std::string_view attribute : {"content", "href", "src"}) {
        if (std::optional<std::string_view> value = tag.Attribute(attribute)) {
            return std::string(*value);
        }
    }
    const std::size_t next = page.find('<', tag.end);
    std::string_view text
        = page.substr(tag.end, (next == std::string_view::npos ? page.size() : next) - tag.end);
    while (!text.empty() && IsSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsSpace(text.back())) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

bool IsProductScope(const HtmlTag& tag)
{
    std::optional<std::string_view> type = tag.Attribute("itemtype");
    if (!type || !tag.Attribute("itemscope")) {
        return false;
    }
    std::string_view value = *type;
    while (!value.empty() && IsSpace(value.back())) {
        value.remove_suffix(1);
    }
    return value.ends_with("/Product") || value == "Product";
}

void ReadMicrodata(std::string_view page, StructuredPage& result, std::stop_token stop)
{
    StructuredOffer* current = nullptr;
    std::optional<std::string> currentUrl;
    std::size_t cursor = 0;
    auto finish = [&] {
        if (current && !current->link) {
            current->link = currentUrl;
        }
    };
    while (!stop.stop_requested()) {
        const std::size_t open = page.find('<', cursor);
        if (open == std::string_view::npos) {
            break;
        }
        std::optional<HtmlTag> tag = ReadTag(page, open);
        if (!tag) {
            cursor = open + 1;
            continue;
        }
        cursor = tag->end;
        if (EqualsIgnoringCase(tag->name, "script") || EqualsIgnoringCase(tag->name, "style")) {
            const std::size_t close = FindIgnoringCase(page, "</", tag->end);
            cursor = close == std::string_view::npos ? page.size() : close;
            continue;
        }
        if (IsProductScope(*tag)) {
            finish();
            if (result.offers.size() >= StructuredOffers::kMaxOffers) {
                return;
            }
            result.offers.push_back({});
            current = &result.offers.back();
            current->pageOffset = open;
            current->source = "microdata";
            currentUrl.reset();
            continue;
        }
        std::optional<std::string_view> property = tag->Attribute("itemprop");
        if (!current || !property) {
            continue;
        }
        // The first of each property counts: a brand's or seller's name comes after the product's.
        const std::string value = MicrodataValue(page, *tag);
        if (*property == "name" && !current->name) {
            current->name = value;
        } else if (*property == "description" && !current->description) {
            current->description = value;
        } else if (*property == "priceCurrency" && current->currency.empty()) {
            current->currency = value;
        } else if ((*property == "price" || *property == "lowPrice") && !current->priceText) {
            current->priceText = value;
        } else if (*property == "url" && !currentUrl) {
            currentUrl = value;
        }
    }
    finish();
    for (StructuredOffer& offer : result.offers) {
        if (offer.priceText) {
            offer.price = StructuredPrice(*offer.priceText, offer.currency).value_or(0.0);
        }
    }
}

} // namespace

std::optional<double> StructuredPrice(std::string_view text, std::string& currency)
{
    const std::size_t first = text.find_first_of("0123456789");
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    if (currency.empty()) {
        const std::string_view before = text.substr(0, first);
        const std::string_view after = text.substr(first);
        auto holds = [&](std::string_view sign) {
            return before.find(sign) != std::string_view::npos || after.find(sign) != std::string_view::npos;
        };
        if (holds("\xE2\x82\xAC")) {
            currency = "EUR";
        } else if (holds("\xC2\xA3")) {
            currency = "GBP";
        } else if (holds("\xC2\xA5")) {
            currency = "JPY";
        } else if (holds("$")) {
            currency = "USD";
        } else {
            for (std::size_t i = 0; i + 3 <= text.size(); ++i) {
                const std::string_view code = text.substr(i, 3);
                const bool letters
                    = std::all_of(code.begin(), code.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
                const bool alone = (i == 0 || !std::isalpha(static_cast<unsigned char>(text[i - 1])))
                    && (i + 3 == text.size() || !std::isalpha(static_cast<unsigned char>(text[i + 3])));
                if (letters && alone) {
                    currency = std::string(code);
                    break;
                }
            }
        }
    }
    if (first > 0 && text[first - 1] == '-') {
        return std::nullopt; // a negative price is none
    }
    // The number runs over digits and the separators shops put between them.
    std::string number;
    for (std::size_t i = first; i < text.size(); ++i) {
        const char c = text[i];
        if ((c >= '0' && c <= '9') || c == '.' || c == ',' || c == '\'' || c == ' ') {
            number += c;
        } else {
            break;
        }
    }
    while (!number.empty() && (number.back() < '0' || number.back() > '9')) {
        number.pop_back();
    }
    // The last mark is the decimal point when one or two digits follow it: "1,299" is a thousand.
    const std::size_t lastMark = number.find_last_of(".,");
    const bool decimal = lastMark != std::string::npos && number.size() - lastMark - 1 <= 2;
    std::string digits;
    for (std::size_t i = 0; i < number.size(); ++i) {
        if (number[i] >= '0' && number[i] <= '9') {
            digits += number[i];
        } else if (decimal && i == lastMark) {
            digits += '.';
        }
    }
    if (digits.size() > 15) {
        return std::nullopt; // beyond any price, and beyond what a double keeps exactly
    }
    const double value = std::strtod(digits.c_str(), nullptr);
    if (!(value > 0.0) || value >= kMaxPrice) {
        return std::nullopt;
    }
    return value;
}

StructuredPage StructuredOffers::Read(std::string_view page, std::stop_token stop)
{
    page = page.substr(0, page.find('\0'));
    StructuredPage result;
    ReadJsonLd(page, result, stop);
    // Pages that carry both forms repeat their products in the microdata; JSON-LD is the fuller one.
    if (result.offers.empty()) {
        ReadMicrodata(page, result, stop);
    }
    return result;
}

} // namespace tallyhawk
