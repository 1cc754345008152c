#include "server/feed_store_name.h"

#include <cctype>

namespace tallyhawk::server
{

namespace
{

std::string Folded(std::string_view text)
{
    std::string folded;
    for (char c : text) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            folded.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
        }
    }
    return folded;
}

} // namespace

std::string FeedStoreName::Host(std::string_view link)
{
    const std::size_t scheme = link.find("://");
    if (scheme == std::string_view::npos) {
        return {};
    }
    std::string_view rest = link.substr(scheme + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    if (const std::size_t at = rest.rfind('@'); at != std::string_view::npos) {
        rest.remove_prefix(at + 1);
    }
    if (!rest.empty() && rest.front() != '[') {
        rest = rest.substr(0, rest.find(':'));
    }
    std::string host;
    for (char c : rest) {
        host.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
    if (host.starts_with("www.")) {
        host.erase(0, 4);
    }
    return host;
}

std::string FeedStoreName::ForLink(std::string_view link, const std::vector<std::string>& stores)
{
    const std::string host = Host(link);
    const std::size_t lastDot = host.rfind('.');
    const std::string name = Folded(lastDot == std::string::npos ? host : host.substr(0, lastDot));
    if (!name.empty()) {
        for (const std::string& store : stores) {
            if (Folded(store) == name) {
                return store;
            }
        }
    }
    return host;
}

} // namespace tallyhawk::server
