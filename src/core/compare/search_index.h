#pragma once

#include "core/compare/result_list.h"
#include "core/compare/search_record.h"
#include "core/store/item_filter.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tallyhawk
{

// The saved comparisons: the index file "pricecmp.dat" (file marker 80001, the last id given, per
// comparison the record marker 80002 and a 68-byte SearchRecord, end marker 80003) and one results file
// per comparison, "<results folder>/<id>.dat". In memory, the records that pass the current filter,
// newest first; records saved in the same second keep the order of the file.
class SearchIndex
{
public:
    static constexpr const char* kIndexFile = "pricecmp.dat";
    static constexpr const char* kResultsFolder = "WebSearch";

    explicit SearchIndex(std::string indexPath = kIndexFile, std::string resultsFolder = kResultsFolder);

    void Clear();
    // Reads the index with `filter` as the current filter (of which from, to and keyword count), or
    // the current one when none is given. 0; kCannotOpen; kBadMarker for a wrong file marker or a
    // marker that is neither a record nor the end; kBadFormat when the file is cut short (the records
    // before that stay).
    std::int32_t Load(const ItemFilter* filter = nullptr);

    std::size_t Count() const { return records_.size(); }
    const std::vector<SearchRecord>& records() const { return records_; }
    // The one iteration cursor: the newest record, then each older one; null past the end.
    const SearchRecord* First();
    const SearchRecord* Next();

    // Saves a comparison: its results file first, then its record in the index, so no record ever names
    // a results file that is missing. The new id (2 or more), or kCannotOpen (index or results file
    // cannot be created), kBadFormat (the index is damaged or could not be written), kBadMarker, kFailed
    // (a write of the results file failed). A failure leaves neither a record nor a results file.
    std::int32_t SaveSearch(std::int32_t categoryId, std::string_view searchText, const ResultList& results);

    // The results file of a saved comparison.
    std::string ResultsPath(std::int32_t id) const;
    const std::string& indexPath() const { return indexPath_; }

    // Whether a record passes the current filter.
    bool Passes(const SearchRecord& record) const;

private:
    void InsertByTime(SearchRecord record);

    std::string indexPath_;
    std::string resultsFolder_;
    ItemFilter filter_;
    std::vector<SearchRecord> records_;
    std::size_t cursor_ = 0;
};

} // namespace tallyhawk
