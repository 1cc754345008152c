#include "gui/folders/comparisons_folder.h"

#include "core/compare/result_list.h"
#include "core/compare/search_index.h"
#include "core/platform/browser_launcher.h"
#include "gui/controls/message_boxes.h"
#include "gui/folders/folder_host.h"
#include "gui/views/item_list_model.h"

#include <variant>

namespace tallyhawk
{

ComparisonsFolder::ComparisonsFolder(FolderHost& host, SearchIndex& searches, ResultList& results)
    : FolderController(host)
    , searches_(searches)
    , results_(results)
{ }

FolderCaptions ComparisonsFolder::captions() const
{
    return {"Result Details", "Open In Browser", "Delete Result", "Find Results", "Print Results", false};
}

FolderLoad ComparisonsFolder::Load(const FolderQuery& query)
{
    FolderLoad load;
    if (query.rebuildTree) {
        searches_.Clear();
        searches_.Load(&query.filter);
        load.tree = TreeContent{true, {}, {}, {}, searches_.records()};
    }
    loadedSearchId_ = 0;
    if (ResultsOf(query.searchId)) {
        load.rows = ListRows::FromOffers(results_);
    }
    return load;
}

bool ComparisonsFolder::ResultsOf(std::int32_t searchId)
{
    if (searchId > 0 && searchId == loadedSearchId_) {
        return true;
    }
    results_.Clear();
    loadedSearchId_ = 0;
    if (searchId <= 0 || results_.Load(searches_.ResultsPath(searchId)) != 0) {
        return false;
    }
    loadedSearchId_ = searchId;
    return true;
}

void ComparisonsFolder::Open(int row)
{
    if (const std::string link = Link(row); !link.empty()) {
        host_.Browser().Open(link, true);
    }
}

std::string ComparisonsFolder::Link(int row) const
{
    const RowRecord record = host_.Rows().record(row);
    const auto* offer = std::get_if<const PriceResult*>(&record);
    return offer != nullptr ? (*offer)->link : std::string();
}

void ComparisonsFolder::Delete(int row)
{
    const std::int32_t offerId = host_.Rows().key(row).id;
    // The row goes first: it stands for an offer the results lose.
    host_.RemoveRow(row);
    host_.Write(
        [this, offerId, searchId = shownSearchId_] {
            if (!ResultsOf(searchId)) {
                return -1;
            }
            results_.RemoveById(offerId);
            return results_.Save(searches_.ResultsPath(searchId));
        },
        [this](int status) {
            if (status < 0) {
                MessageBoxes::Tell(host_.DialogParent(),
                                   BoxTitle(),
                                   QStringLiteral("There was an error while saving the price comparison; "
                                                  "the result will show again."),
                                   QMessageBox::Warning);
            }
        });
}

} // namespace tallyhawk
