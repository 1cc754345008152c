#include "core/common/byte_text.h"
#include "core/common/time_span.h"
#include "core/shopping/purchase_type.h"
#include "core/shopping/shopping_database.h"
#include "core/shopping/shopping_list_commands.h"
#include "support/mock_clock.h"
#include "support/scoped_lock_wait.h"
#include "support/scoped_zone.h"
#include "support/temp_dir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <set>
#include <thread>

namespace tallyhawk
{
namespace
{

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

constexpr std::int32_t kProducts = ShoppingDatabase::kProducts;
constexpr std::int32_t kPurchases = ShoppingDatabase::kPurchases;
using Mark = ShoppingDatabase::Mark;

std::int32_t At(int year, int month, int day, int hour = 1)
{
    return LocalTime(year, month, day, hour, 0, 0).value();
}

ShoppingValues Product(std::string_view name,
                       PurchaseType type = PurchaseType::None,
                       std::int32_t start = 0,
                       std::uint16_t interval = 0,
                       std::int16_t day = 0)
{
    ShoppingValues values;
    values.name = name;
    values.purchaseType = PurchaseTypeNumber(type);
    values.interval = interval;
    values.dayValue = day;
    values.startDate = start;
    values.pricePerUnit = 2.25;
    values.quantity = 3;
    values.taxPercent = 7.5;
    return values;
}

std::string Le32(std::uint32_t value)
{
    unsigned char word[4];
    StoreLe32(word, value);
    return std::string(reinterpret_cast<const char*>(word), 4);
}

std::string Entry(std::int32_t id, std::uint8_t deleted = 0)
{
    ShoppingValues values = Product("stored");
    ShoppingRecord record = ShoppingRecord::Make(values, id);
    record.deleted = deleted;
    std::string bytes(ShoppingRecord::kSize, '\0');
    record.Serialize(reinterpret_cast<unsigned char*>(bytes.data()));
    return Le32(80002) + bytes;
}

std::vector<std::int32_t> Ids(const std::vector<ShoppingRecord>& records)
{
    std::vector<std::int32_t> ids;
    for (const ShoppingRecord& record : records) {
        ids.push_back(record.id);
    }
    return ids;
}

class ShoppingDatabaseTest : public ::testing::Test
{
protected:
    void SetUp() override { database.Open(dir.path().string(), true); }

    std::int32_t Add(const ShoppingValues& values, std::int32_t kind = kProducts)
    {
        std::optional<ShoppingRecord> record = database.AddRecord(kind, values);
        EXPECT_TRUE(record.has_value());
        return record ? record->id : 0;
    }

    ItemFilter Today() const
    {
        TimeSpan today = TimeSpan::EndingToday(TimeSpan::kToday, Clock::Now());
        ItemFilter filter;
        filter.from = today.from;
        filter.to = today.to;
        return filter;
    }

