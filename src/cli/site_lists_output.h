#pragma once

#include <iosfwd>

namespace tallyhawk
{
struct SiteListsRefresh;
}

namespace tallyhawk::cli
{

// One line per step of a site list refresh, with the entries each list gained.
void PrintSiteListsRefresh(std::ostream& out, const SiteListsRefresh& refresh);

} // namespace tallyhawk::cli
