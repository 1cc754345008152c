#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tallyhawk::server
{

// The store of an entry whose feed names none: the store of the list whose name, in small letters
// without spaces or punctuation, is the link's host without "www." and its last label ("bestbuy.com"
// gives "Best Buy" when the list has it); else the host itself.
class FeedStoreName
{
public:
    static std::string ForLink(std::string_view link, const std::vector<std::string>& stores);
    // The host of an http or https address, in small letters and without "www."; empty when none.
    static std::string Host(std::string_view link);
};

} // namespace tallyhawk::server
