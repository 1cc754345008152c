#include "core/compare/saved_page.h"

#include "core/net/http_fetcher.h"

#include <fstream>

namespace tallyhawk
{

std::optional<std::string> ReadSavedPage(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string page(HttpFetcher::kMaxBody - 1, '\0');
    in.read(page.data(), static_cast<std::streamsize>(page.size()));
    if (in.bad()) {
        return std::nullopt;
    }
    page.resize(static_cast<std::size_t>(in.gcount()));
    return page;
}

} // namespace tallyhawk
