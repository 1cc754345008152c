#include "core/store/item_store.h"

#include "core/common/byte_text.h"
#include "core/common/clock.h"
#include "core/common/item_kind.h"
#include "core/platform/atomic_file.h"
#include "core/store/word_rules.h"

#include <algorithm>
#include <set>

namespace tallyhawk
{
namespace
{

constexpr std::string_view kArchiveName = "backup.dat";

std::int32_t FieldInt(const unsigned char* record, std::size_t offset)
{
    return static_cast<std::int32_t>(LoadLe32(record + offset));
}

std::int16_t FieldShort(const unsigned char* record, std::size_t offset)
{
    return static_cast<std::int16_t>(LoadLe16(record + offset));
}

// The record markers and sizes are wrong: for the item files that covers a wrong file marker too.
int FileStatus(int status)
{
    return status == kBadMarker ? kBadFormat : status;
}

// Opens the list file for one operation and checks its file marker: 0, -41 or -42.
int OpenListFile(RecordFile& file, const std::string& path, RecordFile::Mode mode)
{
    if (file.Open(path, mode) != kOk) {
        return kCannotOpen;
    }
    return FileStatus(file.CheckFileMarker());
}

std::optional<WordMatcher> KeywordWords(const ItemFilter& filter)
{
    if (!filter.keyword) {
        return std::nullopt;
    }
    return WordMatcher(*filter.keyword);
}

const WordMatcher* Pointer(const std::optional<WordMatcher>& words)
{
    return words ? &*words : nullptr;
}

} // namespace

const RecordFrame ItemStore::kFrame{ItemRecord::kSize, RecordFrame::kMarkerSize};

ItemStore::ItemStore() = default;

ItemStore::~ItemStore()
{
    Clear();
}

void ItemStore::View::Add(const ItemRecord& record)
{
    records.push_back(record);
    stores.AddOrCount(record.storeId, record.storeName(), 0);
    categories.AddOrCount(record.categoryId, record.categoryName(), 0);
}

void ItemStore::Open(std::string_view fileName, std::string_view folder)
{
    std::lock_guard<std::mutex> operation(operationMutex_);
    if (folder.size() >= 2) {
        std::string prefix(folder);
        if (prefix.back() != '/') {
            prefix.push_back('/');
        }
        listPath_ = prefix + std::string(fileName);
        archivePath_ = prefix + std::string(kArchiveName);
    } else {
        listPath_ = std::string(fileName);
        archivePath_ = std::string(kArchiveName);
    }
    for (auto& highest : highestId_) {
        highest.store(0);
    }
    listCheck_ = FrameCheck{};
    idsInFile_.clear();
    Hold hold(*this);
    view_ = View();
    filter_ = ItemFilter();
}

void ItemStore::ReplaceView(View view)
{
    Hold hold(*this);
    std::swap(view_, view);
}

void ItemStore::RaiseHighestId(std::int32_t kind, std::int32_t id)
{
    if (!IsStoredKind(kind)) {
        return;
    }
    std::atomic<std::int32_t>& highest = highestId_[static_cast<std::size_t>(kind - 1)];
    if (id > highest.load()) {
        highest.store(id);
    }
}

std::int32_t ItemStore::HighestId(std::int32_t kind) const
{
    return IsStoredKind(kind) ? highestId_[static_cast<std::size_t>(kind - 1)].load() : 0;
}

int ItemStore::Load(const ItemFilter* filter)
{
    std::lock_guard<std::mutex> operation(operationMutex_);
    Clear();
    if (filter != nullptr) {
        Hold hold(*this);
        filter_ = *filter;
    }
    const std::optional<WordMatcher> words = KeywordWords(filter_);

    RecordFile file(kFrame);
    if (int status = OpenListFile(file, listPath_, RecordFile::Mode::Read); status != kOk) {
        return status;
    }
    View view;
    if (!filter_.keyword && filter_.from == 0) {
        // Most records will be kept: room for all the file can hold saves growing the view step by step.
        view.records.reserve(static_cast<std::size_t>(file.size() / kFrame.FrameSize()));
    }
    FrameScan scan = file.Scan([&](const unsigned char* bytes, std::uint64_t) {
        RaiseHighestId(FieldInt(bytes, ItemRecord::kKindOffset), FieldInt(bytes, ItemRecord::kIdOffset));
        if (FieldShort(bytes, ItemRecord::kDeletedOffset) != 0) {
            return true;
        }
        ItemRecord record = ItemRecord::Parse(bytes);
        if (filter_.Passes(record, Pointer(words))) {
            view.Add(record);
        }
        return true;
    });
    ReplaceView(std::move(view));
    return scan.end == FrameEnd::EndMarker ? kOk : kBadFormat;
}

int ItemStore::LoadHot(const ItemFilter& filter)
{
    std::lock_guard<std::mutex> operation(operationMutex_);
    Clear();
    const std::optional<WordMatcher> words = KeywordWords(filter);
    RecordFile file(kFrame);
    if (int status = OpenListFile(file, listPath_, RecordFile::Mode::Read); status != kOk) {
        return status;
    }
    View view;
    FrameScan scan = file.Scan([&](const unsigned char* bytes, std::uint64_t) {
        if (FieldShort(bytes, ItemRecord::kDeletedOffset) != 0
            || FieldShort(bytes, ItemRecord::kHotOffset) != 1) {
            return true;
        }
        ItemRecord record = ItemRecord::Parse(bytes);
        if (filter.Passes(record, Pointer(words))) {
            view.records.push_back(record);
        }
        return true;
    });
    const int count = static_cast<int>(view.records.size());
    ReplaceView(std::move(view));
    return scan.end == FrameEnd::EndMarker ? count : kBadFormat;
}

int ItemStore::Append(const ItemValues& values, std::optional<ItemRecord>* kept)
{
    const int result = AppendRecord(values, std::nullopt, kept);
    return result < 0 ? result : kOk;
}

int ItemStore::AppendNew(const ItemValues& values, std::int32_t askedAfter, std::optional<ItemRecord>* kept)
{
    return AppendRecord(values, askedAfter, kept);
}

int ItemStore::AppendRecord(const ItemValues& values,
                            std::optional<std::int32_t> onlyAfter,
                            std::optional<ItemRecord>* kept)
{
    std::lock_guard<std::mutex> operation(operationMutex_);
    if (kept != nullptr) {
        kept->reset();
    }
    const ItemRecord record = ItemRecord::Make(values, Clock::Now());
    unsigned char bytes[ItemRecord::kSize];
    record.Serialize(bytes);
    {
        RecordFile file(kFrame);
        if (file.Open(listPath_, RecordFile::Mode::Append) != kOk) {
            return kCannotOpen;
        }
        if (!file.Continues(listCheck_)) {
            idsInFile_.clear();
        }
        const int check = file.CheckFrames(listCheck_, [&](const unsigned char* stored, std::uint64_t) {
            const std::int32_t kind = FieldInt(stored, ItemRecord::kKindOffset);
            const std::int32_t id = FieldInt(stored, ItemRecord::kIdOffset);
            idsInFile_[kind].insert(id);
            RaiseHighestId(kind, id);
            return true;
        });
        if (check != kOk) {
            listCheck_ = FrameCheck{};
            return FileStatus(check);
        }
        if (onlyAfter && (record.id <= *onlyAfter || idsInFile_[record.kind].contains(record.id))) {
            return 0;
        }
        if (int status = file.Append(bytes, listCheck_); status != kOk) {
            listCheck_ = FrameCheck{};
            return FileStatus(status);
        }
        idsInFile_[record.kind].insert(record.id);
    }
    RaiseHighestId(record.kind, record.id);
    if (filter_.Passes(record)) {
        Hold hold(*this);
        view_.Add(record);
        if (kept != nullptr) {
            *kept = record;
        }
    }
    return 1;
}

int ItemStore::CountMatching(const ItemFilter& filter, int* status)
{
    return Count(filter, status, false);
}

int ItemStore::CountUnread(const ItemFilter& filter, int* status)
{
    return Count(filter, status, true);
}

int ItemStore::Count(const ItemFilter& filter, int* status, bool unreadOnly)
{
    const std::optional<WordMatcher> words = KeywordWords(filter);
    RecordFile file(kFrame);
    if (int opened = OpenListFile(file, listPath_, RecordFile::Mode::Read); opened != kOk) {
        if (status != nullptr) {
            *status = opened;
        }
        return 0;
    }
    int count = 0;
    FrameScan scan = file.Scan([&](const unsigned char* bytes, std::uint64_t) {
        if (FieldShort(bytes, ItemRecord::kDeletedOffset) == 0
            && (!unreadOnly || FieldShort(bytes, ItemRecord::kReadOffset) == 0)
            && filter.Passes(ItemRecord::Parse(bytes), Pointer(words))) {
            ++count;
        }
        return true;
    });
    if (status != nullptr) {
        *status = scan.end == FrameEnd::EndMarker ? kOk : kBadFormat;
    }
    return count;
}

int ItemStore::Mark(std::int32_t id, std::int32_t kind, std::size_t flagOffset)
{
    RecordFile file(kFrame);
    if (int status = OpenListFile(file, listPath_, RecordFile::Mode::Update); status != kOk) {
        return status;
    }
    std::uint64_t found = 0;
    FrameScan scan = file.Scan([&](const unsigned char* bytes, std::uint64_t offset) {
        if (FieldInt(bytes, ItemRecord::kIdOffset) == id
            && FieldInt(bytes, ItemRecord::kKindOffset) == kind) {
            found = offset;
            return false;
        }
        return true;
    });
    if (scan.end == FrameEnd::EndMarker) {
        return kNoSuchRecord;
    }
    if (scan.end != FrameEnd::Stopped) {
        return kBadFormat;
    }
    // Only the flag's two bytes change; the rest of the record stays byte for byte as it was.
    unsigned char flag[2];
    StoreLe16(flag, 1);
    return file.WriteAt(flag, sizeof flag, found + flagOffset) ? id : kBadFormat;
}

std::vector<ItemRecord>::reverse_iterator ItemStore::NewestInView(std::int32_t id, std::int32_t kind)
{
    return std::find_if(view_.records.rbegin(), view_.records.rend(), [&](const ItemRecord& record) {
        return record.id == id && record.kind == kind;
    });
}

int ItemStore::MarkRead(std::int32_t id, std::int32_t kind)
{
    std::lock_guard<std::mutex> operation(operationMutex_);
    const int result = Mark(id, kind, ItemRecord::kReadOffset);
    if (result >= 0) {
        Hold hold(*this);
        if (auto it = NewestInView(id, kind); it != view_.records.rend()) {
            it->read = 1;
        }
    }
    return result;
}

int ItemStore::MarkAllRead(const std::vector<std::pair<std::int32_t, std::int32_t>>& idsAndKinds)
{
    if (idsAndKinds.empty()) {
        return 0;
    }
    std::lock_guard<std::mutex> operation(operationMutex_);
    RecordFile file(kFrame);
    if (int status = OpenListFile(file, listPath_, RecordFile::Mode::Update); status != kOk) {
        return status;
    }
    std::set<std::pair<std::int32_t, std::int32_t>> wanted(idsAndKinds.begin(), idsAndKinds.end());
    std::vector<std::uint64_t> found;
    FrameScan scan = file.Scan([&](const unsigned char* bytes, std::uint64_t offset) {
        const auto key = std::make_pair(FieldInt(bytes, ItemRecord::kIdOffset),
                                        FieldInt(bytes, ItemRecord::kKindOffset));
        // The first record of each key only, as MarkRead marks it.
        if (wanted.erase(key) == 1) {
            found.push_back(offset);
        }
        return !wanted.empty();
    });
    if (scan.end != FrameEnd::EndMarker && scan.end != FrameEnd::Stopped) {
        return kBadFormat;
    }
    unsigned char flag[2];
    StoreLe16(flag, 1);
    for (std::uint64_t offset : found) {
        if (!file.WriteAt(flag, sizeof flag, offset + ItemRecord::kReadOffset)) {
            return kBadFormat;
        }
    }
    Hold hold(*this);
    for (const auto& [id, kind] : idsAndKinds) {
        if (auto it = NewestInView(id, kind); it != view_.records.rend()) {
            it->read = 1;
        }
    }
    return static_cast<int>(found.size());
}

int ItemStore::Delete(std::int32_t id, std::int32_t kind)
{
    std::lock_guard<std::mutex> operation(operationMutex_);
    const int result = Mark(id, kind, ItemRecord::kDeletedOffset);
    if (result >= 0) {
        Hold hold(*this);
        if (auto it = NewestInView(id, kind); it != view_.records.rend()) {
            view_.records.erase(std::next(it).base());
        }
    }
    return result;
}

int ItemStore::Archive()
{
    std::lock_guard<std::mutex> operation(operationMutex_);
    const std::int64_t now = Clock::Now();
    RecordFile list(kFrame);
    if (list.Open(listPath_, RecordFile::Mode::Update) != kOk) {
        return kCannotOpen;
    }
    // The list stays held until the archive has taken its place.
    AtomicFile archive(listPath_, archivePath_);
    if (!archive.Open()) {
        return kCannotOpen;
    }
    unsigned char marker[RecordFrame::kMarkerSize];
    if (!list.ReadAt(marker, sizeof marker, 0)) {
        return kBadFormat;
    }
    bool written = archive.Write(marker, sizeof marker);
    if (LoadLe32(marker) != RecordFrame::kFileMarker) {
        return kBadFormat;
    }
    unsigned char recordMarker[RecordFrame::kMarkerSize];
    StoreLe32(recordMarker, RecordFrame::kRecordMarker);
    FrameScan scan = list.Scan([&](const unsigned char* bytes, std::uint64_t) {
        if (FieldShort(bytes, ItemRecord::kDeletedOffset) != 0) {
            return true;
        }
        const std::int32_t date = FieldInt(bytes, ItemRecord::kDateOffset);
        const std::int32_t arrivedAt = FieldInt(bytes, ItemRecord::kArrivedAtOffset);
        const bool keep
            = (date < 1 && arrivedAt > now - kArchiveArrivalWindow) || date >= now - kArchiveDateWindow;
        if (keep) {
            written = archive.Write(recordMarker, sizeof recordMarker)
                && archive.Write(bytes, ItemRecord::kSize) && written;
        }
        return written;
    });
    unsigned char end[RecordFrame::kMarkerSize];
    StoreLe32(end, RecordFrame::kEndMarker);
    written = archive.Write(end, sizeof end) && written;
    // A torn tail is what a crash during an append leaves: the rewrite simply ends at the last whole
    // record. Anything else is damage that the rewrite must not paper over.
    if (scan.end != FrameEnd::EndMarker && scan.end != FrameEnd::TornTail) {
        return written ? kBadFormat : kCannotReplace;
    }
    if (!written) {
        return kCannotReplace;
    }
    return archive.Commit() ? kOk : kCannotReplace;
}

RecordRepair ItemStore::Repair()
{
    std::lock_guard<std::mutex> operation(operationMutex_);
    listCheck_ = FrameCheck{};
    idsInFile_.clear();
    return RecordRepair::Run(listPath_, kFrame);
}

void ItemStore::Clear()
{
    Hold hold(*this);
    view_ = View();
}

std::size_t ItemStore::Count()
{
    Hold hold(*this);
    return view_.records.size();
}

std::optional<ItemRecord> ItemStore::At(std::size_t index)
{
    Hold hold(*this);
    const auto& records = view_.records;
    if (index >= records.size()) {
        return std::nullopt;
    }
    return records[records.size() - 1 - index];
}

std::vector<ItemRecord> ItemStore::Items()
{
    Hold hold(*this);
    return std::vector<ItemRecord>(view_.records.rbegin(), view_.records.rend());
}

IdNameList ItemStore::Stores()
{
    Hold hold(*this);
    return view_.stores;
}

IdNameList ItemStore::Categories()
{
    Hold hold(*this);
    return view_.categories;
}

ItemFilter ItemStore::filter()
{
    Hold hold(*this);
    return filter_;
}

} // namespace tallyhawk
