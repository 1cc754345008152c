#pragma once

#include "core/update/site_lists_refresh.h"

#include <stop_token>

namespace tallyhawk
{

class UpdateHost;
struct UpdateContext;

// The site list refresh of the update cycle: the agent configuration, then the store and category
// lists (in the shopping database's memory when the context has one, else in their files). A refresh
// whose download or save failed stays owed (WeeklyUpkeep::RefreshPending) and is tried again by the
// next pass; one that ran through is done.
SiteListsRefresh RefreshListsStep(UpdateContext& context, UpdateHost& host, std::stop_token stop);

} // namespace tallyhawk
