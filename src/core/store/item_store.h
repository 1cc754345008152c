#pragma once

#include "core/common/record_frame.h"
#include "core/common/semaphore_lock.h"
#include "core/common/status.h"
#include "core/platform/record_file.h"
#include "core/platform/record_repair.h"
#include "core/store/id_name_list.h"
#include "core/store/item_filter.h"
#include "core/store/item_record.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

namespace tallyhawk
{

// One list file of items ("deal.lst" or "topic.lst") and its view: the records that pass the store's
// filter, newest first, with the stores and categories seen in it.
//
// Worker threads append while the window thread loads, marks and deletes: the view, its id lists and
// the filter are guarded by the store's lock, whole operations of one store wait for each other, and
// operations on one file wait for each other across stores (RecordFile). Readers get copies, so a
// record can never be freed under them.
class ItemStore : public SemaphoreLock
{
public:
    // Archive keeps a record dated at most this long ago, or an undated one that arrived less than
    // kArchiveArrivalWindow ago.
    static constexpr std::int32_t kArchiveDateWindow = 432000; // 5 days
    static constexpr std::int32_t kArchiveArrivalWindow = 7776000; // 90 days

    static const RecordFrame kFrame;

    ItemStore();
    ~ItemStore() override;

    // The list file is `folder`/`fileName` and the archive file `folder`/"backup.dat"; with no folder (or
    // one shorter than 2 characters) the bare names in the current folder. Resets the view, the id
    // lists, the filter and the highest ids. Touches no file.
    void Open(std::string_view fileName, std::string_view folder = {});

    // Replaces the view from the file, with `filter` first becoming the store's filter when given.
    // 0, -41 or -42 (the records before the damage stay in the view).
    int Load(const ItemFilter* filter = nullptr);
    int Load(const ItemFilter& filter) { return Load(&filter); }
    // Replaces the view with the undeleted hot records that pass `filter`; the store's filter, id
    // lists and highest ids stay as they are. The view's size, -41 or -42.
    int LoadHot(const ItemFilter& filter);

    // Makes a record (arrived now) and appends it to the file, creating the file when missing. 0, -41
    // or -42 (also for a file damaged before its end: nothing goes after damage that readers stop at).
    // When the record passes the store's filter it goes to the front of the view and `kept` (if given)
    // receives a copy.
    int Append(const ItemValues& values, std::optional<ItemRecord>* kept = nullptr);
    // As Append, but only a new item: one whose id is above `askedAfter` (the id its request asked
    // after) and which no record of its kind in the file carries yet, decided while the file is held,
    // including what another process appended meanwhile. Two merges of one reply at once store it once,
    // and a reply in any id order loses nothing. 1 when appended, 0 when dropped as already stored, -41
    // or -42.
    int
    AppendNew(const ItemValues& values, std::int32_t askedAfter, std::optional<ItemRecord>* kept = nullptr);

    // Undeleted records in the file that pass `filter`; as far as it got when the file is damaged, 0
    // when it cannot be read. `status` (if given) receives 0, -41 or -42 (damaged).
    int CountMatching(const ItemFilter& filter, int* status = nullptr);
    // The same, of the records not read yet.
    int CountUnread(const ItemFilter& filter, int* status = nullptr);

    // Set `read` (or `deleted`) of the first record with this id and kind in the file, and in the view.
    // Delete also drops it from the view. The id, -201, -41 or -42.
    int MarkRead(std::int32_t id, std::int32_t kind);
    // MarkRead for many items in one pass over the file: `read` of the first record of each id and
    // kind. How many were marked (ids the file lacks are passed over), -41 or -42.
    int MarkAllRead(const std::vector<std::pair<std::int32_t, std::int32_t>>& idsAndKinds);
    int Delete(std::int32_t id, std::int32_t kind);

    // Rewrites the file without deleted and stale records. 0, -41, -42 or -43.
    int Archive();
    // Saves the whole records of a damaged list file into a new one (RecordRepair), the damaged bytes
    // into a ".damaged" copy; a whole file is left alone. The view stays as it is.
    RecordRepair Repair();

    // Empties the view and both id lists.
    void Clear();

    std::size_t Count();
    // A copy of the record at `index` (0 is the newest); nothing outside the view.
    std::optional<ItemRecord> At(std::size_t index);
    // A copy of the whole view, newest first.
    std::vector<ItemRecord> Items();
    IdNameList Stores();
    IdNameList Categories();
    ItemFilter filter();
    // The highest id seen of kind 1, 2 or 3; 0 for other kinds.
    std::int32_t HighestId(std::int32_t kind) const;

    const std::string& listPath() const { return listPath_; }
    const std::string& archivePath() const { return archivePath_; }

private:
    struct View
    {
        std::vector<ItemRecord> records; // oldest first: the newest is at the back
        IdNameList stores;
        IdNameList categories;

        void Add(const ItemRecord& record);
    };

    int AppendRecord(const ItemValues& values,
                     std::optional<std::int32_t> onlyAfter,
                     std::optional<ItemRecord>* kept);
    int Mark(std::int32_t id, std::int32_t kind, std::size_t flagOffset);
    int Count(const ItemFilter& filter, int* status, bool unreadOnly);
    // The first view record (from the newest) with this id and kind; the caller holds the lock.
    std::vector<ItemRecord>::reverse_iterator NewestInView(std::int32_t id, std::int32_t kind);
    void RaiseHighestId(std::int32_t kind, std::int32_t id);
    void ReplaceView(View view);

    std::mutex operationMutex_;
    View view_;
    ItemFilter filter_;
    std::string listPath_;
    std::string archivePath_;
    std::array<std::atomic<std::int32_t>, 3> highestId_{};
    // What appends learned of the list file, so the next one reads only what others added since:
    // where its whole frames end and the ids of each kind in it. Guarded by operationMutex_.
    FrameCheck listCheck_;
    std::map<std::int32_t, std::unordered_set<std::int32_t>> idsInFile_;
};

} // namespace tallyhawk
