#include "gui/folders/summary_folder.h"

#include "core/common/time_span.h"

namespace tallyhawk
{

SummaryFolder::SummaryFolder(
    FolderHost& host, ItemStore& deals, ItemStore& topics, ShoppingDatabase& shopping, ItemStore& hotDeals)
    : FolderController(host)
    , deals_(deals)
    , topics_(topics)
    , shopping_(shopping)
    , hotDeals_(hotDeals)
{ }

FolderLoad SummaryFolder::Load(const FolderQuery& query)
{
    const TimeSpan today = TimeSpan::EndingToday(TimeSpan::kToday, query.now);
    FolderLoad load;
    load.summaryDay.from = today.from;
    load.summaryDay.to = today.to;
    load.summary
        = SummaryContent::Collect(load.summaryDay, deals_, topics_, shopping_, hotDeals_, query.siteBase);
    return load;
}

} // namespace tallyhawk
