// Every record file the program writes, cut short at each length from empty to a little past its
// header, as a crash while it was being made or appended to leaves it: no operation may write over the
// header, lose a record it reported as stored, or report a file that is not whole as whole.
#include "core/compare/result_list.h"
#include "core/compare/search_index.h"
#include "core/shopping/shopping_database.h"
#include "core/store/id_name_list.h"
#include "core/store/item_store.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>

namespace tallyhawk
{
namespace
{

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

using Operation = std::function<int(const std::string& folder)>;

// One kind of record file and the operations the program runs on it. `read` gives the number of
// records when the file reads whole, a failure otherwise.
struct RecordFileKind
{
    std::string file;
    std::size_t headerSize = 0;
    Operation add;
    Operation read;
    Operation count; // a failure when the file is damaged; unset where there is no count
    Operation archive;
    std::function<RecordRepair(const std::string& folder)> repair;
    // Whether an add cuts a torn tail back; a list is only ever written whole, so one that is not is
    // damage, left alone.
    bool appendsAfterTornTail = true;
};

int ItemsRead(const std::string& folder, const char* file)
{
    ItemStore store;
    store.Open(file, folder);
    const int status = store.Load();
    return status == kOk ? static_cast<int>(store.Count()) : status;
}

RecordFileKind ItemFile(const char* file)
{
    RecordFileKind kind;
    kind.file = file;
    kind.headerSize = 4;
    kind.add = [file](const std::string& folder) {
        ItemStore store;
        store.Open(file, folder);
        ItemValues values;
        values.id = 7;
        values.kind = 2;
        values.title = "Seven";
        return store.Append(values);
    };
    kind.read = [file](const std::string& folder) {
        return ItemsRead(folder, file);
    };
    kind.count = [file](const std::string& folder) {
        ItemStore store;
        store.Open(file, folder);
        int status = kOk;
        const int count = store.CountMatching(ItemFilter(), &status);
        return status == kOk ? count : status;
    };
    kind.archive = [file](const std::string& folder) {
        ItemStore store;
        store.Open(file, folder);
        return store.Archive();
    };
    kind.repair = [file](const std::string& folder) {
        ItemStore store;
        store.Open(file, folder);
        return store.Repair();
    };
    return kind;
}

RecordFileKind ShoppingFile(const char* file, std::int32_t which)
{
    RecordFileKind kind;
    kind.file = file;
    kind.headerSize = ShoppingDatabase::kHeaderSize;
    auto open = [](ShoppingDatabase& database, const std::string& folder) {
        database.Open(folder, false);
    };
    kind.add = [=](const std::string& folder) {
        ShoppingDatabase database;
        open(database, folder);
        ShoppingValues values;
        values.name = "Milk";
        int status = kOk;
        return database.AddRecord(which, values, &status) ? status : std::min(status, kFailed);
    };
    kind.read = [=](const std::string& folder) {
        ShoppingDatabase database;
        open(database, folder);
        const int status = database.LoadView(which, ItemFilter());
        return status == kOk ? database.CountRecords(which) : status;
    };
    kind.archive = [=](const std::string& folder) {
        ShoppingDatabase database;
        open(database, folder);
        return database.Archive(which);
    };
    kind.repair = [=](const std::string& folder) {
        ShoppingDatabase database;
        open(database, folder);
        return database.Repair(which);
    };
    return kind;
}

RecordFileKind ComparisonIndex()
{
    RecordFileKind kind;
    kind.file = SearchIndex::kIndexFile;
    kind.headerSize = 8;
    kind.add = [](const std::string& folder) {
        std::filesystem::create_directories(folder + "/WebSearch");
        SearchIndex index(folder + "/" + SearchIndex::kIndexFile, folder + "/WebSearch");
        return index.SaveSearch(3, "kettle", ResultList());
    };
    kind.read = [](const std::string& folder) {
        SearchIndex index(folder + "/" + SearchIndex::kIndexFile, folder + "/WebSearch");
        const int status = index.Load();
        return status == kOk ? static_cast<int>(index.Count()) : status;
    };
    return kind;
}

RecordFileKind ComparisonResults()
{
    RecordFileKind kind;
    kind.file = "2.dat";
    kind.headerSize = 4;
    kind.add = [](const std::string& folder) {
        ResultList results;
        PriceResult offer;
        offer.name = "Kettle";
        offer.price = 12.5;
        results.Insert(offer);
        return results.Save(folder + "/2.dat");
    };
    kind.read = [](const std::string& folder) {
        ResultList results;
        const int status = results.Load(folder + "/2.dat");
        return status == kOk ? static_cast<int>(results.Count()) : status;
    };
    return kind;
}

RecordFileKind IdNameListFile(const char* file)
{
    RecordFileKind kind;
    kind.file = file;
    kind.headerSize = 4;
    kind.add = [file](const std::string& folder) {
        return IdNameList::Update(folder + "/" + file, [](IdNameList& list) {
            return list.AddUserEntry("Corner Shop") > 0 ? kOk : kFailed;
        });
    };
    kind.appendsAfterTornTail = false;
    kind.read = [file](const std::string& folder) {
        IdNameList list;
        const int status = list.Load(folder + "/" + file);
        return status == kOk ? static_cast<int>(list.Count()) : status;
    };
    return kind;
}

std::vector<RecordFileKind> Kinds()
{
    return {ItemFile("deal.lst"),
            ItemFile("topic.lst"),
            ShoppingFile("product.dat", ShoppingDatabase::kProducts),
            ShoppingFile("purchase.dat", ShoppingDatabase::kPurchases),
            ComparisonIndex(),
            ComparisonResults(),
            IdNameListFile("store.lst"),
            IdNameListFile("category.lst")};
}

class ShortRecordFileTest : public ::testing::Test
{
protected:
    // Runs `check` on every kind, with its file holding the first N bytes of a file of one record, for
    // every N from 0 to the header and 8 bytes more.
    void ForEachCut(const std::function<void(const RecordFileKind&, const std::string& folder)>& check)
    {
        for (const RecordFileKind& kind : Kinds()) {
            const std::string whole = WholeFile(kind);
            for (std::size_t length = 0; length <= kind.headerSize + 8; ++length) {
                SCOPED_TRACE(kind.file + " cut to " + std::to_string(length) + " bytes");
                TempDir folder;
                WriteFileBytes(folder.File(kind.file), whole.substr(0, length));
                check(kind, folder.path().string());
            }
        }
    }