    ScopedZone zone{kEasternZone};
    MockClock clock{At(2024, 3, 11, 15)};
    TempDir dir;
    ShoppingDatabase database;
};

TEST_F(ShoppingDatabaseTest, FirstProductMakesTheFileAndIdsNeverComeBack)
{
    // An existing empty file is the 12 bytes 80001, 0, 80003.
    WriteFileBytes(dir.File("product.dat"), Le32(80001) + Le32(0) + Le32(80003));
    EXPECT_EQ(Add(Product("Milk")), 1);
    std::string bytes = ReadFileBytes(dir.File("product.dat"));
    ASSERT_EQ(bytes.size(), 2800u);
    EXPECT_EQ(bytes.substr(0, 12), Le32(80001) + Le32(1) + Le32(80002));
    EXPECT_EQ(bytes.substr(2796), Le32(80003));
    EXPECT_EQ(bytes.substr(12 + 8, 4), Le32(1));

    // A missing file is made the same way.
    EXPECT_EQ(Add(Product("Receipt"), kPurchases), 1);
    EXPECT_EQ(ReadFileBytes(dir.File("purchase.dat")).size(), 2800u);

    EXPECT_EQ(Add(Product("Bread")), 2);
    EXPECT_EQ(Add(Product("Eggs")), 3);
    EXPECT_EQ(database.MarkRecord(kProducts, 3, Mark::Deleted), 3);
    EXPECT_EQ(database.Archive(kProducts), 1);
    EXPECT_EQ(ReadFileBytes(dir.File("product.dat")).size(), 12u + 2 * 2788);
    EXPECT_FALSE(std::filesystem::exists(dir.File("backup.dat")));
    EXPECT_EQ(Add(Product("Butter")), 4);
}

TEST_F(ShoppingDatabaseTest, NewIdIsAboveAStaleLastIdAndEveryStoredId)
{
    // A crash between the record and its last id leaves last id 2 with record 7 in the file.
    WriteFileBytes(dir.File("product.dat"), Le32(80001) + Le32(2) + Entry(7) + Entry(5, 1) + Le32(80003));
    EXPECT_EQ(Add(Product("Milk")), 8);
    // The archive keeps the highest id ever given out even when it drops that record.
    WriteFileBytes(dir.File("purchase.dat"), Le32(80001) + Le32(0) + Entry(3) + Entry(9, 1) + Le32(80003));
    EXPECT_EQ(database.Archive(kPurchases), 1);
    EXPECT_EQ(ReadFileBytes(dir.File("purchase.dat")).substr(4, 4), Le32(9));
    EXPECT_EQ(Add(Product("Receipt"), kPurchases), 10);
}

TEST_F(ShoppingDatabaseTest, TornTailIsCutBackAndDamageIsNotWrittenOver)
{
    const std::string whole = Le32(80001) + Le32(1) + Entry(1);
    WriteFileBytes(dir.File("product.dat"), whole + Entry(2).substr(0, 1000));
    EXPECT_EQ(Add(Product("Milk")), 2);
    EXPECT_EQ(ReadFileBytes(dir.File("product.dat")).size(), 12u + 2 * 2788);
    EXPECT_EQ(database.LoadView(kProducts, ItemFilter()), 0);
    EXPECT_EQ(database.ViewRecords().size(), 2u);

    // A wrong marker before the end: nothing is appended, the file stays as it was.
    const std::string damaged = whole + Le32(12345) + Entry(2).substr(4) + Le32(80003);
    WriteFileBytes(dir.File("product.dat"), damaged);
    int status = 0;
    EXPECT_FALSE(database.AddRecord(kProducts, Product("Eggs"), &status));
    EXPECT_EQ(status, kBadFormat);
    EXPECT_TRUE(ReadFileBytes(dir.File("product.dat")) == damaged);
    EXPECT_EQ(database.LoadView(kProducts, ItemFilter()), kBadMarker);
    EXPECT_EQ(database.ViewRecords().size(), 1u);
    EXPECT_EQ(database.CountRecords(kProducts), 1);
    EXPECT_EQ(database.Archive(kProducts), kBadMarker);
    EXPECT_TRUE(ReadFileBytes(dir.File("product.dat")) == damaged);

    WriteFileBytes(dir.File("product.dat"), Le32(80000) + Le32(0) + Le32(80003));
    EXPECT_EQ(database.MarkRecord(kProducts, 1, Mark::Deleted), kBadMarker);
    EXPECT_EQ(database.LoadView(kProducts, ItemFilter()), kBadMarker);
    EXPECT_FALSE(database.AddRecord(kProducts, Product("Eggs")));
    EXPECT_TRUE(ReadFileBytes(dir.File("product.dat")) == Le32(80000) + Le32(0) + Le32(80003));
}

TEST_F(ShoppingDatabaseTest, MissingAndDeletedRecordsCannotBeMarkedOrEdited)
{
    EXPECT_EQ(database.MarkRecord(kProducts, 1, Mark::Deleted), kCannotOpen);
    Add(Product("Milk"));
    Add(Product("Bread"));
    const std::string before = ReadFileBytes(dir.File("product.dat"));
    EXPECT_EQ(database.MarkRecord(kProducts, 9, Mark::Purchased), kNoSuchRecord);
    EXPECT_EQ(database.MarkRecord(3, 1, Mark::Deleted), kCannotOpen);
    EXPECT_FALSE(std::filesystem::exists(dir.File("purchase.dat")));
    // A purchase is bought already: it can be deleted, not purchased or skipped.
    Add(Product("Receipt"), kPurchases);
    const std::string purchases = ReadFileBytes(dir.File("purchase.dat"));
    EXPECT_EQ(database.MarkRecord(kPurchases, 1, Mark::Purchased), kCannotOpen);
    EXPECT_EQ(database.MarkRecord(kPurchases, 1, Mark::SkipOccurrence), kCannotOpen);
    EXPECT_TRUE(ReadFileBytes(dir.File("purchase.dat")) == purchases);
    EXPECT_TRUE(ReadFileBytes(dir.File("product.dat")) == before);

    EXPECT_EQ(database.MarkRecord(kProducts, 2, Mark::Deleted), 2);
    int status = 0;
    EXPECT_FALSE(database.EditRecord(kProducts, 2, Product("Back again"), &status));
    EXPECT_EQ(status, kNoSuchRecord);
    EXPECT_EQ(database.MarkRecord(kProducts, 2, Mark::Purchased), kNoSuchRecord);
    EXPECT_EQ(database.MarkRecord(kProducts, 2, Mark::Deleted), kNoSuchRecord);
    EXPECT_FALSE(database.Find(kProducts, 2));
    EXPECT_EQ(database.CountRecords(kPurchases), 1);
    EXPECT_EQ(database.CountRecords(kProducts), 1);
}

TEST_F(ShoppingDatabaseTest, PurchaseMarksTheProductAndAddsItsPurchase)
{
    const std::int32_t start = At(2024, 3, 1);
    ShoppingValues milk = Product("Milk", PurchaseType::EveryFewDays, start, 0, 1);
    milk.store = {5000, "Corner Shop", 0};
    milk.notes = "semi-skimmed";
    ItemValues coupon;
    coupon.id = 77;
    coupon.kind = 1;
    coupon.title = "Dairy week";
    milk.coupons[4] = ItemRecord::Make(coupon, 5);
    database.ReplaceList(ShoppingDatabase::List::Stores, [] {
        IdNameList stores;
        stores.AddOrCount(5000, "Corner Shop", 0);
        return stores;
    }());
    const std::int32_t id = Add(milk);
    EXPECT_EQ(database.CountMatching(kProducts, Today()), 1);

    ShoppingListCommands commands(database);
    EXPECT_EQ(commands.Purchase(id), id);
    std::optional<ShoppingRecord> product = database.Find(kProducts, id);
    ASSERT_TRUE(product);
    EXPECT_EQ(product->lastPurchased, At(2024, 3, 11));
    // Marked the day after the spring change: due tomorrow at 01:00, no longer today.
    EXPECT_EQ(product->nextDue, At(2024, 3, 12));
    EXPECT_EQ(database.CountMatching(kProducts, Today()), 0);

    ASSERT_EQ(database.LoadView(kPurchases, ItemFilter()), 0);
    std::vector<ShoppingRecord> purchases = database.ViewRecords();
    ASSERT_EQ(purchases.size(), 1u);
    const ShoppingRecord& bought = purchases[0];
    EXPECT_EQ(bought.id, 1);
    EXPECT_EQ(bought.name(), "Milk");
    EXPECT_EQ(bought.notes(), "semi-skimmed");
    EXPECT_EQ(bought.storeId, 5000);
    EXPECT_EQ(bought.startDate, Clock::Now());
    EXPECT_EQ(bought.lastPurchased, 0);
    EXPECT_EQ(bought.purchaseType, PurchaseTypeNumber(PurchaseType::EveryFewDays));
    EXPECT_EQ(bought.dayValue, 1);
    EXPECT_EQ(bought.pricePerUnit, 2.25);
    EXPECT_EQ(bought.quantity, 3);
    EXPECT_EQ(bought.taxPercent, 7.5);
    EXPECT_EQ(bought.coupons[4].id, 77);
    EXPECT_EQ(bought.coupons[4].title(), "Dairy week");
    EXPECT_EQ(database.StoresInView().Find(5000)->count, 1);

    // Skipping adds no purchase; the next day's occurrence is skipped the same way.
    clock.Advance(86400);
    EXPECT_EQ(commands.DeleteProduct(id, ShoppingListCommands::Deletion::SkipOccurrence), id);
    EXPECT_EQ(database.Find(kProducts, id)->nextDue, At(2024, 3, 13));
    EXPECT_EQ(database.CountRecords(kPurchases), 1);
    EXPECT_EQ(ShoppingListCommands::QuestionFor(*product),
              ShoppingListCommands::DeleteQuestion::RecurringSeries);
    EXPECT_EQ(commands.DeletePurchase(1), 1);
    EXPECT_EQ(database.CountRecords(kPurchases), 0);
}

TEST_F(ShoppingDatabaseTest, PurchaseThatCannotBeAddedLeavesTheProductDue)
{
    test::ScopedLockWait shortWait(std::chrono::milliseconds(50));
    const std::int32_t id = Add(Product("Milk"));
    // Another process holds the purchase file.
    WriteFileBytes(dir.File("purchase.dat"), Le32(80001) + Le32(0) + Le32(80003));
    int fd = ::open(dir.File("purchase.dat").c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    pid_t child = ::fork();
    if (child == 0) {
        ::flock(fd, LOCK_EX);
        ::pause();
        ::_exit(0);
    }
    ::close(fd);
    // Wait until the child holds the lock.
    for (int i = 0; i < 500; ++i) {
        int probe = ::open(dir.File("purchase.dat").c_str(), O_RDONLY);
        const bool held = ::flock(probe, LOCK_SH | LOCK_NB) != 0;
        ::close(probe);
        if (held) {
            break;
        }
        ::usleep(10000);
    }
    const std::string before = ReadFileBytes(dir.File("product.dat"));
    EXPECT_EQ(database.MarkRecord(kProducts, id, Mark::Purchased), kCannotOpen);
    EXPECT_TRUE(ReadFileBytes(dir.File("product.dat")) == before);
    EXPECT_EQ(database.Find(kProducts, id)->lastPurchased, 0);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(database.MarkRecord(kProducts, id, Mark::Purchased), id);
    EXPECT_EQ(database.CountRecords(kPurchases), 1);
}

TEST_F(ShoppingDatabaseTest, AnotherProcessHoldingTheFileGivesMinus41)
{
    // The wait for the other process is cut short; how a wait ends is RecordFile's test.
    test::ScopedLockWait shortWait(std::chrono::milliseconds(50));
    Add(Product("Milk"));
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t child = ::fork();
    if (child == 0) {
        int fd = ::open(dir.File("product.dat").c_str(), O_RDWR);
        ::flock(fd, LOCK_EX);
        char byte = 1;
        (void)!::write(ready[1], &byte, 1);
        ::pause();
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    const std::string before = ReadFileBytes(dir.File("product.dat"));
    int status = 0;
    EXPECT_FALSE(database.AddRecord(kProducts, Product("Bread"), &status));
    EXPECT_EQ(status, kCannotOpen);
    EXPECT_EQ(database.MarkRecord(kProducts, 1, Mark::Deleted), kCannotOpen);
    EXPECT_EQ(database.LoadView(kProducts, Today()), kCannotOpen);
    EXPECT_EQ(database.CountRecords(kProducts), 0);
    EXPECT_EQ(database.Archive(kProducts), kCannotOpen);
    EXPECT_TRUE(ReadFileBytes(dir.File("product.dat")) == before);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_EQ(database.CountRecords(kProducts), 1);
}

TEST_F(ShoppingDatabaseTest, FilesThatAreNoFilesCannotBeOpenedAndNothingBlocks)
{
    ASSERT_EQ(::mkfifo(dir.File("product.dat").c_str(), 0600), 0);
    std::filesystem::create_directory(dir.File("purchase.dat"));
    for (std::int32_t kind : {kProducts, kPurchases}) {
        int status = 0;
        EXPECT_FALSE(database.AddRecord(kind, Product("Bread"), &status));
        EXPECT_EQ(status, kCannotOpen) << kind;
        EXPECT_EQ(database.MarkRecord(kind, 1, Mark::Deleted), kCannotOpen) << kind;
        EXPECT_EQ(database.LoadView(kind, Today()), kCannotOpen) << kind;
        EXPECT_EQ(database.Archive(kind), kCannotOpen) << kind;
        EXPECT_EQ(database.Repair(kind).status, kCannotOpen) << kind;
    }
    EXPECT_TRUE(std::filesystem::is_fifo(dir.File("product.dat")));
}

TEST_F(ShoppingDatabaseTest, RepairSavesTheWholeRecordsAndTheNextIdStaysNew)
{
    Add(Product("Milk"));
    Add(Product("Bread"));
    Add(Product("Eggs"));
    std::string bytes = ReadFileBytes(dir.File("product.dat"));
    // The second record's marker goes bad.
    bytes[8 + 4 + ShoppingRecord::kSize] = 'X';
    WriteFileBytes(dir.File("product.dat"), bytes);
    int status = 0;
    EXPECT_FALSE(database.AddRecord(kProducts, Product("Tea"), &status));
    EXPECT_EQ(status, kBadFormat);
    RecordRepair repair = database.Repair(kProducts);
    ASSERT_EQ(repair.status, kOk);
    EXPECT_EQ(repair.saved, 2u);
    EXPECT_EQ(repair.lost, 1u);
    EXPECT_EQ(ReadFileBytes(dir.File("product.dat.damaged")), bytes);
    EXPECT_EQ(database.CountRecords(kProducts), 2);
    // The last id word is kept: the lost record's id is not given out again.
    EXPECT_EQ(Add(Product("Tea")), 4);
}

TEST_F(ShoppingDatabaseTest, EditRebuildsTheRecordAndStartsItsScheduleAgain)
{
    const std::int32_t id = Add(Product("Milk", PurchaseType::Weekly, At(2024, 3, 4), 1, 1));
    ASSERT_EQ(database.MarkRecord(kProducts, id, Mark::SkipOccurrence), id);
    EXPECT_NE(database.Find(kProducts, id)->lastPurchased, 0);
    std::optional<ShoppingRecord> edited
        = database.EditRecord(kProducts, id, Product("Oat milk", PurchaseType::Weekly, At(2024, 3, 4), 2, 1));
    ASSERT_TRUE(edited);
    std::optional<ShoppingRecord> stored = database.Find(kProducts, id);
    EXPECT_EQ(stored->name(), "Oat milk");
    EXPECT_EQ(stored->interval, 2);
    EXPECT_EQ(stored->lastPurchased, 0);
    EXPECT_EQ(stored->nextDue, At(2024, 3, 4));
    EXPECT_EQ(ReadFileBytes(dir.File("product.dat")).size(), 2800u);
}

TEST_F(ShoppingDatabaseTest, ArchiveDropsDeletedAndPurchasedOneTimeProductsOnly)
{
    const std::int32_t none = Add(Product("Type 0 bought", PurchaseType::None));
    const std::int32_t once = Add(Product("Once bought", PurchaseType::OneTime, At(2024, 3, 1)));
    const std::int32_t onceDue = Add(Product("Once due", PurchaseType::OneTime, At(2024, 3, 20)));
    const std::int32_t daily = Add(Product("Daily bought", PurchaseType::EveryFewDays, At(2024, 3, 1), 0, 2));
    const std::int32_t gone = Add(Product("Deleted", PurchaseType::Monthly, At(2024, 3, 1), 1, 5));
    database.MarkRecord(kProducts, none, Mark::Purchased);
    database.MarkRecord(kProducts, once, Mark::Purchased);
    database.MarkRecord(kProducts, daily, Mark::Purchased);
    database.MarkRecord(kProducts, gone, Mark::Deleted);
    ASSERT_EQ(database.Archive(kProducts), 1);
    ASSERT_EQ(database.LoadView(kProducts, ItemFilter()), 0);
    ItemFilter all;
    all.to = std::numeric_limits<std::int32_t>::max();
    EXPECT_EQ(database.CountMatching(kProducts, all), 2); // once due and daily
    EXPECT_EQ(database.CountRecords(kProducts), 3);
    EXPECT_TRUE(database.Find(kProducts, none));
    EXPECT_FALSE(database.Find(kProducts, once));
    EXPECT_TRUE(database.Find(kProducts, onceDue));
    EXPECT_TRUE(database.Find(kProducts, daily));
    EXPECT_EQ(database.Archive(kPurchases), 1);
    EXPECT_EQ(database.CountRecords(kPurchases), 3);
}

TEST_F(ShoppingDatabaseTest, ViewIsOrderedByDueDateAndFollowsTheChanges)
{
    // Due dates: 10th, 5th, 10th, 1st; the view is 10, 10 (file order), 5, 1.
    const std::int32_t a = Add(Product("a", PurchaseType::OneTime, At(2024, 3, 10)));
    const std::int32_t b = Add(Product("b", PurchaseType::OneTime, At(2024, 3, 5)));
    const std::int32_t c = Add(Product("c", PurchaseType::OneTime, At(2024, 3, 10)));
    const std::int32_t d = Add(Product("d", PurchaseType::OneTime, At(2024, 3, 1)));
    const std::int32_t later = Add(Product("later", PurchaseType::OneTime, At(2024, 4, 1)));
    ItemFilter filter = Today();
    ASSERT_EQ(database.LoadView(kProducts, filter), 0);
    EXPECT_EQ(Ids(database.ViewRecords()), (std::vector<std::int32_t>{a, c, b, d}));
    // Added while the view shows products: in place after its equals.
    const std::int32_t e = Add(Product("e", PurchaseType::OneTime, At(2024, 3, 5)));
    EXPECT_EQ(Ids(database.ViewRecords()), (std::vector<std::int32_t>{a, c, b, e, d}));
    // A purchase made meanwhile never enters the product view, though its id matches a product.
    database.MarkRecord(kProducts, b, Mark::Purchased);
    EXPECT_EQ(Ids(database.ViewRecords()), (std::vector<std::int32_t>{a, c, e, d}));
    database.EditRecord(kProducts, d, Product("d", PurchaseType::OneTime, At(2024, 3, 11, 0)));
    EXPECT_EQ(Ids(database.ViewRecords()), (std::vector<std::int32_t>{d, a, c, e}));
    EXPECT_EQ(database.First()->id, d);
    EXPECT_EQ(database.Next()->id, a);
    database.MarkRecord(kProducts, a, Mark::Deleted);
    EXPECT_EQ(database.Next()->id, c);
    EXPECT_EQ(database.Next()->id, e);
    EXPECT_FALSE(database.Next());
    EXPECT_FALSE(database.Find(kProducts, later)->nextDue == 0);

    // Purchases in file order; the search words look at the name only.
    Add(Product("milk"), kPurchases);
    Add(Product("bread"), kPurchases);
    ItemFilter words;
    words.keyword = "MILK";
    ASSERT_EQ(database.LoadView(kPurchases, ItemFilter()), 0);
    EXPECT_EQ(database.ViewRecords().size(), 3u);
    ASSERT_EQ(database.LoadView(kPurchases, words), 0);
    EXPECT_EQ(database.ViewRecords().size(), 1u);
    EXPECT_EQ(database.CountMatching(kPurchases, words), 1);
}

TEST_F(ShoppingDatabaseTest, TypedNamesBecomeListEntriesFrom5000)
{
    ShoppingValues values = Product("Milk");
    values.store.name = "Corner Shop";
    values.unit.name = "litre";
    std::optional<ShoppingRecord> record = database.AddRecord(kProducts, values);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->storeId, 5000);
    EXPECT_EQ(record->categoryId, 0);
    EXPECT_EQ(record->unitId, 5000);
    EXPECT_FALSE(std::filesystem::exists(dir.File("category.lst")));
    IdNameList stores;
    ASSERT_EQ(stores.Load(dir.File("store.lst")), 0);
    EXPECT_EQ(stores.Find(5000)->name, "Corner Shop");
    // The same name in another case is the same entry; a new one gets the next id.
    EXPECT_EQ(database.ResolveEntry(ShoppingDatabase::List::Stores, "CORNER shop").id, 5000);
    IdNameEntry typed = database.ResolveEntry(ShoppingDatabase::List::Stores, "Market");
    EXPECT_EQ(typed.id, 0);
    values.store = typed;
    EXPECT_EQ(database.AddRecord(kProducts, values)->storeId, 5001);
    EXPECT_EQ(database.ResolveEntry(ShoppingDatabase::List::Units, "").name, "");
}

TEST(ShoppingDatabaseLists, EveryListLoadsAndADamagedOneIsNotSavedOver)
{
    TempDir dir;
    IdNameList categories;
    categories.AddOrCount(12, "Dairy", 0);
    ASSERT_EQ(categories.Save(dir.File("category.lst")), 0);
    const std::string damagedUnits = Le32(80001) + Le32(80002) + "short";
    WriteFileBytes(dir.File("unit.lst"), damagedUnits);

    ShoppingDatabase database;
    // store.lst is missing: the categories still load.
    EXPECT_EQ(database.Open(dir.path().string(), true), kCannotOpen);
    EXPECT_EQ(database.Categories().Find(12)->name, "Dairy");
    ShoppingValues values = Product("Milk");
    values.category.name = "Bakery";
    values.unit.name = "loaf";
    int status = 0;
    EXPECT_FALSE(database.AddRecord(kProducts, values, &status));
    EXPECT_EQ(status, kBadFormat);
    EXPECT_TRUE(ReadFileBytes(dir.File("unit.lst")) == damagedUnits);
    EXPECT_FALSE(std::filesystem::exists(dir.File("product.dat")));
    // The category list took its entry (it is saved before the unit fails), and kept its old one.
    IdNameList saved;
    ASSERT_EQ(saved.Load(dir.File("category.lst")), 0);
    EXPECT_EQ(saved.Count(), 2u);
    // A whole list in memory does not make the damaged file safe to write over: the file is read again.
    database.ReplaceList(ShoppingDatabase::List::Units, IdNameList());
    EXPECT_FALSE(database.AddRecord(kProducts, values));
    EXPECT_TRUE(ReadFileBytes(dir.File("unit.lst")) == damagedUnits);
    // Once the file is whole, the add goes through, and the category typed again is the one added before.
    ASSERT_EQ(IdNameList().Save(dir.File("unit.lst")), 0);
    EXPECT_TRUE(database.AddRecord(kProducts, values));
    ASSERT_EQ(saved.Load(dir.File("category.lst")), 0);
    EXPECT_EQ(saved.Count(), 2u);
}

TEST_F(ShoppingDatabaseTest, ConcurrentAddsGetDistinctIdsAndListsCanBeReplacedWhileRead)
{
    std::atomic<bool> stop{false};
    std::thread refresher([&] {
        for (int round = 0; !stop.load(); ++round) {
            IdNameList stores;
            for (int i = 1; i < 50; ++i) {
                stores.AddOrCount(i, "Store " + std::to_string(round), 0);
            }
            database.ReplaceList(ShoppingDatabase::List::Stores, std::move(stores));
        }
    });
    std::vector<std::thread> writers;
    std::atomic<int> failed{0};
    for (int t = 0; t < 3; ++t) {
        writers.emplace_back([&, t] {
            ShoppingDatabase own;
            own.Open(dir.path().string(), false);
            for (int i = 0; i < 20; ++i) {
                ShoppingValues values = Product("Milk");
                values.store.id = 1 + i;
                failed += (t == 0 ? database.AddRecord(kProducts, values) : own.AddRecord(kProducts, values))
                    ? 0
                    : 1;
                database.Stores();
                database.StoresInView();
            }
        });
    }
    for (std::thread& writer : writers) {
        writer.join();
    }
    stop = true;
    refresher.join();
    EXPECT_EQ(failed.load(), 0);
    ASSERT_EQ(database.LoadView(kProducts, ItemFilter()), 0);
    std::vector<ShoppingRecord> records = database.ViewRecords();
    std::set<std::int32_t> ids;
    for (const ShoppingRecord& record : records) {
        ids.insert(record.id);
    }
    EXPECT_EQ(records.size(), 60u);
    EXPECT_EQ(ids.size(), 60u);
    EXPECT_EQ(*ids.rbegin(), 60);
}

} // namespace
} // namespace tallyhawk
