#include "cli_in_process.h"
#include "core/common/display_text.h"
#include "core/common/time_span.h"
#include "core/shopping/recurring_schedule.h"
#include "support/cli_process.h"
#include "support/temp_dir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <nlohmann/json.hpp>

namespace tallyhawk
{
namespace
{

using test::ProgramRun;

class ShoppingCommands : public ::testing::Test
{
protected:
    void SetUp() override { std::filesystem::create_directories(data()); }

    ProgramRun Run(std::vector<std::string> args)
    {
        args.push_back("--data-dir");
        args.push_back(data());
        return test::RunCliInProcess(args, dir_.path());
    }
    // The executable, for a lock held by this process.
    ProgramRun Spawn(std::vector<std::string> args)
    {
        args.push_back("--data-dir");
        args.push_back(data());
        return test::RunProgram(TALLYHAWK_CLI_PATH, args, dir_.path());
    }
    nlohmann::json Json(std::vector<std::string> args)
    {
        args.push_back("--json");
        ProgramRun run = Run(args);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return run.exitCode == 0 ? nlohmann::json::parse(run.out) : nlohmann::json();
    }
    std::string data() const { return dir_.File("data"); }
    std::string File(const std::string& name) const { return data() + "/" + name; }

    test::TempDir dir_;
};

TEST_F(ShoppingCommands, MonthlyProductOnThe31stIsBoughtAndComesBack)
{
    ProgramRun run = Run({"products",
                          "add",
                          "Olive oil",
                          "--schedule",
                          "monthly:1:31",
                          "--start",
                          "2020-01-10",
                          "--store",
                          "Corner Shop",
                          "--price",
                          "7.25",
                          "--quantity",
                          "2",
                          "--tax",
                          "5"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "1\n");
    nlohmann::json list = Json({"products", "list"});
    ASSERT_EQ(list["count"], 1);
    nlohmann::json product = list["records"][0];
    EXPECT_EQ(product["name"], "Olive oil");
    EXPECT_EQ(product["storeId"], 5000);
    EXPECT_EQ(product["storeName"], "Corner Shop");
    EXPECT_EQ(product["purchaseType"], 4);
    EXPECT_EQ(product["interval"], 1);
    EXPECT_EQ(product["dayValue"], 31);
    EXPECT_EQ(product["startDate"], LocalTime(2020, 1, 10, 1, 0, 0).value());
    EXPECT_EQ(product["nextDue"], LocalTime(2020, 1, 31, 1, 0, 0).value()); // overdue since then
    EXPECT_EQ(product["pricePerUnit"], 7.25);
    EXPECT_EQ(product["quantity"], 2.0);
    EXPECT_EQ(product["taxPercent"], 5.0);
    EXPECT_EQ(Run({"shopping", "count", "--today"}).out, "1\n");

    run = Run({"products", "purchase", "1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::int32_t today = LocalTimeOnDayOf(std::time(nullptr), 1, 0, 0);
    EXPECT_EQ(Json({"products", "list"})["count"], 0);
    EXPECT_EQ(Run({"shopping", "count", "--today"}).out, "0\n");
    EXPECT_EQ(Run({"shopping", "count"}).out, "1\n");
    // Due again on the next month's last day (or the 31st) after today.
    nlohmann::json later = Json({"products", "list", "--from", "2020-01-01", "--to", "2037-12-31"});
    ASSERT_EQ(later["count"], 1);
    EXPECT_EQ(later["records"][0]["lastPurchased"], today);
    const std::int32_t due
        = RecurringSchedule{4, 1, 31, LocalTime(2020, 1, 10, 1, 0, 0).value(), today}.NextDue();
    EXPECT_EQ(later["records"][0]["nextDue"], due);
    EXPECT_GT(due, today);
    EXPECT_LT(due, today + 32 * 86400);

    nlohmann::json purchases = Json({"purchases", "list"});
    ASSERT_EQ(purchases["count"], 1);
    EXPECT_EQ(purchases["records"][0]["name"], "Olive oil");
    EXPECT_EQ(purchases["records"][0]["storeName"], "Corner Shop");
    EXPECT_GE(purchases["records"][0]["startDate"], today - 3600);
    EXPECT_EQ(Run({"purchases", "delete", "1"}).exitCode, 0);
    EXPECT_EQ(Json({"purchases", "list"})["count"], 0);
}

TEST_F(ShoppingCommands, BadValuesAreUsageErrorsAndWriteNothing)
{
    const std::vector<std::vector<std::string>> bad = {
        {"--schedule", "monthly:1:32"},
        {"--schedule", "monthly:7:5"},
        {"--schedule", "monthly:1:0"},
        {"--schedule", "weekly:1:funday"},
        {"--schedule", "weekly:5:mon"},
        {"--schedule", "days:0"},
        {"--schedule", "yearly:1"},
        {"--schedule", "once:2024-02-30"},
        {"--schedule", "once:2024-02-03", "--start", "2024-01-01"},
        {"--price", "-1"},
        {"--quantity", "abc"},
        {"--tax", "nan"},
        {"--price", "1e999"},
        {"--price", "1e308"},
        {"--price", "1000000000.01"},
        {"--quantity", "1e10"},
        {"--price", "5 x"},
        {"--start", "yesterday"},
        {"--store", std::string(51, 's')},
    };
    for (const std::vector<std::string>& options : bad) {
        std::vector<std::string> args = {"products", "add", "Milk"};
        args.insert(args.end(), options.begin(), options.end());
        ProgramRun run = Run(args);
        EXPECT_EQ(run.exitCode, 2) << options[1];
        EXPECT_FALSE(run.err.empty());
    }
    EXPECT_EQ(Run({"products", "add", std::string(51, 'n')}).exitCode, 2);
    EXPECT_EQ(Run({"products", "add", ""}).exitCode, 2);
    EXPECT_EQ(Run({"products", "purchase", "one"}).exitCode, 2);
    for (const char* file : {"product.dat", "store.lst", "unit.lst"}) {
        EXPECT_FALSE(std::filesystem::exists(File(file))) << file;
    }
    // A name of 50 characters is taken and keeps its first 49, as the editor's does.
    ASSERT_EQ(Run({"products", "add", std::string(50, 'n')}).exitCode, 0);
    EXPECT_EQ(Json({"products", "list"})["records"][0]["name"], std::string(49, 'n'));
}

TEST_F(ShoppingCommands, AmountsAreTrimmedAtBothEndsAndHeldToTheirLimit)
{
    for (const char* price : {" 5", "5 ", "\t5\t", "1000000000"}) {
        ProgramRun run = Run({"products", "add", "Milk", "--price", price});
        EXPECT_EQ(run.exitCode, 0) << '"' << price << "\" " << run.err;
    }
    const nlohmann::json records = Json({"products", "list"})["records"];
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0]["pricePerUnit"], 5.0);
    EXPECT_EQ(records[3]["pricePerUnit"], 1e9);
    ProgramRun refused = Run({"products", "add", "Milk", "--price", "1e308"});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("The price per unit must be a number from 0 to 1000000000."),
              std::string::npos)
        << refused.err;
}

TEST_F(ShoppingCommands, ListNamesAreCountedInCharactersAndCutAtAWholeOne)
{
    // 49 characters, 51 bytes: within the limit the message names.
    const std::string store = std::string(48, 's') + "\xE2\x82\xAC";
    ASSERT_EQ(CharacterCount(store), 49u);
    // A product name is held to the 49 bytes its field keeps, so it is stored whole.
    const std::string name = std::string(46, 'n') + "\xE2\x82\xAC";
    ProgramRun run = Run({"products", "add", name, "--store", store});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const nlohmann::json product = Json({"products", "list"})["records"][0];
    EXPECT_EQ(product["name"], name);
    // 49 bytes are stored: the euro sign does not fit whole and is left out, not split.
    EXPECT_EQ(product["storeName"], std::string(48, 's'));
    const std::string tooLong = std::string(50, 's') + "\xE2\x82\xAC";
    run = Run({"products", "add", "Milk", "--store", tooLong});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("The store name has more than 50 characters."), std::string::npos) << run.err;
}

// The core's checks, with the messages the product editor gives for the same input.
TEST_F(ShoppingCommands, ProductNamesAndAmountsGetTheCoreChecksMessages)
{
    std::string accented; // 25 letters of two bytes: 50 bytes
    for (int i = 0; i < 25; ++i) {
        accented += "\xC3\xA9";
    }
    const struct
    {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"products", "add", " "}, "The product name can not be empty."},
        {{"products", "add", accented},
         "The product name is too long to be kept whole: a product keeps 49 bytes of its name, and in UTF-8 "
         "an accented letter takes 2 bytes."},
        {{"products", "add", "Milk", "--price", "12abc"},
         "The price per unit must be a number from 0 to 1000000000."},
        {{"products", "add", "Milk", "--quantity", "1000000001"},
         "The quantity must be a number from 0 to 1000000000."},
        {{"products", "edit", "1", "--name", accented},
         "The product name is too long to be kept whole: a product keeps 49 bytes of its name, and in UTF-8 "
         "an accented letter takes 2 bytes."},
    };
    for (const auto& entry : cases) {
        ProgramRun run = Run(entry.args);
        EXPECT_EQ(run.exitCode, 2) << entry.args.back();
        EXPECT_NE(run.err.find(entry.message), std::string::npos) << run.err;
    }
    EXPECT_FALSE(std::filesystem::exists(File("product.dat")));
}

