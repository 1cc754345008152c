#include "core/compare/web_agent.h"

#include <array>
#include <charconv>

namespace tallyhawk
{

namespace
{

constexpr std::array<WebAgentTextField, kWebAgentTextFieldCount> kTextFields = {{
    {"SiteType", &WebAgent::siteType, true},
    {"SiteName", &WebAgent::siteName, true},
    {"SiteAddress", &WebAgent::siteAddress, true},
    {"FormatString", &WebAgent::formatString, true},
    {"EndHeader", &WebAgent::endHeader, false},
    {"StartResult", &WebAgent::startResult, true},
    {"EndResult", &WebAgent::endResult, true},
    {"StartItem", &WebAgent::startItem, true},
    {"EndItem", &WebAgent::endItem, true},
    {"StartText", &WebAgent::startText, false},
    {"EndText", &WebAgent::endText, false},
    {"StartURL", &WebAgent::startUrl, true},
    {"EndURL", &WebAgent::endUrl, true},
    {"StartPrice", &WebAgent::startPrice, false},
    {"EndPrice", &WebAgent::endPrice, false},
    {"StartPromo", &WebAgent::startPromo, false},
    {"EndPromo", &WebAgent::endPromo, false},
    {"StructuredData", &WebAgent::structuredData, false},
}};

bool IsKeptInQuery(unsigned char byte)
{
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9')
        || byte == '*' || byte == '-' || byte == '.' || byte == '_';
}

} // namespace

std::span<const WebAgentTextField> WebAgentTextFields()
{
    return kTextFields;
}

bool WebAgent::ServesCategory(std::int32_t categoryId) const
{
    if (!siteType) {
        return false;
    }
    char digits[16];
    auto [end, error] = std::to_chars(digits, digits + sizeof digits, categoryId);
    (void)error; // 16 bytes hold any 32-bit value
    std::string_view id(digits, static_cast<std::size_t>(end - digits));
    std::size_t at = siteType->find(id);
    if (at == std::string_view::npos) {
        return false;
    }
    std::size_t after = at + id.size();
    return after == siteType->size() || (*siteType)[after] == ' ' || (*siteType)[after] == ',';
}

std::string EncodeQueryText(std::string_view text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string encoded;
    encoded.reserve(text.size());
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte == ' ') {
            encoded += '+';
        } else if (IsKeptInQuery(byte)) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0x0f];
        }
    }
    return encoded;
}

std::int32_t WebAgent::BuildSearchUrl(std::string_view searchText, std::string& url) const
{
    url.clear();
    if (!formatString) {
        return kNoKeywordMarker;
    }
    std::string_view format = *formatString;
    std::size_t marker = format.find(kKeywordMarker);
    if (marker == std::string_view::npos || marker == 0) {
        return kNoKeywordMarker;
    }
    std::string encoded = EncodeQueryText(searchText);
    if (encoded.empty()) {
        return kUnusableSearchText;
    }
    std::string_view before = format.substr(0, marker);
    std::string_view after = format.substr(marker + kKeywordMarker.size());
    if (before.size() + encoded.size() + after.size() > kMaxUrlLength) {
        return kUnusableSearchText;
    }
    url.reserve(before.size() + encoded.size() + after.size());
    url.append(before).append(encoded).append(after);
    return 0;
}

} // namespace tallyhawk
