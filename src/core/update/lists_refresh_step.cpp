#include "core/update/lists_refresh_step.h"

#include "core/settings/settings.h"
#include "core/settings/site_url.h"
#include "core/shopping/shopping_database.h"
#include "core/update/update_context.h"
#include "core/update/update_host.h"
#include "core/update/weekly_upkeep.h"

namespace tallyhawk
{

namespace
{

// A step that may succeed when tried again: the site could not be reached, or a file not written. A
// damaged local list or an answer that reads badly stays as it is until someone changes it.
bool WorthRetrying(const RefreshStepResult& step)
{
    return step.stage == RefreshStage::Download || step.stage == RefreshStage::Save;
}

} // namespace

SiteListsRefresh RefreshListsStep(UpdateContext& context, UpdateHost& host, std::stop_token stop)
{
    const std::string baseUrl = SiteBaseUrl(context.settings);
    SiteListsRefresh refresh;
    if (context.shopping != nullptr) {
        IdNameList stores = context.shopping->Stores();
        IdNameList categories = context.shopping->Categories();
        refresh = RefreshSiteLists(context.fetcher, baseUrl, context.folder, stop, &stores, &categories);
        if (refresh.stores.ok()) {
            context.shopping->ReplaceList(ShoppingDatabase::List::Stores, std::move(stores));
        }
        if (refresh.categories.ok()) {
            context.shopping->ReplaceList(ShoppingDatabase::List::Categories, std::move(categories));
        }
    } else {
        refresh = RefreshSiteLists(context.fetcher, baseUrl, context.folder, stop);
    }
    if (!stop.stop_requested() && !WorthRetrying(refresh.agents) && !WorthRetrying(refresh.stores)
        && !WorthRetrying(refresh.categories)) {
        WeeklyUpkeep::MarkRefreshDone(context.settings);
    }
    host.ListsRefreshed(refresh);
    return refresh;
}

} // namespace tallyhawk