    static std::string WholeFile(const RecordFileKind& kind)
    {
        TempDir folder;
        EXPECT_GE(kind.add(folder.path().string()), 0) << kind.file;
        EXPECT_EQ(kind.read(folder.path().string()), 1) << kind.file;
        return ReadFileBytes(folder.File(kind.file));
    }
};

TEST_F(ShortRecordFileTest, AnAddKeepsItsRecordAndNeverWritesOverTheHeader)
{
    ForEachCut([](const RecordFileKind& kind, const std::string& folder) {
        const std::string before = ReadFileBytes(folder + "/" + kind.file);
        if (before.size() >= kind.headerSize && !kind.appendsAfterTornTail) {
            EXPECT_LT(kind.add(folder), 0);
            EXPECT_EQ(ReadFileBytes(folder + "/" + kind.file), before);
            return;
        }
        // Nothing whole was there, so the new record is all the file holds, and it reads back.
        EXPECT_GE(kind.add(folder), 0);
        EXPECT_EQ(kind.read(folder), 1);
    });
}

TEST_F(ShortRecordFileTest, ReadersReportDamageAndChangeNothing)
{
    ForEachCut([](const RecordFileKind& kind, const std::string& folder) {
        const std::string before = ReadFileBytes(folder + "/" + kind.file);
        EXPECT_LT(kind.read(folder), 0);
        if (kind.count) {
            EXPECT_LT(kind.count(folder), 0);
        }
        EXPECT_EQ(ReadFileBytes(folder + "/" + kind.file), before);
    });
}

TEST_F(ShortRecordFileTest, AnArchiveLeavesAWholeFileOrNothingChanged)
{
    ForEachCut([](const RecordFileKind& kind, const std::string& folder) {
        if (!kind.archive) {
            return;
        }
        const std::string before = ReadFileBytes(folder + "/" + kind.file);
        if (kind.archive(folder) >= 0) {
            EXPECT_EQ(kind.read(folder), 0);
        } else {
            EXPECT_EQ(ReadFileBytes(folder + "/" + kind.file), before);
        }
        EXPECT_GE(kind.add(folder), 0);
        EXPECT_EQ(kind.read(folder), 1);
    });
}

TEST_F(ShortRecordFileTest, ARepairLeavesAWholeEmptyFileAndKeepsTheBytes)
{
    ForEachCut([](const RecordFileKind& kind, const std::string& folder) {
        if (!kind.repair) {
            return;
        }
        const std::string before = ReadFileBytes(folder + "/" + kind.file);
        const RecordRepair repair = kind.repair(folder);
        EXPECT_EQ(repair.status, kOk);
        EXPECT_TRUE(repair.replaced);
        EXPECT_EQ(repair.saved, 0u);
        EXPECT_EQ(ReadFileBytes(repair.damagedCopy), before);
        EXPECT_EQ(kind.read(folder), 0);
    });
}

TEST_F(ShortRecordFileTest, AShortFileThatIsNoStartOfOursIsRefusedUntouched)
{
    for (const RecordFileKind& kind : Kinds()) {
        if (kind.file == "2.dat") {
            continue; // a results file is only ever written whole
        }
        SCOPED_TRACE(kind.file);
        TempDir folder;
        const std::string path = folder.File(kind.file);
        WriteFileBytes(path, "\x80\x38");
        EXPECT_LT(kind.add(folder.path().string()), 0);
        EXPECT_EQ(ReadFileBytes(path), "\x80\x38");
    }
}

} // namespace
} // namespace tallyhawk