TEST_F(ShoppingCommands, EditingBehindDamageNamesTheDamageAndTheRepair)
{
    for (const char* name : {"One", "Two", "Three", "Four"}) {
        ASSERT_EQ(Run({"products", "add", name}).exitCode, 0);
    }
    std::string bytes = test::ReadFileBytes(File("product.dat"));
    constexpr std::size_t kFrame = 4 + 2784;
    bytes[8 + kFrame] = 'X'; // the second record's marker
    test::WriteFileBytes(File("product.dat"), bytes);
    ProgramRun run = Run({"products", "edit", "4", "--name", "Tea"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err,
              "tallyhawk-cli: product.dat is damaged: its markers or record sizes are wrong. Run "
              "'tallyhawk-cli shopping repair products' to save its whole records.\n");
    EXPECT_EQ(test::ReadFileBytes(File("product.dat")), bytes);
    // Before the damage the product is found, and past a whole file's end there is none.
    EXPECT_EQ(Run({"products", "edit", "1", "--name", "Tea"}).exitCode, 0);
    ASSERT_EQ(Run({"shopping", "repair", "products"}).exitCode, 0);
    EXPECT_EQ(Run({"products", "edit", "9", "--name", "Tea"}).err, "tallyhawk-cli: No product with id 9.\n");
}

TEST_F(ShoppingCommands, AProductFileCutShortInsideItsHeaderStartsAfreshOnAdd)
{
    // The file marker and two bytes of the last id, as a crash while the file was made leaves it.
    const std::string cut("\x81\x38\x01\x00\x00\x00", 6);
    test::WriteFileBytes(File("product.dat"), cut);
    ProgramRun list = Run({"products", "list"});
    EXPECT_EQ(list.exitCode, 1);
    EXPECT_NE(list.err.find("product.dat is damaged"), std::string::npos) << list.err;
    EXPECT_EQ(test::ReadFileBytes(File("product.dat")), cut);

    ProgramRun repair = Run({"shopping", "repair", "products"});
    EXPECT_EQ(repair.out,
              "Repaired product.dat: 0 records saved, 0 records lost (6 damaged bytes). The old file is kept "
              "as product.dat.damaged.\n");
    test::WriteFileBytes(File("product.dat"), cut);

    ProgramRun add = Run({"products", "add", "New", "--schedule", "none"});
    ASSERT_EQ(add.exitCode, 0) << add.err;
    EXPECT_EQ(add.out, "1\n");
    const nlohmann::json records = Json({"products", "list"})["records"];
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]["name"], "New");
    EXPECT_EQ(test::ReadFileBytes(File("product.dat")).size(), 8u + 4 + 2784 + 4);
}

