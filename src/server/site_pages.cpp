#include "server/site_pages.h"

#include <algorithm>
#include <charconv>

namespace tallyhawk::server
{

std::string SitePages::UpdateAnswer(const std::vector<NamedEntry>& entries)
{
    std::string answer = "<html><body>\r\n";
    for (const NamedEntry& entry : entries) {
        if (entry.name.find('<') != std::string::npos) {
            continue;
        }
        answer += "<IT><ID>" + std::to_string(entry.id) + "</ID><NM>" + entry.name + "</NM></IT>\r\n";
    }
    return answer + "</body></html>\r\n";
}

std::int32_t SitePages::IndexArgument(std::string_view text)
{
    std::int32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) {
        return 0;
    }
    return value;
}

std::string SitePages::Escape(std::string_view text)
{
    std::string escaped;
    for (char c : text) {
        switch (c) {
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '&':
            escaped += "&amp;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        default:
            escaped.push_back(c);
        }
    }
    return escaped;
}

bool SitePages::IsWebAddress(std::string_view link)
{
    const bool web = link.starts_with("http://") || link.starts_with("https://");
    // A control character or space would end the Location header early or add one.
    return web && std::none_of(link.begin(), link.end(), [](char c) {
               return static_cast<unsigned char>(c) <= 0x20 || c == 0x7f;
           });
}

std::string SitePages::Page(std::string_view title, const std::vector<std::string>& paragraphs)
{
    std::string page = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + Escape(title)
        + "</title></head>\n<body>\n<h1>" + Escape(title) + "</h1>\n";
    for (const std::string& paragraph : paragraphs) {
        page += "<p>" + Escape(paragraph) + "</p>\n";
    }
    return page + "<p><a href=\"/\">Tallyhawk home</a></p>\n</body></html>\n";
}

std::string SitePages::ItemPage(std::string_view what, const std::optional<ServerItem>& item)
{
    if (!item) {
        return Page("No such " + std::string(what), {"This item is not (or no longer) on the service."});
    }
    std::vector<std::string> paragraphs = {item->storeName + " / " + item->categoryName};
    if (!item->extra.empty()) {
        paragraphs.push_back(item->extra);
    }
    if (!item->description.empty()) {
        paragraphs.push_back(item->description);
    }
    return Page(item->title, paragraphs);
}

} // namespace tallyhawk::server
