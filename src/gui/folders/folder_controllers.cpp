#include "gui/folders/folder_controllers.h"

#include "core/update/program_session.h"
#include "gui/folders/cash_back_folder.h"
#include "gui/folders/comparisons_folder.h"
#include "gui/folders/deals_folder.h"
#include "gui/folders/products_folder.h"
#include "gui/folders/purchases_folder.h"
#include "gui/folders/summary_folder.h"
#include "gui/folders/topics_folder.h"

#include <utility>

namespace tallyhawk
{

FolderControllers::FolderControllers(FolderHost& host, ProgramSession& session)
{
    const auto add = [this](std::unique_ptr<FolderController> folder) {
        const FolderKind kind = folder->kind();
        folders_.emplace(kind, std::move(folder));
    };
    ShoppingDatabase& shopping = session.shopping();
    add(std::make_unique<DealsFolder>(host, session.deals(), session.commands()));
    add(std::make_unique<TopicsFolder>(host, session.topics(), session.commands()));
    add(std::make_unique<ProductsFolder>(host, shopping, session.commands()));
    add(std::make_unique<PurchasesFolder>(host, shopping, session.commands()));
    add(std::make_unique<ComparisonsFolder>(host, session.searches(), searchResults_));
    add(std::make_unique<SummaryFolder>(
        host, session.deals(), session.topics(), shopping, session.hotDeals()));
    add(std::make_unique<CashBackFolder>(host));
}

FolderControllers::~FolderControllers() = default;

FolderController* FolderControllers::Find(FolderKind kind) const
{
    const auto found = folders_.find(kind);
    return found == folders_.end() ? nullptr : found->second.get();
}

} // namespace tallyhawk