TEST_F(ShoppingCommands, NamesMatchListEntriesWithoutRegardToCase)
{
    ASSERT_EQ(Run({"products", "add", "Milk", "--store", "Corner Shop", "--unit", "Litre"}).exitCode, 0);
    ASSERT_EQ(Run({"products", "add", "Cream", "--store", "corner SHOP", "--unit", "litre"}).exitCode, 0);
    ASSERT_EQ(Run({"products", "add", "Jam", "--store", "Market", "--category", "Food"}).exitCode, 0);
    nlohmann::json list = Json({"products", "list"});
    ASSERT_EQ(list["count"], 3);
    std::map<std::string, nlohmann::json> byName;
    for (const nlohmann::json& record : list["records"]) {
        byName[record["name"]] = record;
    }
    EXPECT_EQ(byName["Milk"]["storeId"], 5000);
    EXPECT_EQ(byName["Cream"]["storeId"], 5000);
    EXPECT_EQ(byName["Cream"]["unitId"], 5000);
    EXPECT_EQ(byName["Jam"]["storeId"], 5001);
    EXPECT_EQ(byName["Jam"]["categoryId"], 5000);
    EXPECT_EQ(byName["Jam"]["unitId"], 0);
    EXPECT_EQ(Json({"products", "list", "--store", "5000"})["count"], 2);
    EXPECT_EQ(Json({"products", "list", "--search", "MIL"})["count"], 1);

    // Editing keeps what no option names; "" clears a store.
    ASSERT_EQ(Run({"products", "edit", "1", "--name", "Whole milk", "--store", ""}).exitCode, 0);
    nlohmann::json edited = Json({"products", "list", "--search", "whole"})["records"][0];
    EXPECT_EQ(edited["storeId"], 0);
    EXPECT_EQ(edited["unitId"], 5000);
    EXPECT_EQ(Run({"products", "edit", "9", "--price", "1"}).exitCode, 1);
}

