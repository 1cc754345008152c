#include "core/shopping/shopping_database.h"

#include "core/common/byte_text.h"
#include "core/common/clock.h"
#include "core/common/time_span.h"
#include "core/platform/atomic_file.h"
#include "core/platform/record_file.h"
#include "core/shopping/purchase_type.h"
#include "core/shopping/recurring_schedule.h"
#include "core/shopping/shopping_filter.h"
#include "core/store/word_rules.h"

#include <algorithm>
#include <filesystem>
#include <limits>

namespace tallyhawk
{
namespace
{

constexpr std::array<std::string_view, 6> kFileNames
    = {"product.dat", "purchase.dat", "backup.dat", "store.lst", "category.lst", "unit.lst"};
constexpr std::size_t kBackupIndex = 2;
constexpr std::size_t kFirstListIndex = 3;

std::int32_t FieldInt(const unsigned char* bytes, std::size_t offset)
{
    return static_cast<std::int32_t>(LoadLe32(bytes + offset));
}

bool IsDeleted(const unsigned char* bytes)
{
    return bytes[ShoppingRecord::kDeletedOffset] != 0;
}

ShoppingFilterMode ModeOf(std::int32_t kind)
{
    return kind == ShoppingDatabase::kProducts ? ShoppingFilterMode::Products : ShoppingFilterMode::Purchases;
}

// The status of a scan that ran to its end, or the damage that stopped it.
int ScanStatus(const FrameScan& scan)
{
    switch (scan.end) {
    case FrameEnd::EndMarker:
    case FrameEnd::Stopped:
        return kOk;
    case FrameEnd::BadMarker:
        return kBadMarker;
    default:
        return kBadFormat;
    }
}

// Opens a record file and checks its file marker: 0, -41, -42 (too short) or -44.
int OpenRecordFile(RecordFile& file, const std::string& path, RecordFile::Mode mode)
{
    if (file.Open(path, mode) != kOk) {
        return kCannotOpen;
    }
    return file.CheckFileMarker();
}

std::int32_t StoredLastId(RecordFile& file)
{
    unsigned char header[ShoppingDatabase::kHeaderSize];
    return file.ReadHeader(header) ? FieldInt(header, 4) : 0;
}

// The highest id of any record in the file, deleted ones included.
std::int32_t HighestIdIn(RecordFile& file, FrameScan* scan = nullptr)
{
    std::int32_t highest = 0;
    FrameScan done = file.Scan([&](const unsigned char* bytes, std::uint64_t) {
        highest = std::max(highest, FieldInt(bytes, ShoppingRecord::kIdOffset));
        return true;
    });
    if (scan != nullptr) {
        *scan = done;
    }
    return highest;
}

bool EqualIgnoringCase(std::string_view left, std::string_view right)
{
    auto lower = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    return left.size() == right.size()
        && std::equal(
               left.begin(), left.end(), right.begin(), [&](char a, char b) { return lower(a) == lower(b); });
}

void SetStatus(int* out, int status)
{
    if (out != nullptr) {
        *out = status;
    }
}

} // namespace

const RecordFrame ShoppingDatabase::kFrame{ShoppingRecord::kSize, ShoppingDatabase::kHeaderSize};

ShoppingDatabase::ShoppingDatabase()
{
    Open({}, false);
}

ShoppingDatabase::~ShoppingDatabase() = default;

int ShoppingDatabase::Open(std::string_view folder, bool loadLists)
{
    std::lock_guard<std::mutex> operation(operationMutex_);
    std::string prefix;
    if (folder.size() >= 2) {
        prefix = std::string(folder);
        if (prefix.back() != '/') {
            prefix.push_back('/');
        }
    }
    for (std::size_t i = 0; i < kFileNames.size(); ++i) {
        paths_[i] = prefix + std::string(kFileNames[i]);
    }
    std::array<ListState, 3> lists;
    int result = kOk;
    if (loadLists) {
        // Every list is loaded, whatever an earlier one did, so each shows the names it holds.
        for (std::size_t i = 0; i < lists.size(); ++i) {
            const std::string& path = paths_[kFirstListIndex + i];
            const int status = lists[i].entries.Load(path);
            if (result == kOk) {
                result = status;
            }
        }
    }
    std::lock_guard<std::mutex> state(stateMutex_);
    lists_ = std::move(lists);
    view_ = ShoppingView();
    return result;
}

std::optional<std::string> ShoppingDatabase::RecordPath(std::int32_t kind) const
{
    if (kind == kProducts) {
        return paths_[0];
    }
    if (kind == kPurchases) {
        return paths_[1];
    }
    return std::nullopt;
}

int ShoppingDatabase::OpenKind(RecordFile& file, std::int32_t kind, RecordFile::Mode mode) const
{
    const std::optional<std::string> path = RecordPath(kind);
    return path ? OpenRecordFile(file, *path, mode) : kCannotOpen;
}

int ShoppingDatabase::EnsureEntry(List list, IdNameEntry& entry)
{
    if (entry.id != 0 || entry.name.empty()) {
        return kOk;
    }
    ListState& state = lists_[static_cast<std::size_t>(list)];
    // The new id is chosen from what the file holds now, not from the copy loaded at start: other
    // programs (and the site list refresh) add entries meanwhile.
    std::int32_t id = 0;
    IdNameList held;
    const std::string_view stored = FitText(entry.name, IdNameEntry::kNameSize - 1);
    const int status = IdNameList::Update(
        paths_[kFirstListIndex + static_cast<std::size_t>(list)],
        [&](IdNameList& current) {
            // Another program may have added the same name meanwhile: its entry is used, not a second one.
            for (const auto& [heldId, heldEntry] : current) {
                if (EqualIgnoringCase(heldEntry.name, stored)) {
                    id = heldId;
                    return 1;
                }
            }
            id = current.AddUserEntry(entry.name);
            return id == 0 ? kCannotOpen : kOk;
        },
        &held);
    if (status != kOk) {
        return status;
    }
    state.entries = std::move(held);
    entry.id = id;
    return kOk;
}

int ShoppingDatabase::EnsureListEntries(IdNameEntry& store, IdNameEntry& category, IdNameEntry& unit)
{
    std::lock_guard<std::mutex> state(stateMutex_);
    if (int status = EnsureEntry(List::Stores, store); status != kOk) {
        return status;
    }
    if (int status = EnsureEntry(List::Categories, category); status != kOk) {
        return status;
    }
    return EnsureEntry(List::Units, unit);
}

IdNameEntry ShoppingDatabase::ResolveEntry(List list, std::string_view name)
{
    IdNameEntry resolved;
    if (name.empty()) {
        return resolved;
    }
    std::lock_guard<std::mutex> state(stateMutex_);
    for (const auto& [id, entry] : lists_[static_cast<std::size_t>(list)].entries) {
        if (EqualIgnoringCase(entry.name, name)) {
            resolved.id = id;
            resolved.name = entry.name;
            return resolved;
        }
    }
    resolved.name = std::string(name);
    return resolved;
}

IdNameList ShoppingDatabase::CopyOf(List list)
{
    std::lock_guard<std::mutex> state(stateMutex_);
    return lists_[static_cast<std::size_t>(list)].entries;
}

void ShoppingDatabase::ReplaceList(List list, IdNameList replacement)
{
    std::lock_guard<std::mutex> state(stateMutex_);
    ListState& held = lists_[static_cast<std::size_t>(list)];
    held.entries = std::move(replacement);
}

void ShoppingDatabase::ViewReplaced(std::int32_t kind,
                                    std::int32_t id,
                                    const std::optional<ShoppingRecord>& record)
{
    std::lock_guard<std::mutex> state(stateMutex_);
    // The view shows one file: a record of the other one never enters it.
    if (view_.kind != kind) {
        return;
    }
    if (id != 0) {
        view_.RemoveFirst(id);
    }
    if (record) {
        ShoppingRecord copy = *record;
        if (PassesFilter(copy, view_.filter, ModeOf(kind))) {
            view_.Insert(copy);
        }
    }
}

std::optional<ShoppingRecord>
ShoppingDatabase::Append(std::int32_t kind, ShoppingValues& values, bool ensureEntries, int& status)
{
    const std::optional<std::string> path = RecordPath(kind);
    if (!path) {
        status = kCannotOpen;
        return std::nullopt;
    }
    if (ensureEntries) {
        status = EnsureListEntries(values.store, values.category, values.unit);
        if (status != kOk) {
            return std::nullopt;
        }
    }
    RecordFile file(kFrame);
    status = OpenRecordFile(file, *path, RecordFile::Mode::Append);
    if (status != kOk) {
        status = status == kCannotOpen ? kCannotOpen : kBadFormat;
        return std::nullopt;
    }
    // Above the stored last id and every id in the file: a crash between writing a record and its last
    // id must not give the next record the same id. Damage before the end would hide the new record
    // from every reader: no append after it. A torn tail is cut back by the append itself.
    std::int32_t highest = StoredLastId(file);
    FrameCheck known;
    const int check = file.CheckFrames(known, [&](const unsigned char* bytes, std::uint64_t) {
        highest = std::max(highest, FieldInt(bytes, ShoppingRecord::kIdOffset));
        return true;
    });
    if (check != kOk || highest == std::numeric_limits<std::int32_t>::max()) {
        status = kBadFormat;
        return std::nullopt;
    }
    ShoppingRecord record = ShoppingRecord::Make(values, std::max(highest, 0) + 1);
    unsigned char bytes[ShoppingRecord::kSize];
    record.Serialize(bytes);
    if (file.Append(bytes, known) != kOk) {
        status = kBadFormat;
        return std::nullopt;
    }
    // The record is stored whatever happens to its last id now: the next add counts it from the file.
    unsigned char lastId[4];
    StoreLe32(lastId, static_cast<std::uint32_t>(record.id));
    file.WriteAt(lastId, sizeof lastId, 4);
    file.Close();
    status = kOk;
    ViewReplaced(kind, 0, record);
    if (kind == kProducts) {
        PassesFilter(record, ItemFilter(), ShoppingFilterMode::Products);
    }
    return record;
}

std::optional<ShoppingRecord>
ShoppingDatabase::AddRecord(std::int32_t kind, ShoppingValues values, int* status)
{
    std::lock_guard<std::mutex> operation(operationMutex_);
    int result = kOk;
    std::optional<ShoppingRecord> record = Append(kind, values, true, result);
    SetStatus(status, result);
    return record;
}

ShoppingDatabase::Found ShoppingDatabase::FindIn(RecordFile& file, std::int32_t id)
{
    Found found;
    FrameScan scan = file.Scan([&](const unsigned char* bytes, std::uint64_t offset) {
        // A deleted record is gone for every operation but the archive.
        if (FieldInt(bytes, ShoppingRecord::kIdOffset) != id || IsDeleted(bytes)) {
            return true;
        }
        found.offset = offset;
        found.record = ShoppingRecord::Parse(bytes);
        return false;
    });
    found.status = scan.end == FrameEnd::EndMarker ? kNoSuchRecord : ScanStatus(scan);
    return found;
}

std::optional<ShoppingRecord>
ShoppingDatabase::EditRecord(std::int32_t kind, std::int32_t id, ShoppingValues values, int* status)
{
    std::lock_guard<std::mutex> operation(operationMutex_);
    RecordFile file(kFrame);
    int result = OpenKind(file, kind, RecordFile::Mode::Update);
    Found found;
    if (result == kOk) {
        found = FindIn(file, id);
        result = found.status;
    }
    if (result == kOk) {
        result = EnsureListEntries(values.store, values.category, values.unit);
    }
    std::optional<ShoppingRecord> record;
    if (result == kOk) {
        record = ShoppingRecord::Make(values, id);
        unsigned char bytes[ShoppingRecord::kSize];
        record->Serialize(bytes);
        result = file.WriteAt(bytes, sizeof bytes, found.offset) ? kOk : kBadFormat;
    }
    file.Close();
    SetStatus(status, result);
    if (result != kOk) {
        return std::nullopt;
    }
    ViewReplaced(kind, id, record);
    if (kind == kProducts) {
        PassesFilter(*record, ItemFilter(), ShoppingFilterMode::Products);
    }
    return record;
}

int ShoppingDatabase::MarkRecord(std::int32_t kind, std::int32_t id, Mark mark)
{
    std::lock_guard<std::mutex> operation(operationMutex_);
    // Purchases are bought already: only a product can be purchased or skipped. (Buying a purchase
    // would also append to the very file this operation holds.)
    if (kind != kProducts && mark != Mark::Deleted) {
        return kCannotOpen;
    }
    RecordFile file(kFrame);
    if (int status = OpenKind(file, kind, RecordFile::Mode::Update); status != kOk) {
        return status;
    }
    Found found = FindIn(file, id);
    if (found.status != kOk) {
        return found.status;
    }

    std::optional<ShoppingRecord> purchase;
    if (mark == Mark::Purchased) {
        // The purchase first: a product must never read as bought while its purchase is missing.
        ShoppingValues values = found.record.Values();
        values.startDate = Clock::Now();
        int status = kOk;
        purchase = Append(kPurchases, values, false, status);
        if (!purchase) {
            return status;
        }
    }

    // Only the changed field is written; every other byte stays as it was.
    bool written = false;
    if (mark == Mark::Deleted) {
        const unsigned char deleted = 1;
        written = file.WriteAt(&deleted, 1, found.offset + ShoppingRecord::kDeletedOffset);
    } else {
        unsigned char today[4];
        StoreLe32(today, static_cast<std::uint32_t>(LocalTimeOnDayOf(Clock::Now(), 1, 0, 0)));
        written = file.WriteAt(today, sizeof today, found.offset + ShoppingRecord::kLastPurchasedOffset);
    }
    file.Close();
    if (!written) {
        if (purchase) {
            // The product still reads as due: its purchase goes too, so buying it again adds one only.
            RecordFile purchases(kFrame);
            if (OpenRecordFile(purchases, paths_[1], RecordFile::Mode::Update) == kOk) {
                Found added = FindIn(purchases, purchase->id);
                const unsigned char deleted = 1;
                if (added.status == kOk) {
                    purchases.WriteAt(&deleted, 1, added.offset + ShoppingRecord::kDeletedOffset);
                }
            }
        }
        return kBadFormat;
    }
    ViewReplaced(kind, id, std::nullopt);
    return id;
}

std::optional<ShoppingRecord> ShoppingDatabase::Find(std::int32_t kind, std::int32_t id, int* status)
{
    RecordFile file(kFrame);
    if (int opened = OpenKind(file, kind, RecordFile::Mode::Read); opened != kOk) {
        SetStatus(status, opened);
        return std::nullopt;
    }
    Found found = FindIn(file, id);
    SetStatus(status, found.status);
    if (found.status != kOk) {
        return std::nullopt;
    }
    if (kind == kProducts) {
        PassesFilter(found.record, ItemFilter(), ShoppingFilterMode::Products);
    }
    return found.record;
}

int ShoppingDatabase::Scan(RecordFile& file,
                           std::int32_t kind,
                           const ItemFilter* filter,
                           bool withCoupons,
                           const std::function<void(ShoppingRecord&)>& take)
{
    std::optional<WordMatcher> words;
    if (filter != nullptr && filter->keyword) {
        words.emplace(*filter->keyword);
    }
    const ShoppingFilterMode mode = ModeOf(kind);
    FrameScan scan = file.Scan([&](const unsigned char* bytes, std::uint64_t) {
        if (IsDeleted(bytes)) {
            return true;
        }
        ShoppingRecord record = ShoppingRecord::Parse(bytes, withCoupons);
        if (filter == nullptr || PassesFilter(record, *filter, mode, words ? &*words : nullptr)) {
            take(record);
        }
        return true;
    });
    return ScanStatus(scan);
}

int ShoppingDatabase::LoadView(std::int32_t kind, const ItemFilter* filter)
{
    std::lock_guard<std::mutex> operation(operationMutex_);
    const std::optional<std::string> path = RecordPath(kind);
    if (!path) {
        return kCannotOpen;
    }
    ShoppingView view;
    view.kind = kind;
    {
        std::lock_guard<std::mutex> state(stateMutex_);
        view.filter = filter != nullptr ? *filter : view_.filter;
        view_ = ShoppingView();
        view_.kind = kind;
        view_.filter = view.filter;
    }
    RecordFile file(kFrame);
    int status = OpenRecordFile(file, *path, RecordFile::Mode::Read);
    if (status == kOk) {
        status = Scan(file, kind, &view.filter, true, [&](ShoppingRecord& record) { view.Append(record); });
        view.Order();
    }
    std::lock_guard<std::mutex> state(stateMutex_);
    view_ = std::move(view);
    return status;
}

int ShoppingDatabase::CountMatching(std::int32_t kind, const ItemFilter& filter)
{
    RecordFile file(kFrame);
    if (OpenKind(file, kind, RecordFile::Mode::Read) != kOk) {
        return 0;
    }
    int count = 0;
    Scan(file, kind, &filter, false, [&](ShoppingRecord&) { ++count; });
    return count;
}

int ShoppingDatabase::CountRecords(std::int32_t kind)
{
    RecordFile file(kFrame);
    if (OpenKind(file, kind, RecordFile::Mode::Read) != kOk) {
        return 0;
    }
    int count = 0;
    file.Scan([&](const unsigned char* bytes, std::uint64_t) {
        count += IsDeleted(bytes) ? 0 : 1;
        return true;
    });
    return count;
}

RecordRepair ShoppingDatabase::Repair(std::int32_t kind)
{
    std::lock_guard<std::mutex> operation(operationMutex_);
    const std::optional<std::string> path = RecordPath(kind);
    if (!path) {
        RecordRepair refused;
        refused.status = kCannotOpen;
        return refused;
    }
    return RecordRepair::Run(*path, kFrame);
}

int ShoppingDatabase::Archive(std::int32_t kind)
{
    std::lock_guard<std::mutex> operation(operationMutex_);
    RecordFile file(kFrame);
    if (int status = OpenKind(file, kind, RecordFile::Mode::Update); status != kOk) {
        return status;
    }
    // The last id keeps every id ever given out, those of the records dropped now included.
    FrameScan first;
    const std::int32_t lastId = std::max(StoredLastId(file), HighestIdIn(file, &first));
    // A torn tail is what a crash during an append leaves: the rewrite ends at the last whole record.
    // Damage before it is refused rather than papered over.
    if (first.end != FrameEnd::EndMarker && first.end != FrameEnd::TornTail) {
        return ScanStatus(first);
    }
    // The record file stays held until the backup has taken its place.
    AtomicFile backup(file.path(), paths_[kBackupIndex]);
    if (!backup.Open()) {
        return kCannotOpen;
    }
    unsigned char header[kHeaderSize];
    StoreLe32(header, RecordFrame::kFileMarker);
    StoreLe32(header + 4, static_cast<std::uint32_t>(lastId));
    bool written = backup.Write(header, sizeof header);
    unsigned char marker[RecordFrame::kMarkerSize];
    StoreLe32(marker, RecordFrame::kRecordMarker);
    file.Scan([&](const unsigned char* bytes, std::uint64_t) {
        const bool purchasedOnce
            = IsPurchaseType(LoadLe16(bytes + ShoppingRecord::kPurchaseTypeOffset), PurchaseType::OneTime)
            && FieldInt(bytes, ShoppingRecord::kLastPurchasedOffset) != 0;
        if (!IsDeleted(bytes) && !purchasedOnce) {
            written = written && backup.Write(marker, sizeof marker)
                && backup.Write(bytes, ShoppingRecord::kSize);
        }
        return written;
    });
    StoreLe32(marker, RecordFrame::kEndMarker);
    written = written && backup.Write(marker, sizeof marker);
    if (!written || !backup.Commit()) {
        return kCannotRestore;
    }
    return 1;
}

std::optional<ShoppingRecord> ShoppingDatabase::First()
{
    std::lock_guard<std::mutex> state(stateMutex_);
    return view_.First();
}

std::optional<ShoppingRecord> ShoppingDatabase::Next()
{
    std::lock_guard<std::mutex> state(stateMutex_);
    return view_.Next();
}

std::vector<ShoppingRecord> ShoppingDatabase::ViewRecords()
{
    std::lock_guard<std::mutex> state(stateMutex_);
    return view_.Records();
}

IdNameList ShoppingDatabase::StoresInView()
{
    std::lock_guard<std::mutex> state(stateMutex_);
    return view_.StoresIn(lists_[static_cast<std::size_t>(List::Stores)].entries);
}

IdNameList ShoppingDatabase::CategoriesInView()
{
    std::lock_guard<std::mutex> state(stateMutex_);
    return view_.CategoriesIn(lists_[static_cast<std::size_t>(List::Categories)].entries);
}

} // namespace tallyhawk
