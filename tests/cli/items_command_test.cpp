#include "cli_in_process.h"
#include "core/platform/record_file.h"
#include "core/store/item_store.h"
#include "support/cli_process.h"
#include "support/mock_clock.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace tallyhawk
{
namespace
{

using test::ProgramRun;

class ItemsCommand : public ::testing::Test
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
    std::string data() const { return dir_.File("data"); }

    void AddDeals()
    {
        ItemStore store;
        store.Open("deal.lst", data());
        ItemValues values;
        values.id = 5;
        values.kind = 1;
        values.storeId = 7;
        values.categoryId = 3;
        values.date = 1107172800;
        values.title = "Caf\xE9 coupon";
        values.description = "Half off";
        values.extra = "$5";
        values.storeName = "Shop";
        values.categoryName = "Food";
        ASSERT_EQ(store.Append(values), 0);
        values.id = 6;
        values.kind = 2;
        values.hot = 1;
        values.date = 0;
        values.title = "Hot deal";
        ASSERT_EQ(store.Append(values), 0);
    }

    // The same day for the records made here and for the program's "today" and "last N days".
    static constexpr std::int64_t kNow = 1700000000; // 2023-11-14 22:13:20 UTC
    MockClock clock_{kNow};
    test::ScopedEnv now_{"TALLYHAWK_NOW", std::to_string(kNow)};
    test::TempDir dir_;
};

TEST_F(ItemsCommand, MissingListFileIsAnEmptyView)
{
    ProgramRun run = Run({"items", "list", "topics", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(nlohmann::json::parse(run.out)["count"], 0);
    EXPECT_EQ(Run({"items", "count", "deals"}).out, "0\n");
    run = Run({"items", "mark-read", "deals", "5", "2"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "tallyhawk-cli: No item with id 5 and kind 2 in deal.lst.\n");
}

TEST_F(ItemsCommand, ListShowsTheViewNewestFirst)
{
    AddDeals();
    ProgramRun run = Run({"items", "list", "deals", "--days", "0", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    nlohmann::json list = nlohmann::json::parse(run.out);
    ASSERT_EQ(list["count"], 2);
    EXPECT_EQ(list["items"][0]["id"], 6);
    EXPECT_EQ(list["items"][0]["hot"], 1);
    EXPECT_EQ(list["items"][1]["title"], "Caf\u00e9 coupon");
    EXPECT_EQ(list["items"][1]["storeName"], "Shop");
    EXPECT_EQ(list["items"][1]["date"], 1107172800);
    EXPECT_EQ(list["items"][1]["read"], 0);

    run = Run({"items", "list", "deals", "--store", "7"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Half off Expires: Mon 1/31/2005"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Half off Expires: unknown"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("2 items"), std::string::npos);

    EXPECT_EQ(nlohmann::json::parse(Run({"items", "list", "deals", "--hot", "--json"}).out)["count"], 1);
    EXPECT_EQ(
        nlohmann::json::parse(Run({"items", "list", "deals", "--search", "cafe", "--json"}).out)["count"], 0);
    ProgramRun old = Run({"items", "list", "deals", "--from", "2000-01-01", "--to", "2000-01-02", "--json"});
    EXPECT_EQ(nlohmann::json::parse(old.out)["count"], 0) << old.err;
    EXPECT_EQ(Run({"items", "list", "deals", "--days", "-1"}).exitCode, 2);
    EXPECT_EQ(Run({"items", "list", "deals", "--to", "2005-02-30"}).exitCode, 2);
    EXPECT_EQ(Run({"items", "list", "coupons"}).exitCode, 2);
}

TEST_F(ItemsCommand, MarkReadDeleteCountAndArchive)
{
    AddDeals();
    EXPECT_EQ(Run({"items", "mark-read", "deals", "6", "2"}).exitCode, 0);
    EXPECT_EQ(Run({"items", "delete", "deals", "5", "1"}).exitCode, 0);
    ProgramRun run = Run({"items", "delete", "deals", "5", "2"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "tallyhawk-cli: No item with id 5 and kind 2 in deal.lst.\n");
    EXPECT_EQ(Run({"items", "count", "deals", "--today"}).out, "1\n");
    {
        // The program's "today" follows TALLYHAWK_NOW: a day later nothing arrived today.
        test::ScopedEnv tomorrow("TALLYHAWK_NOW", std::to_string(kNow + 86400));
        EXPECT_EQ(Run({"items", "count", "deals", "--today"}).out, "0\n");
    }
    nlohmann::json list = nlohmann::json::parse(Run({"items", "list", "deals", "--json"}).out);
    ASSERT_EQ(list["count"], 1);
    EXPECT_EQ(list["items"][0]["read"], 1);

    run = Run({"items", "archive"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Archived deal.lst"), std::string::npos);
    EXPECT_NE(run.out.find("topic.lst does not exist"), std::string::npos);
    EXPECT_EQ(test::ReadFileBytes(data() + "/deal.lst").size(), 8u + 484u);
}

TEST_F(ItemsCommand, CountOfADamagedFileFailsAsTheListDoes)
{
    AddDeals();
    // The second record's marker is overwritten: only the first record can be read.
    std::string bytes = test::ReadFileBytes(data() + "/deal.lst");
    bytes[4 + 484] = 'X';
    test::WriteFileBytes(data() + "/deal.lst", bytes);
    ProgramRun list = Run({"items", "list", "deals"});
    EXPECT_EQ(list.exitCode, 1);
    ProgramRun count = Run({"items", "count", "deals"});
    EXPECT_EQ(count.exitCode, 1);
    EXPECT_EQ(count.out, "1\n");
    EXPECT_EQ(
        count.err,
        "tallyhawk-cli: deal.lst is damaged: its markers or record sizes are wrong. Run 'tallyhawk-cli "
        "items repair deals' to save its whole records. Only the items before the damage are counted.\n");
}

TEST_F(ItemsCommand, DataFolderOptionWithoutAFolderSaysSo)
{
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--data-dir"},
                                                 std::vector<std::string>{"--data-dir="},
                                                 std::vector<std::string>{"--data-dir", ""}}) {
        ProgramRun run = test::RunProgram(TALLYHAWK_CLI_PATH, args, dir_.path());
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.err, "tallyhawk-cli: --data-dir needs the data folder after it.\n");
        EXPECT_TRUE(run.out.empty());
    }
}

TEST_F(ItemsCommand, FileHeldByAnotherProgramFailsWithOneSentence)
{
    AddDeals();
    RecordFile held(ItemStore::kFrame);
    ASSERT_EQ(held.Open(data() + "/deal.lst", RecordFile::Mode::Update), 0);
    // A writer waits a few seconds for the other program, then gives up with the reason.
    ProgramRun run = Spawn({"items", "delete", "deals", "5", "1"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(
        run.err,
        "tallyhawk-cli: deal.lst cannot be opened: another program is using it or it is not accessible. "
        "Try again when the other program is done, or check the file's permissions.\n");
}

} // namespace
} // namespace tallyhawk
