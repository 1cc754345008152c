#pragma once

#include "core/common/record_frame.h"
#include "core/common/status.h"
#include "core/platform/record_file.h"
#include "core/platform/record_repair.h"
#include "core/shopping/shopping_record.h"
#include "core/shopping/shopping_view.h"
#include "core/store/id_name_list.h"
#include "core/store/item_filter.h"

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tallyhawk
{

// The shopping list on disk: products in "product.dat", purchases in "purchase.dat" (kind 1 and 2),
// and the store, category and unit lists that records refer to by id. Holds the lists and the
// current view in memory.
//
// Operations of one database wait for each other, and operations on one file wait for each other
// across databases; another process holding a file makes an operation fail with -41. The view and the
// lists are guarded by a lock of their own: readers get copies, and a list may be replaced (by the
// site list refresh on another thread) while the window reads.
class ShoppingDatabase
{
public:
    static constexpr std::int32_t kProducts = 1;
    static constexpr std::int32_t kPurchases = 2;

    // File marker and last-id word, then the records.
    static constexpr std::size_t kHeaderSize = 8;
    static const RecordFrame kFrame;

    enum class Mark : std::int32_t
    {
        Deleted = 1, // stays in the file until the archive
        SkipOccurrence = 2, // purchased today at 01:00:00 without a purchase
        Purchased = 3, // purchased today at 01:00:00, with a purchase added
    };

    enum class List : std::size_t
    {
        Stores = 0,
        Categories = 1,
        Units = 2,
    };

    ShoppingDatabase();
    ~ShoppingDatabase();
    ShoppingDatabase(const ShoppingDatabase&) = delete;
    ShoppingDatabase& operator=(const ShoppingDatabase&) = delete;

    // The files are `folder`/name (the bare names with no folder or one shorter than 2 characters).
    // With `loadLists` every list is loaded from its file; the result is the first failure (a missing
    // file gives -41 and an empty list), and a list that failed to load for damage is never saved over.
    int Open(std::string_view folder = {}, bool loadLists = true);

    // Adds a record with the next id (above the stored last id and every id in the file); names typed
    // for store, category and unit are added to their lists first. Nothing on failure, with the code in
    // `status` when given.
    std::optional<ShoppingRecord> AddRecord(std::int32_t kind, ShoppingValues values, int* status = nullptr);
    // Rewrites the undeleted record with this id from the values, as AddRecord builds one
    // (`lastPurchased` starts again at 0).
    std::optional<ShoppingRecord>
    EditRecord(std::int32_t kind, std::int32_t id, ShoppingValues values, int* status = nullptr);
    // Marks the undeleted record with this id and drops it from the view. Purchased adds the purchase
    // first and marks the product only when that worked. Purchases can only be deleted (-41 for the
    // other marks, as for an unknown kind). The id, -41, -42, -44 or -201.
    int MarkRecord(std::int32_t kind, std::int32_t id, Mark mark);
    // The undeleted record with this id, its `nextDue` computed for a product; nothing when there is
    // none or the file cannot be read, with -201, -41, -42 or -44 (damage before the record) in
    // `status` when given.
    std::optional<ShoppingRecord> Find(std::int32_t kind, std::int32_t id, int* status = nullptr);

    // Replaces the view with the undeleted records that pass the filter (`filter` first becoming the
    // view's filter when given). 0, -41, -42 or -44; after damage the records before it stay.
    int LoadView(std::int32_t kind, const ItemFilter* filter = nullptr);
    int LoadView(std::int32_t kind, const ItemFilter& filter) { return LoadView(kind, &filter); }
    // Undeleted records that pass `filter`; as far as it got in a damaged file, 0 when unreadable.
    int CountMatching(std::int32_t kind, const ItemFilter& filter);
    // Undeleted records whatever their schedule; as CountMatching otherwise.
    int CountRecords(std::int32_t kind);
    // Rewrites the file without deleted records and purchased One Time products. 1, -41, -42, -44, -46.
    int Archive(std::int32_t kind);
    // Saves the whole records of a damaged file of `kind` into a new one (RecordRepair), the damaged
    // bytes into a ".damaged" copy; a whole file is left alone.
    RecordRepair Repair(std::int32_t kind);

    std::optional<ShoppingRecord> First();
    std::optional<ShoppingRecord> Next();
    std::vector<ShoppingRecord> ViewRecords();
    IdNameList StoresInView();
    IdNameList CategoriesInView();

    // Adds each typed name (id 0, name given) to its list with a new id from 5000 up, writes the id into
    // the entry and saves that list. 0 or the first failure.
    int EnsureListEntries(IdNameEntry& store, IdNameEntry& category, IdNameEntry& unit);
    // The entry whose name equals `name` without regard to case, else a typed name (id 0); an empty
    // name is none.
    IdNameEntry ResolveEntry(List list, std::string_view name);

    // Copies of the lists, and the replacement of one (by the site list refresh).
    IdNameList Stores() { return CopyOf(List::Stores); }
    IdNameList Categories() { return CopyOf(List::Categories); }
    IdNameList Units() { return CopyOf(List::Units); }
    IdNameList CopyOf(List list);
    void ReplaceList(List list, IdNameList replacement);

    // "product.dat", "purchase.dat", "backup.dat", "store.lst", "category.lst", "unit.lst" in that order.
    const std::string& path(std::size_t index) const { return paths_[index]; }
    // The record file of kind 1 or 2; nothing for another kind.
    std::optional<std::string> RecordPath(std::int32_t kind) const;

private:
    struct ListState
    {
        IdNameList entries;
    };

    struct Found
    {
        int status = kOk;
        std::uint64_t offset = 0;
        ShoppingRecord record;
    };

    std::optional<ShoppingRecord>
    Append(std::int32_t kind, ShoppingValues& values, bool ensureEntries, int& status);
    int Scan(RecordFile& file,
             std::int32_t kind,
             const ItemFilter* filter,
             bool withCoupons,
             const std::function<void(ShoppingRecord&)>& take);
    Found FindIn(RecordFile& file, std::int32_t id);
    // Opens the file of `kind` and checks its marker; -41 for another kind.
    int OpenKind(RecordFile& file, std::int32_t kind, RecordFile::Mode mode) const;
    int EnsureEntry(List list, IdNameEntry& entry);
    void ViewReplaced(std::int32_t kind, std::int32_t id, const std::optional<ShoppingRecord>& record);

    std::mutex operationMutex_; // one operation of this database at a time
    std::mutex stateMutex_; // the view and the lists
    std::array<std::string, 6> paths_;
    std::array<ListState, 3> lists_;
    ShoppingView view_;
};

} // namespace tallyhawk
