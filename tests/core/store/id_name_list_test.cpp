#include "core/platform/file_handle.h"
#include "core/store/id_name_list.h"
#include "support/file_size_limit.h"
#include "support/scoped_lock_wait.h"
#include "support/temp_dir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <limits>
#include <thread>

namespace tallyhawk
{
namespace
{

using namespace std::string_literals;

// Little-endian word.
std::string Le(std::uint32_t value)
{
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<char>(value >> (8 * i));
    }
    return out;
}

// One 80002 marker plus a 64-byte entry with the given reserved and padding bytes.
std::string Frame(std::int32_t id,
                  const std::string& name50,
                  std::int32_t count,
                  std::uint32_t reserved = 0,
                  std::string padding = "\0\0"s)
{
    std::string field = name50;
    field.resize(50, '\0');
    return Le(80002) + Le(reserved) + Le(static_cast<std::uint32_t>(id)) + field + padding
        + Le(static_cast<std::uint32_t>(count));
}

std::vector<std::tuple<std::int32_t, std::string, std::int32_t>> Entries(const IdNameList& list)
{
    std::vector<std::tuple<std::int32_t, std::string, std::int32_t>> out;
    for (const auto& [id, entry] : list) {
        EXPECT_EQ(id, entry.id);
        out.emplace_back(entry.id, entry.name, entry.count);
    }
    return out;
}

TEST(IdNameListFile, SavedBytesMatchTheLayout)
{
    test::TempDir dir;
    IdNameList list;
    list.AddOrCount(5000, "Acme", 0);
    list.AddOrCount(5000, "ignored", 0); // count 0 -> 1
    list.AddOrCount(12, "Z", 7);
    ASSERT_EQ(list.Save(dir.File("store.lst")), 0);

    // Hand-written: 81 38 01 00 is 80001, 0x0c is 12, 88 13 is 5000; reserved and padding are zero.
    std::string expected = "\x81\x38\x01\x00"s // file marker
        + "\x82\x38\x01\x00"s + "\0\0\0\0"s + "\x0c\0\0\0"s + "Z" + std::string(49, '\0') + "\0\0"s
        + "\x07\0\0\0"s // id 12, count 7
        + "\x82\x38\x01\x00"s + "\0\0\0\0"s + "\x88\x13\0\0"s + "Acme" + std::string(46, '\0') + "\0\0"s
        + "\x01\0\0\0"s // id 5000, count 1
        + "\x83\x38\x01\x00"s; // end marker
    EXPECT_EQ(test::ReadFileBytes(dir.File("store.lst")), expected);
}

TEST(IdNameListFile, EmptyListIsTwoMarkers)
{
    test::TempDir dir;
    IdNameList list;
    ASSERT_EQ(list.Save(dir.File("unit.lst")), 0);
    EXPECT_EQ(test::ReadFileBytes(dir.File("unit.lst")), Le(80001) + Le(80003));
}

TEST(IdNameListFile, LongNamesAreCutTo49Bytes)
{
    test::TempDir dir;
    IdNameList list;
    std::string sixty(60, 'n');
    list.AddOrCount(1, sixty, 0);
    list.AddOrCount(2, "ab\0cd"s, 0);
    EXPECT_EQ(list.Find(1)->name, std::string(49, 'n'));
    EXPECT_EQ(list.Find(2)->name, "ab");
    ASSERT_EQ(list.Save(dir.File("a.lst")), 0);
    std::string bytes = test::ReadFileBytes(dir.File("a.lst"));
    ASSERT_EQ(bytes.size(), 4u + 2 * 68 + 4);
    EXPECT_EQ(bytes.substr(4 + 4 + 8, 50), std::string(49, 'n') + "\0"s);

    // A stored name that fills all 50 bytes reads as its first 49.
    test::WriteFileBytes(dir.File("b.lst"), Le(80001) + Frame(3, std::string(50, 'x'), 0) + Le(80003));
    IdNameList read;
    ASSERT_EQ(read.Load(dir.File("b.lst")), 0);
    EXPECT_EQ(read.Find(3)->name, std::string(49, 'x'));
}

TEST(IdNameListFile, RoundTripAndReplaceShrinksTheFile)
{
    test::TempDir dir;
    IdNameList list;
    list.AddOrCount(4000, "Books", 2);
    list.AddOrCount(7, "Caf\xe9", -3);
    list.AddUserEntry("Mine");
    ASSERT_EQ(list.Save(dir.File("c.lst")), 0);
    IdNameList read;
    ASSERT_EQ(read.Load(dir.File("c.lst")), 0);
    EXPECT_EQ(Entries(read), Entries(list));

    IdNameList small;
    small.AddOrCount(1, "One", 0);
    ASSERT_EQ(small.Save(dir.File("c.lst")), 0);
    EXPECT_EQ(test::ReadFileBytes(dir.File("c.lst")).size(), 4u + 68 + 4);
}

TEST(IdNameListFile, ReservedAndPaddingAreIgnoredAndTrailingBytesAfterTheEnd)
{
    test::TempDir dir;
    test::WriteFileBytes(dir.File("d.lst"),
                         Le(80001) + Frame(9, "Nine", 4, 0xdeadbeef, "\xff\xee"s) + Le(80003) + "junk");
    IdNameList list;
    ASSERT_EQ(list.Load(dir.File("d.lst")), 0);
    EXPECT_EQ(Entries(list), (decltype(Entries(list)){{9, "Nine", 4}}));
}

TEST(IdNameListLoad, MergesIntoEntriesAlreadyHeld)
{
    test::TempDir dir;
    test::WriteFileBytes(dir.File("e.lst"),
                         Le(80001) + Frame(12, "New", 5) + Frame(30, "Thirty", 0) + Le(80003));
    IdNameList list;
    list.AddOrCount(7, "Kept", 1);
    list.AddOrCount(12, "Old", 9);
    ASSERT_EQ(list.Load(dir.File("e.lst")), 0);
    EXPECT_EQ(Entries(list), (decltype(Entries(list)){{7, "Kept", 1}, {12, "New", 5}, {30, "Thirty", 0}}));
}

TEST(IdNameListLoad, FailuresKeepWhatWasReadBefore)
{
    test::TempDir dir;
    const std::string good = Le(80001) + Frame(1, "One", 0) + Frame(2, "Two", 0);
    const std::string fullEntry = Frame(3, "Three", 0);
    struct Case
    {
        const char* what;
        std::string bytes;
        int status;
        std::size_t entries;
    };
    const Case cases[] = {
        {"wrong record marker", good + Le(80001) + fullEntry.substr(4) + Le(80003), -44, 2},
        {"entry cut short", good + fullEntry.substr(0, 40), -42, 2},
        {"end marker missing", good, -42, 2},
        {"end marker cut", good + Le(80003).substr(0, 2), -42, 2},
        {"id zero", good + Frame(0, "Zero", 0) + Frame(5, "Five", 0) + Le(80003), -42, 2},
        {"negative id", good + Frame(-4, "Minus", 0) + Le(80003), -42, 2},
        {"wrong file marker", Le(80002) + Frame(1, "One", 0) + Le(80003), -44, 0},
        {"empty file", "", -42, 0},
        {"file marker cut", Le(80001).substr(0, 3), -42, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::WriteFileBytes(dir.File("f.lst"), c.bytes);
        IdNameList list;
        list.AddOrCount(100, "Before", 0);
        EXPECT_EQ(list.Load(dir.File("f.lst")), c.status);
        EXPECT_EQ(list.Count(), c.entries + 1);
        EXPECT_NE(list.Find(100), nullptr);
    }
    IdNameList list;
    EXPECT_EQ(list.Load(dir.File("missing.lst")), -41);
    EXPECT_EQ(list.Load(dir.path().string()), -41);
}

TEST(IdNameListFile, SaveFailureLeavesTheOldFile)
{
    test::TempDir dir;
    IdNameList list;
    list.AddOrCount(1, "One", 0);
    EXPECT_EQ(list.Save(dir.File("no/such/folder.lst")), -41);
    ASSERT_EQ(list.Save(dir.File("g.lst")), 0);
    std::string before = test::ReadFileBytes(dir.File("g.lst"));
    list.AddOrCount(2, "Two", 0);
    // Replacing a folder with a file fails; the target there and the folder's contents stay intact.
    std::filesystem::create_directory(dir.File("h.lst"));
    EXPECT_EQ(list.Save(dir.File("h.lst")), -41);
    EXPECT_EQ(test::ReadFileBytes(dir.File("g.lst")), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2); // no temporary left
}

TEST(IdNameListFile, SaveCutShortLeavesTheOldFile)
{
    test::TempDir dir;
    IdNameList small;
    small.AddOrCount(1, "One", 0);
    ASSERT_EQ(small.Save(dir.File("store.lst")), 0);
    const std::string before = test::ReadFileBytes(dir.File("store.lst"));
    IdNameList big;
    for (std::int32_t id = 1; id <= 100; ++id) {
        big.AddOrCount(id, "Store " + std::to_string(id), 0);
    }
    {
        test::ScopedFileSizeLimit limit(1000); // less than the 6808 bytes of the big list
        ASSERT_TRUE(limit.active());
        EXPECT_EQ(big.Save(dir.File("store.lst")), -41);
    }
    EXPECT_EQ(test::ReadFileBytes(dir.File("store.lst")), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(IdNameListFile, ListHeldByAnotherProcessIsNeitherReadNorReplaced)
{
    test::TempDir dir;
    const std::string path = dir.File("category.lst");
    IdNameList list;
    list.AddOrCount(3, "Three", 0);
    ASSERT_EQ(list.Save(path), 0);
    const std::string before = test::ReadFileBytes(path);
    {
        test::ScopedLockWait shortWait(std::chrono::milliseconds(50));
        // A lock on another open file stands for another process.
        FileHandle other = FileHandle::OpenLocked(path, O_RDWR, LOCK_EX);
        ASSERT_TRUE(other.valid());
        IdNameList read;
        EXPECT_EQ(read.Load(path), -41);
        EXPECT_EQ(read.Count(), 0u);
        list.AddOrCount(4, "Four", 0);
        EXPECT_EQ(list.Save(path), -41);
        EXPECT_EQ(test::ReadFileBytes(path), before);
    }
    IdNameList read;
    EXPECT_EQ(read.Load(path), 0);
    EXPECT_EQ(read.Count(), 1u);
}

// Loads in one thread while another replaces the list: each load sees one whole saved list.
TEST(IdNameListFile, LoadDuringSavesSeesAWholeList)
{
    test::TempDir dir;
    const std::string path = dir.File("store.lst");
    IdNameList small;
    small.AddOrCount(7, "Seven", 1);
    IdNameList big;
    for (std::int32_t id = 1; id <= 300; ++id) {
        big.AddOrCount(id, std::string(40, static_cast<char>('a' + id % 26)), id);
    }
    ASSERT_EQ(small.Save(path), 0);
    std::atomic<bool> saving{true};
    int saveFailures = 0;
    std::thread saver([&] {
        for (int i = 0; i < 150; ++i) {
            saveFailures += (i % 2 == 0 ? big : small).Save(path) == 0 ? 0 : 1;
        }
        saving = false;
    });
    int loads = 0;
    int halfLoads = 0;
    const auto smallEntries = Entries(small);
    const auto bigEntries = Entries(big);
    while (saving || loads == 0) {
        IdNameList read;
        const int status = read.Load(path);
        const auto entries = Entries(read);
        if (status != 0 || (entries != smallEntries && entries != bigEntries)) {
            ++halfLoads;
        }
        ++loads;
    }
    saver.join();
    EXPECT_EQ(saveFailures, 0);
    EXPECT_EQ(halfLoads, 0) << "of " << loads;
}

TEST(IdNameListFile, EntriesThatCouldNotLoadAreNotWritten)
{
    test::TempDir dir;
    IdNameList list;
    list.AddOrCount(0, "No store", 0);
    list.AddOrCount(-1, "Minus", 0);
    list.AddOrCount(3, "Three", 0);
    ASSERT_EQ(list.Save(dir.File("i.lst")), 0);
    IdNameList read;
    ASSERT_EQ(read.Load(dir.File("i.lst")), 0);
    EXPECT_EQ(Entries(read), (decltype(Entries(read)){{3, "Three", 0}}));
}

TEST(IdNameListIds, HighestServerId)
{
    IdNameList list;
    EXPECT_EQ(list.HighestServerId(), 0);
    for (std::int32_t id : {12, 4000, 4999, 5003}) {
        list.AddOrCount(id, "x", 0);
    }
    EXPECT_EQ(list.HighestServerId(), 4000);
    IdNameList users;
    users.AddOrCount(5000, "x", 0);
    users.AddOrCount(-5, "x", 0);
    EXPECT_EQ(users.HighestServerId(), 0);
}

TEST(IdNameListIds, AddUserEntry)
{
    IdNameList empty;
    EXPECT_EQ(empty.AddUserEntry("First"), 5000);
    EXPECT_EQ(empty.AddUserEntry("Second"), 5001);
    EXPECT_EQ(empty.Find(5001)->name, "Second");
    EXPECT_EQ(empty.Find(5001)->count, 0);

    IdNameList high;
    high.AddOrCount(5003, "x", 0);
    EXPECT_EQ(high.AddUserEntry("y"), 5004);

    IdNameList service;
    service.AddOrCount(4998, "x", 0);
    service.AddOrCount(4999, "x", 0);
    EXPECT_EQ(service.AddUserEntry("y"), 5000);

    // The largest id taken: the first free user id instead of an overflow.
    IdNameList full;
    full.AddOrCount(std::numeric_limits<std::int32_t>::max(), "x", 0);
    full.AddOrCount(5000, "x", 0);
    EXPECT_EQ(full.AddUserEntry("y"), 5001);
}

TEST(IdNameListIds, AddOrCountRaisesTheCountAndKeepsTheName)
{
    IdNameList list;
    EXPECT_EQ(list.AddOrCount(40, "Shoes", 0), 40);
    EXPECT_EQ(list.AddOrCount(40, "Boots", 0), 40);
    EXPECT_EQ(list.Find(40)->name, "Shoes");
    EXPECT_EQ(list.Find(40)->count, 1);
    EXPECT_EQ(list.Find(41), nullptr);

    list.AddOrCount(41, "Max", std::numeric_limits<std::int32_t>::max());
    list.AddOrCount(41, "Max", 0);
    EXPECT_EQ(list.Find(41)->count, std::numeric_limits<std::int32_t>::max());
    list.Clear();
    EXPECT_EQ(list.Count(), 0u);
}

TEST(IdNameList, AListFileThatIsNoFileCannotBeOpenedAndNothingBlocks)
{
    test::TempDir dir;
    const std::string pipe = dir.File("store.lst");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::string folder = dir.File("category.lst");
    std::filesystem::create_directory(folder);
    for (const std::string& path : {pipe, folder}) {
        IdNameList list;
        list.AddOrCount(5000, "Mine", 1);
        EXPECT_EQ(list.Load(path), kCannotOpen) << path;
        EXPECT_EQ(list.Save(path), kCannotOpen) << path;
    }
    EXPECT_TRUE(std::filesystem::is_fifo(pipe));
    EXPECT_TRUE(std::filesystem::is_directory(folder));
}

} // namespace
} // namespace tallyhawk
