#include "core/common/byte_text.h"
#include "core/platform/record_file.h"
#include "core/store/item_store.h"
#include "support/file_size_limit.h"
#include "support/mock_clock.h"
#include "support/scoped_lock_wait.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>
#include <utility>

namespace tallyhawk
{
namespace
{

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

constexpr std::int32_t kNow = 1000000000;
constexpr std::int32_t kDay = 86400;

ItemValues Values(std::int32_t id, std::int32_t kind, std::int32_t store = 7, std::int32_t date = 0)
{
    ItemValues values;
    values.id = id;
    values.kind = kind;
    values.storeId = store;
    values.categoryId = 3;
    values.date = date;
    values.title = "title";
    values.storeName = "Store";
    values.categoryName = "Category";
    return values;
}

class ItemStoreTest : public ::testing::Test
{
protected:
    void SetUp() override { store.Open("deal.lst", dir.path().string()); }

    std::string Path() const { return dir.File("deal.lst"); }

    std::vector<std::int32_t> LoadedIds()
    {
        ItemStore reader;
        reader.Open("deal.lst", dir.path().string());
        EXPECT_EQ(reader.Load(), 0);
        std::vector<std::int32_t> ids;
        for (const ItemRecord& record : reader.Items()) {
            ids.push_back(record.id);
        }
        return ids;
    }

