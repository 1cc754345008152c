// Any bytes as the raw headers of a redirect: the "Location:" search and the check of its target.
#include "core/net/redirect_location.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace
{

constexpr std::string_view kBase = "http://127.0.0.1:8080/dir/page.aspx?q=1";

void Require(bool condition)
{
    if (!condition) {
        __builtin_trap();
    }
}

void CheckTarget(const tallyhawk::CheckedUrl& target)
{
    if (target.kind != tallyhawk::UrlKind::Http) {
        Require(target.url.empty());
        return;
    }
    // http or https, the scheme in any case.
    std::string scheme = target.url.substr(0, target.url.find(':'));
    for (char& c : scheme) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    }
    Require((scheme == "http" || scheme == "https") && target.url.compare(scheme.size(), 3, "://") == 0);
    Require(target.url.find_first_of(std::string_view("\r\n\0 ", 4)) == std::string::npos);
    // What is handed to the client must still be an http address when read again.
    Require(tallyhawk::CheckHttpUrl(target.url).kind == tallyhawk::UrlKind::Http);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Response headers are cut off well below this in the fetcher.
    if (size > 512 * 1024) {
        return 0;
    }
    std::string_view raw(reinterpret_cast<const char*>(data), size);
    if (std::optional<std::string_view> location = tallyhawk::FindRedirectLocation(raw)) {
        Require(location->data() >= raw.data()
                && location->data() + location->size() <= raw.data() + raw.size());
        Require(location->find_first_of("\r\n") == std::string_view::npos);
        CheckTarget(tallyhawk::CheckHttpUrl(*location, kBase));
    }
    CheckTarget(tallyhawk::CheckHttpUrl(raw));
    return 0;
}
