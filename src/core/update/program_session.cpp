#include "core/update/program_session.h"

#include "core/store/item_filter.h"

#include <limits>
#include <utility>

namespace tallyhawk
{

ProgramSession::ProgramSession()
    : ProgramSession(Settings())
{ }

ProgramSession::ProgramSession(const std::optional<std::string>& settingsFile)
    : ProgramSession(settingsFile ? Settings(*settingsFile) : Settings())
{ }

ProgramSession::ProgramSession(Settings settings)
    : settings_(std::move(settings))
    , context_{settings_, connection_, fetcher_, deals_, topics_, &shopping_}
{ }

ProgramSession::~ProgramSession()
{
    Stop();
}

void ProgramSession::OpenStores(const std::filesystem::path& folder)
{
    folderName_ = folder.string();
    deals_.Open(kDealsFile, folderName_);
    topics_.Open(kTopicsFile, folderName_);
    hotDeals_.Open(kDealsFile, folderName_);
    shopping_.Open(folderName_);
    context_.folder = folder.empty() ? std::filesystem::current_path() : folder;
}

UpkeepResult ProgramSession::RunWeeklyUpkeep()
{
    // The archive learns the highest ids by a load, which would replace the views the program may be
    // loading meanwhile: it gets stores of its own on the same files.
    ItemStore deals;
    ItemStore topics;
    deals.Open(kDealsFile, folderName_);
    topics.Open(kTopicsFile, folderName_);
    UpkeepResult result = WeeklyUpkeep::Run(settings_, deals, topics, &shopping_, context_.folder);
    context_.listsRefreshDue = result.listsRefreshDue;
    return result;
}

void ProgramSession::LearnHighestIds()
{
    ItemFilter nothing;
    nothing.from = std::numeric_limits<std::int32_t>::max();
    nothing.to = std::numeric_limits<std::int32_t>::max();
    deals_.Load(nothing);
    topics_.Load(nothing);
}

bool ProgramSession::StartPasses(UpdateHost& host)
{
    if (stopped_ || passes_) {
        return false;
    }
    passes_ = std::make_unique<PassRunner>(context_, host);
    return passes_->StartUpdateCycle();
}

void ProgramSession::Stop()
{
    if (stopped_) {
        return;
    }
    stopped_ = true;
    if (passes_) {
        passes_->Stop();
        passes_.reset();
    }
}

} // namespace tallyhawk
