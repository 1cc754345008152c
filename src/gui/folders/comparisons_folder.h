#pragma once

#include "gui/folders/folder_controller.h"

#include <cstdint>

namespace tallyhawk
{

class ResultList;
class SearchIndex;

// Price Comparisons: the saved comparisons in the tree, the offers of the one chosen in the list. An
// offer opens its store's page; Delete drops it from the comparison's results file.
class ComparisonsFolder : public FolderController
{
public:
    // The index and the results are this folder's alone, and used only by its load and writes.
    ComparisonsFolder(FolderHost& host, SearchIndex& searches, ResultList& results);

    FolderKind kind() const override { return FolderKind::PriceComparisons; }
    FolderCaptions captions() const override;
    FolderLoad Load(const FolderQuery& query) override;
    void Shown(const FolderQuery& query) override { shownSearchId_ = query.searchId; }
    void Open(int row) override;
    std::string Link(int row) const override;
    void Delete(int row) override;

private:
    // The comparison's offers in `results_`, read again unless they are the ones loaded last.
    bool ResultsOf(std::int32_t searchId);

    SearchIndex& searches_;
    ResultList& results_;
    // The comparison whose offers `results_` holds (worker) and the one the list shows (window).
    std::int32_t loadedSearchId_ = 0;
    std::int32_t shownSearchId_ = 0;
};

} // namespace tallyhawk