TEST_F(ShoppingCommands, SkipDeleteArchiveAndCount)
{
    ASSERT_EQ(
        Run({"products", "add", "Paper", "--schedule", "weekly:2:sun", "--start", "2020-01-01"}).exitCode, 0);
    ASSERT_EQ(Run({"products", "add", "Lamp", "--schedule", "once:2020-05-01"}).exitCode, 0);
    ASSERT_EQ(Run({"products", "add", "Salt"}).exitCode, 0);
    nlohmann::json paper = Json({"products", "list", "--search", "paper"})["records"][0];
    EXPECT_EQ(paper["dayValue"], 0); // Sunday
    EXPECT_EQ(paper["nextDue"], LocalTime(2020, 1, 5, 1, 0, 0).value());
    EXPECT_EQ(Run({"shopping", "count", "--today"}).out, "3\n");

    ProgramRun run = Run({"products", "skip", "2"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("not a recurring purchase"), std::string::npos);
    ASSERT_EQ(Run({"products", "skip", "1"}).exitCode, 0);
    EXPECT_EQ(Json({"purchases", "list", "--from", "2000-01-01", "--to", "2037-12-31"})["count"], 0);
    ASSERT_EQ(Run({"products", "purchase", "2"}).exitCode, 0);
    ASSERT_EQ(Run({"products", "delete", "3"}).exitCode, 0);
    EXPECT_EQ(Run({"products", "delete", "3"}).exitCode, 1);
    EXPECT_EQ(Run({"shopping", "count", "--today"}).out, "0\n");
    EXPECT_EQ(Run({"shopping", "count"}).out, "2\n");

    run = Run({"shopping", "archive"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Archived product.dat: 1 of 2"), std::string::npos) << run.out;
    EXPECT_EQ(Run({"shopping", "count"}).out, "1\n");
    // Ids are not given out again after the archive.
    EXPECT_EQ(Run({"products", "add", "Pepper"}).out, "4\n");
}

TEST_F(ShoppingCommands, AnotherProcessHoldingTheFileIsAFailure)
{
    ASSERT_EQ(Run({"products", "add", "Milk"}).exitCode, 0);
    const std::string before = test::ReadFileBytes(File("product.dat"));
    int fd = ::open(File("product.dat").c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    ProgramRun run = Spawn({"products", "add", "Bread"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("product.dat"), std::string::npos);
    // Each run waits a few seconds for the other holder first: one is enough here; the database's
    // own tests take every operation through a held file.
    ::close(fd);
    EXPECT_TRUE(test::ReadFileBytes(File("product.dat")) == before);
    EXPECT_FALSE(std::filesystem::exists(File("purchase.dat")));
}

} // namespace
} // namespace tallyhawk
