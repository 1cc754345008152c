#include "server/feeds/feed_link.h"

#include <libxml/uri.h>
#include <libxml/xmlmemory.h>

#include <cctype>
#include <memory>

namespace tallyhawk::server
{

namespace
{

struct XmlFree
{
    void operator()(xmlChar* text) const { xmlFree(text); }
};
using XmlText = std::unique_ptr<xmlChar, XmlFree>;

const xmlChar* Chars(const std::string& text)
{
    return reinterpret_cast<const xmlChar*>(text.c_str());
}

std::string_view Trimmed(std::string_view text)
{
    auto space = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
    };
    while (!text.empty() && space(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && space(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Lower-cases the scheme and checks it is http or https followed by "//" and a host.
bool MakeHttp(std::string& address)
{
    std::size_t colon = address.find(':');
    if (colon == std::string::npos) {
        return false;
    }
    for (std::size_t i = 0; i < colon; ++i) {
        address[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(address[i])));
    }
    std::string_view scheme(address.data(), colon);
    if ((scheme != "http" && scheme != "https") || address.compare(colon + 1, 2, "//") != 0
        || address.size() <= colon + 3 || address[colon + 3] == '/') {
        return false;
    }
    for (char c : address) {
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) {
            return false;
        }
    }
    return true;
}

XmlText Build(const std::string& link, const std::string& base)
{
    return XmlText(xmlBuildURI(Chars(link), base.empty() ? nullptr : Chars(base)));
}

} // namespace

std::string FeedLink::Resolve(std::string_view link, std::string_view base)
{
    std::string relative(Trimmed(link));
    std::string from(Trimmed(base));
    if (relative.empty() || relative.find('\0') != std::string::npos
        || from.find('\0') != std::string::npos) {
        return {};
    }
    XmlText built = Build(relative, from);
    if (!built) {
        // Spaces and non-ASCII letters are common in feed links; escape what an address may not hold
        // and keep what gives it its parts.
        XmlText escaped(
            xmlURIEscapeStr(Chars(relative), reinterpret_cast<const xmlChar*>(":/?#[]@!$&'()*+,;=%~")));
        if (escaped) {
            built = Build(reinterpret_cast<const char*>(escaped.get()), from);
        }
    }
    if (!built) {
        return {};
    }
    std::string address(reinterpret_cast<const char*>(built.get()));
    return MakeHttp(address) ? address : std::string();
}

} // namespace tallyhawk::server
