#include "core/compare/search_index.h"

#include "core/common/byte_text.h"
#include "core/common/clock.h"
#include "core/common/record_frame.h"
#include "core/common/status.h"
#include "core/platform/record_file.h"
#include "core/store/word_rules.h"

#include <unistd.h>

#include <algorithm>
#include <limits>

namespace tallyhawk
{
namespace
{

// The index keeps the last id given after its file marker.
constexpr RecordFrame kIndexFrame{SearchRecord::kSize, 2 * RecordFrame::kMarkerSize};
constexpr std::uint64_t kLastIdOffset = RecordFrame::kMarkerSize;

bool NewerFirst(const SearchRecord& a, const SearchRecord& b)
{
    return a.savedAt > b.savedAt;
}

} // namespace

SearchIndex::SearchIndex(std::string indexPath, std::string resultsFolder)
    : indexPath_(std::move(indexPath))
    , resultsFolder_(std::move(resultsFolder))
{ }

void SearchIndex::Clear()
{
    records_.clear();
    cursor_ = 0;
}

std::string SearchIndex::ResultsPath(std::int32_t id) const
{
    return resultsFolder_ + "/" + std::to_string(id) + ".dat";
}

bool SearchIndex::Passes(const SearchRecord& record) const
{
    if (filter_.from != 0 && record.savedAt != 0 && record.savedAt < filter_.from) {
        return false;
    }
    if (filter_.to != 0 && record.savedAt != 0 && record.savedAt > filter_.to) {
        return false;
    }
    return !filter_.keyword || MatchesAllWords(record.name, *filter_.keyword);
}

void SearchIndex::InsertByTime(SearchRecord record)
{
    auto before = std::upper_bound(records_.begin(), records_.end(), record, NewerFirst);
    records_.insert(before, std::move(record));
}

std::int32_t SearchIndex::Load(const ItemFilter* filter)
{
    Clear();
    if (filter) {
        filter_ = *filter;
    }
    RecordFile file(kIndexFrame);
    if (file.Open(indexPath_, RecordFile::Mode::Read) != kOk) {
        return kCannotOpen;
    }
    if (std::int32_t marker = file.CheckFileMarker(); marker != kOk) {
        return marker == kBadFormat ? kBadFormat : kBadMarker;
    }
    if (file.size() < kIndexFrame.headerSize) {
        return kBadFormat;
    }
    FrameScan scan = file.Scan([this](const unsigned char* bytes, std::uint64_t) {
        SearchRecord record = SearchRecord::Decode(bytes);
        if (record.deleted == 0 && Passes(record)) {
            records_.push_back(std::move(record));
        }
        return true;
    });
    // File order, then newest first; a stable sort keeps equal times in file order.
    std::stable_sort(records_.begin(), records_.end(), NewerFirst);
    switch (scan.end) {
    case FrameEnd::EndMarker:
        return kOk;
    case FrameEnd::BadMarker:
        return kBadMarker;
    default:
        return kBadFormat;
    }
}

const SearchRecord* SearchIndex::First()
{
    cursor_ = 0;
    return cursor_ < records_.size() ? &records_[cursor_] : nullptr;
}

const SearchRecord* SearchIndex::Next()
{
    if (cursor_ >= records_.size() || ++cursor_ >= records_.size()) {
        return nullptr;
    }
    return &records_[cursor_];
}

std::int32_t
SearchIndex::SaveSearch(std::int32_t categoryId, std::string_view searchText, const ResultList& results)
{
    SearchRecord record;
    record.categoryId = categoryId;
    record.savedAt = Clock::Now();
    record.name
        = std::string(FitText(searchText.substr(0, searchText.find('\0')), SearchRecord::kNameSize - 1));

    // Held alone from here to the end, so two saves never give out one id.
    RecordFile index(kIndexFrame);
    if (index.Open(indexPath_, RecordFile::Mode::Append) != kOk) {
        return kCannotOpen;
    }
    unsigned char header[2 * RecordFrame::kMarkerSize];
    if (!index.ReadHeader(header) || LoadLe32(header) != RecordFrame::kFileMarker) {
        return kBadFormat;
    }
    // A file this program creates starts at last id 1, so the first comparison gets 2.
    const auto lastId
        = std::max<std::int32_t>(static_cast<std::int32_t>(LoadLe32(header + kLastIdOffset)), 1);
    if (lastId == std::numeric_limits<std::int32_t>::max()) {
        return kBadFormat;
    }
    record.id = lastId + 1;
    // Damage before the tail would hide the new record from readers; a torn tail is cut off by Append.
    const FrameScan scan = index.Scan({});
    const bool appendable = scan.end == FrameEnd::TornTail
        || (scan.end == FrameEnd::EndMarker && scan.trailing < kIndexFrame.FrameSize());
    if (!appendable) {
        return kBadFormat;
    }

    const std::string resultsPath = ResultsPath(record.id);
    if (std::int32_t saved = results.Save(resultsPath); saved != kOk) {
        return saved;
    }
    unsigned char newId[4];
    StoreLe32(newId, static_cast<std::uint32_t>(record.id));
    std::int32_t appended = kBadFormat;
    if (index.WriteAt(newId, sizeof newId, kLastIdOffset)) {
        appended = index.Append(record.Encode().data());
    }
    if (appended != kOk) {
        // The id may be spent, but no record names the results file: take it back.
        ::unlink(resultsPath.c_str());
        return appended;
    }
    const std::int32_t id = record.id;
    if (Passes(record)) {
        InsertByTime(std::move(record));
    }
    return id;
}

} // namespace tallyhawk