    TempDir dir;
    ItemStore store;
    MockClock clock{kNow};
};

TEST_F(ItemStoreTest, OpenBuildsPathsAndTouchesNoFile)
{
    ItemStore bare;
    bare.Open("deal.lst");
    EXPECT_EQ(bare.listPath(), "deal.lst");
    EXPECT_EQ(bare.archivePath(), "backup.dat");
    bare.Open("topic.lst", "d");
    EXPECT_EQ(bare.listPath(), "topic.lst");
    bare.Open("topic.lst", "/tmp/x/");
    EXPECT_EQ(bare.listPath(), "/tmp/x/topic.lst");
    EXPECT_EQ(bare.archivePath(), "/tmp/x/backup.dat");
    EXPECT_EQ(store.listPath(), dir.path().string() + "/deal.lst");
    EXPECT_FALSE(std::filesystem::exists(Path()));
    EXPECT_EQ(store.Load(), kCannotOpen);
    EXPECT_EQ(store.MarkRead(1, 1), kCannotOpen);
    EXPECT_EQ(store.Archive(), kCannotOpen);
    EXPECT_EQ(store.CountMatching(ItemFilter()), 0);
}

TEST_F(ItemStoreTest, LoadRaisesHighestIdOverFilteredOutAndDeletedRecords)
{
    ASSERT_EQ(store.Append(Values(10, 1)), 0);
    ASSERT_EQ(store.Append(Values(40, 2)), 0);
    ASSERT_EQ(store.Append(Values(25, 2)), 0);
    ASSERT_EQ(store.Append(Values(7, 3)), 0);
    ASSERT_EQ(store.Delete(40, 2), 40);

    ItemStore fresh;
    fresh.Open("deal.lst", dir.path().string());
    ItemFilter late;
    late.from = kNow + 1;
    ASSERT_EQ(fresh.Load(late), 0);
    EXPECT_EQ(fresh.Count(), 0u);
    EXPECT_EQ(fresh.HighestId(1), 10);
    EXPECT_EQ(fresh.HighestId(2), 40);
    EXPECT_EQ(fresh.HighestId(3), 7);
    EXPECT_EQ(fresh.HighestId(99), 0);
    EXPECT_EQ(fresh.filter().from, kNow + 1);

    // Load without a filter keeps the store's filter.
    ASSERT_EQ(fresh.Load(), 0);
    EXPECT_EQ(fresh.Count(), 0u);
    ASSERT_EQ(fresh.Load(ItemFilter()), 0);
    EXPECT_EQ(fresh.Count(), 3u);
    EXPECT_EQ(fresh.Stores().Count(), 1u);
    EXPECT_EQ(fresh.Stores().Find(7)->count, 2); // added once, then counted twice more
}

TEST_F(ItemStoreTest, AppendKeepsOnlyWhatPassesTheFilterAndRepeatsIds)
{
    ItemFilter filter;
    filter.storeId = 8;
    ASSERT_EQ(store.Append(Values(1, 2, 9)), 0); // no file yet: created
    ASSERT_EQ(store.Load(filter), 0);
    std::optional<ItemRecord> kept;
    ASSERT_EQ(store.Append(Values(2, 2, 9), &kept), 0);
    EXPECT_FALSE(kept);
    ASSERT_EQ(store.Append(Values(3, 2, 8), &kept), 0);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->arrivedAt, kNow);
    ASSERT_EQ(store.Append(Values(3, 2, 8)), 0);
    EXPECT_EQ(store.Count(), 2u);
    EXPECT_EQ(store.HighestId(2), 3);
    EXPECT_EQ(LoadedIds(), (std::vector<std::int32_t>{3, 3, 2, 1}));
}

TEST_F(ItemStoreTest, MarkReadAndDeleteMatchIdAndKind)
{
    ASSERT_EQ(store.Append(Values(5, 1)), 0);
    ASSERT_EQ(store.Append(Values(6, 2)), 0);
    ASSERT_EQ(store.Load(), 0);
    EXPECT_EQ(store.MarkRead(5, 2), kNoSuchRecord);
    EXPECT_EQ(store.Delete(6, 1), kNoSuchRecord);
    EXPECT_EQ(store.MarkRead(5, 1), 5);
    EXPECT_EQ(store.At(1)->read, 1); // the view's copy follows
    const std::string file = ReadFileBytes(Path());
    EXPECT_EQ(file.substr(8 + 26, 2), std::string("\x01\x00", 2));
    EXPECT_EQ(file.substr(8 + 484 + 26, 2), std::string("\x00\x00", 2));

    // A record outside the view is still flagged in the file.
    ItemFilter onlyKind2;
    onlyKind2.storeId = 7;
    onlyKind2.keyword = "zzz";
    ASSERT_EQ(store.Load(onlyKind2), 0);
    ASSERT_EQ(store.Count(), 1u);
    EXPECT_EQ(store.Delete(6, 2), 6);
    EXPECT_EQ(store.Count(), 1u);
    EXPECT_EQ(store.Delete(5, 1), 5);
    EXPECT_EQ(store.Count(), 0u);
    EXPECT_EQ(LoadedIds(), std::vector<std::int32_t>{});
    EXPECT_EQ(store.CountMatching(ItemFilter()), 0);
}

TEST_F(ItemStoreTest, MarkAllReadFlagsTheFirstRecordOfEachIdAndKindAndCountsTheRest)
{
    for (const auto& [id, kind] : {std::pair{5, 1}, std::pair{6, 2}, std::pair{5, 1}, std::pair{7, 2}}) {
        ASSERT_EQ(store.Append(Values(id, kind)), 0);
    }
    ASSERT_EQ(store.Load(), 0);
    EXPECT_EQ(store.CountUnread(ItemFilter()), 4);
    // (9, 2) is not in the file and (7, 1) is another kind: passed over.
    EXPECT_EQ(store.MarkAllRead({{5, 1}, {7, 2}, {9, 2}, {7, 1}}), 2);
    const std::string file = ReadFileBytes(Path());
    const auto readFlag = [&file](int record) {
        return file.substr(8 + 484 * record + 26, 2);
    };
    EXPECT_EQ(readFlag(0), std::string("\x01\x00", 2));
    EXPECT_EQ(readFlag(1), std::string("\x00\x00", 2));
    EXPECT_EQ(readFlag(2), std::string("\x00\x00", 2)); // the second (5, 1), as MarkRead leaves it
    EXPECT_EQ(readFlag(3), std::string("\x01\x00", 2));
    EXPECT_EQ(store.CountUnread(ItemFilter()), 2);
    EXPECT_EQ(store.CountMatching(ItemFilter()), 4);
    EXPECT_EQ(store.At(0)->read, 1); // the view's copy of (7, 2) follows
    EXPECT_EQ(store.MarkAllRead({}), 0);
}

TEST_F(ItemStoreTest, LoadHotKeepsTheStoreFilterAndIdLists)
{
    ItemValues hot = Values(1, 2);
    hot.hot = 1;
    ItemValues veryHot = Values(2, 2);
    veryHot.hot = 2;
    ASSERT_EQ(store.Append(hot), 0);
    ASSERT_EQ(store.Append(veryHot), 0);
    ASSERT_EQ(store.Append(Values(3, 2)), 0);
    hot.id = 4;
    ASSERT_EQ(store.Append(hot), 0);
    ASSERT_EQ(store.Delete(4, 2), 4);

    ItemStore hotStore;
    hotStore.Open("deal.lst", dir.path().string());
    ItemFilter own;
    own.categoryId = 3;
    ASSERT_EQ(hotStore.Load(own), 0);
    EXPECT_EQ(hotStore.LoadHot(ItemFilter()), 1);
    EXPECT_EQ(hotStore.At(0)->id, 1);
    EXPECT_EQ(hotStore.Stores().Count(), 0u);
    EXPECT_EQ(hotStore.filter().categoryId, 3);
    ItemFilter elsewhere;
    elsewhere.storeId = 99;
    EXPECT_EQ(hotStore.LoadHot(elsewhere), 0);

    WriteFileBytes(Path(), std::string("\x81\x38\x01\x00\x83\x38\x01\x00", 8));
    EXPECT_EQ(hotStore.LoadHot(ItemFilter()), 0);
}

TEST_F(ItemStoreTest, CountMatchingStopsAtDamageWithWhatItCounted)
{
    for (int id = 1; id <= 3; ++id) {
        ASSERT_EQ(store.Append(Values(id, 2)), 0);
    }
    ASSERT_EQ(store.Delete(2, 2), 2);
    EXPECT_EQ(store.CountMatching(ItemFilter()), 2);
    std::string file = ReadFileBytes(Path());
    file[4 + 2 * 484] = 'X'; // third record's marker
    WriteFileBytes(Path(), file);
    EXPECT_EQ(store.CountMatching(ItemFilter()), 1);
    EXPECT_EQ(store.Load(ItemFilter()), kBadFormat);
    EXPECT_EQ(store.Count(), 1u); // the records before the damage stay
}

TEST_F(ItemStoreTest, ArchiveKeepsRecentAndUpcomingRecordsAtTheWindowEdges)
{
    struct Case
    {
        std::int32_t id;
        std::int32_t date;
        std::int32_t arrivedAt;
        bool kept;
    };
    const std::vector<Case> cases = {
        {1, kNow - 3 * kDay, kNow - 100 * kDay, true},
        {2, kNow - 6 * kDay, kNow, false},
        {3, 0, kNow - 89 * kDay, true},
        {4, 0, kNow - 91 * kDay, false},
        {5, kNow - ItemStore::kArchiveDateWindow, 0, true},
        {6, kNow - ItemStore::kArchiveDateWindow - 1, kNow, false},
        {7, 0, kNow - ItemStore::kArchiveArrivalWindow, false},
        {8, -5, kNow - ItemStore::kArchiveArrivalWindow + 1, true},
        {9, kNow + 30 * kDay, kNow, true},
        {10, kNow + 30 * kDay, kNow, false}, // deleted below
    };
    for (const Case& c : cases) {
        clock.Set(c.arrivedAt);
        ASSERT_EQ(store.Append(Values(c.id, 2, 7, c.date)), 0);
    }
    ASSERT_EQ(store.Delete(10, 2), 10);
    clock.Set(kNow);
    ASSERT_EQ(store.Archive(), 0);
    std::vector<std::int32_t> expected;
    for (auto it = cases.rbegin(); it != cases.rend(); ++it) {
        if (it->kept) {
            expected.push_back(it->id);
        }
    }
    EXPECT_EQ(LoadedIds(), expected);
    EXPECT_EQ(ReadFileBytes(Path()).size(), 8 + expected.size() * 484);
    EXPECT_FALSE(std::filesystem::exists(dir.File("backup.dat")));
}

TEST_F(ItemStoreTest, ArchiveCutShortKeepsTheListAndRemovesItsTemporaryFile)
{
    for (std::int32_t id = 1; id <= 5; ++id) {
        ASSERT_EQ(store.Append(Values(id, 2, 7, kNow)), 0);
    }
    const std::string before = ReadFileBytes(Path());
    {
        test::ScopedFileSizeLimit limit(1000); // two of the five records fit
        ASSERT_TRUE(limit.active());
        EXPECT_EQ(store.Archive(), kCannotReplace);
    }
    EXPECT_EQ(ReadFileBytes(Path()), before);
    EXPECT_FALSE(std::filesystem::exists(dir.File("backup.dat")));
    EXPECT_EQ(store.Archive(), 0);
    EXPECT_EQ(ReadFileBytes(Path()), before);
}

TEST_F(ItemStoreTest, WrongFileMarkerIsNeverModified)
{
    ASSERT_EQ(store.Append(Values(1, 2)), 0);
    std::string damaged = ReadFileBytes(Path());
    damaged[0] = '\x80';
    WriteFileBytes(Path(), damaged);
    EXPECT_EQ(store.Append(Values(2, 2)), kBadFormat);
    EXPECT_EQ(store.MarkRead(1, 2), kBadFormat);
    EXPECT_EQ(store.Delete(1, 2), kBadFormat);
    EXPECT_EQ(store.Archive(), kBadFormat);
    EXPECT_EQ(store.Load(), kBadFormat);
    EXPECT_EQ(ReadFileBytes(Path()), damaged);
    EXPECT_FALSE(std::filesystem::exists(dir.File("backup.dat")));

    // Too short to hold a marker, and not the start of one.
    WriteFileBytes(Path(), "\x80\x38");
    EXPECT_EQ(store.Append(Values(2, 2)), kBadFormat);
    EXPECT_EQ(ReadFileBytes(Path()), "\x80\x38");
}

TEST_F(ItemStoreTest, AppendRepairsATornTailButNeverWritesOverDamageInTheMiddle)
{
    for (int id = 1; id <= 3; ++id) {
        ASSERT_EQ(store.Append(Values(id, 2)), 0);
    }
    const std::string whole = ReadFileBytes(Path());
    ASSERT_EQ(whole.size(), 4u + 3 * 484 + 4);

    struct Tail
    {
        const char* what;
        std::string bytes;
        std::vector<std::int32_t> ids; // newest first, after the repair and one more append
    };
    const std::string twoRecords = whole.substr(0, 4 + 2 * 484);
    const std::vector<Tail> tails = {
        {"end marker missing", whole.substr(0, whole.size() - 4), {9, 3, 2, 1}},
        {"end marker half written", whole.substr(0, whole.size() - 2), {9, 3, 2, 1}},
        {"record cut short", twoRecords + whole.substr(4 + 2 * 484, 100), {9, 2, 1}},
        {"only a record marker", twoRecords + whole.substr(4 + 2 * 484, 4), {9, 2, 1}},
        {"zeros instead of the end", whole.substr(0, whole.size() - 4) + std::string(4, '\0'), {9, 3, 2, 1}},
        {"bytes after the end marker", whole + "xy", {9, 3, 2, 1}},
    };
    for (const Tail& tail : tails) {
        WriteFileBytes(Path(), tail.bytes);
        EXPECT_EQ(store.Append(Values(9, 2)), 0) << tail.what;
        EXPECT_EQ(LoadedIds(), tail.ids) << tail.what;
        EXPECT_EQ(ReadFileBytes(Path()).size(), 8 + tail.ids.size() * 484) << tail.what;
    }

    // A bad marker with whole records after it is damage, not a torn tail: a file whose tail is torn
    // as well is not cut back over it.
    std::string middle = whole.substr(0, whole.size() - 10);
    middle[4 + 484] = 'Z';
    WriteFileBytes(Path(), middle);
    EXPECT_EQ(store.Append(Values(9, 2)), kBadFormat);
    EXPECT_EQ(ReadFileBytes(Path()), middle);
    // Nor with a whole tail: a record after the damage would be out of every reader's sight.
    middle = whole;
    middle[4 + 484] = 'Z';
    WriteFileBytes(Path(), middle);
    EXPECT_EQ(store.Append(Values(9, 2)), kBadFormat);
    EXPECT_EQ(ReadFileBytes(Path()), middle);
    // So is a long run of bytes after the end marker.
    const std::string hidden = whole + whole.substr(4, 484 + 10);
    WriteFileBytes(Path(), hidden);
    EXPECT_EQ(store.Append(Values(9, 2)), kBadFormat);
    EXPECT_EQ(ReadFileBytes(Path()), hidden);
}

TEST_F(ItemStoreTest, AListFileThatIsNoFileCannotBeOpenedAndNothingBlocks)
{
    for (bool pipe : {true, false}) {
        std::filesystem::remove_all(Path());
        if (pipe) {
            ASSERT_EQ(::mkfifo(Path().c_str(), 0600), 0);
        } else {
            std::filesystem::create_directory(Path());
        }
        int counted = 0;
        EXPECT_EQ(store.Load(), kCannotOpen) << pipe;
        EXPECT_EQ(store.LoadHot(ItemFilter()), kCannotOpen) << pipe;
        EXPECT_EQ(store.Append(Values(1, 2)), kCannotOpen) << pipe;
        EXPECT_EQ(store.AppendNew(Values(1, 2), 0), kCannotOpen) << pipe;
        EXPECT_EQ(store.MarkRead(1, 2), kCannotOpen) << pipe;
        EXPECT_EQ(store.Delete(1, 2), kCannotOpen) << pipe;
        EXPECT_EQ(store.Archive(), kCannotOpen) << pipe;
        EXPECT_EQ(store.CountMatching(ItemFilter(), &counted), 0) << pipe;
        EXPECT_EQ(counted, kCannotOpen) << pipe;
        EXPECT_EQ(store.Repair().status, kCannotOpen) << pipe;
    }
    EXPECT_TRUE(std::filesystem::is_directory(Path()));
}

TEST_F(ItemStoreTest, ArchiveEndsATornTailAtTheLastWholeRecord)
{
    clock.Set(kNow);
    ASSERT_EQ(store.Append(Values(1, 2)), 0);
    ASSERT_EQ(store.Append(Values(2, 2)), 0);
    const std::string whole = ReadFileBytes(Path());
    WriteFileBytes(Path(), whole.substr(0, whole.size() - 50));
    ASSERT_EQ(store.Archive(), 0);
    EXPECT_EQ(LoadedIds(), std::vector<std::int32_t>{1});
}

TEST_F(ItemStoreTest, AnotherProcessHoldingTheFileGivesCannotOpenAfterTheWait)
{
    // The wait for the other process is cut short; how a wait ends is RecordFile's test.
    test::ScopedLockWait shortWait(std::chrono::milliseconds(50));
    ASSERT_EQ(store.Append(Values(1, 2)), 0);
    int ready[2];
    int go[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(go), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        RecordFile file(ItemStore::kFrame);
        char byte = file.Open(Path(), RecordFile::Mode::Update) == 0 ? 'y' : 'n';
        (void)!::write(ready[1], &byte, 1);
        (void)!::read(go[0], &byte, 1);
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, 'y');
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(store.Append(Values(2, 2)), kCannotOpen);
    EXPECT_EQ(store.Load(), kCannotOpen);
    EXPECT_EQ(store.MarkRead(1, 2), kCannotOpen);
    EXPECT_EQ(store.Archive(), kCannotOpen);
    EXPECT_EQ(store.CountMatching(ItemFilter()), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    (void)!::write(go[1], "x", 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(store.Append(Values(2, 2)), 0);
    EXPECT_EQ(LoadedIds(), (std::vector<std::int32_t>{2, 1}));
    for (int fd : {ready[0], ready[1], go[0], go[1]}) {
        ::close(fd);
    }
}

TEST_F(ItemStoreTest, OperationsInsideTheProcessWaitForEachOther)
{
    ASSERT_EQ(store.Append(Values(1, 2)), 0);
    std::atomic<bool> held{false};
    std::thread holder([&] {
        RecordFile file(ItemStore::kFrame);
        EXPECT_EQ(file.Open(Path(), RecordFile::Mode::Update), 0);
        held = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    });
    while (!held) {
        std::this_thread::yield();
    }
    // A second store on the same file, as the hot-deals store is.
    ItemStore other;
    other.Open("deal.lst", dir.path().string());
    EXPECT_EQ(other.Append(Values(2, 2)), 0);
    EXPECT_EQ(store.MarkRead(2, 2), 2);
    holder.join();
    EXPECT_EQ(LoadedIds(), (std::vector<std::int32_t>{2, 1}));
}

TEST_F(ItemStoreTest, SemaphoreLockResults)
{
    SemaphoreLock lock;
    EXPECT_EQ(lock.Release(), kLockFailed);
    EXPECT_EQ(lock.Acquire(0), 0);
    EXPECT_EQ(lock.Acquire(10), kLockFailed);
    EXPECT_EQ(lock.Release(), 0);
    EXPECT_EQ(lock.Acquire(), 0);
    EXPECT_EQ(lock.Release(), 0);
}

} // namespace
} // namespace tallyhawk
