#pragma once

#include "core/compare/search_record.h"
#include "core/store/id_name_list.h"
#include "core/store/item_filter.h"
#include "gui/folders/summary_content.h"
#include "gui/views/list_rows.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tallyhawk
{

// What a folder's load is asked for: taken on the window thread, so the load reads nothing the window
// may change meanwhile.
struct FolderQuery
{
    ItemFilter filter;
    // The price comparison whose offers the list shows; 0 for none.
    std::int32_t searchId = 0;
    // The tree is filled again (its store and category lists, or the saved comparisons).
    bool rebuildTree = false;
    std::string siteBase;
    // The time the summary counts its day around.
    std::int64_t now = 0;

    // Both ask for the same rows: the same filter and comparison (a newer load of one view).
    bool SameView(const FolderQuery& other) const
    {
        return filter.storeId == other.filter.storeId && filter.categoryId == other.filter.categoryId
            && filter.from == other.filter.from && filter.to == other.filter.to
            && filter.keyword == other.filter.keyword && searchId == other.searchId;
    }
};

// The tree under the folder buttons after a load that rebuilt it: a store root over the stores and
// "All Categories" over the categories, or the saved comparisons.
struct TreeContent
{
    bool comparisons = false;
    QString storeRoot;
    IdNameList stores;
    IdNameList categories;
    std::vector<SearchRecord> searches;
};

// A load's result, made whole off the window thread so that the window only swaps it in.
struct FolderLoad
{
    ListRows rows;
    // Only when the query asked for the tree.
    std::optional<TreeContent> tree;
    // The summary page's counts instead of rows, with the day they counted.
    std::optional<SummaryContent> summary;
    ItemFilter summaryDay;
};

} // namespace tallyhawk
