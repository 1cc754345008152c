#include "cli_in_process.h"
#include "core/store/item_store.h"
#include "support/mock_clock.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace tallyhawk
{
namespace
{

using test::ProgramRun;

class AlertCommandsTest : public ::testing::Test
{
protected:
    void SetUp() override { std::filesystem::create_directories(data()); }

    ProgramRun Run(std::vector<std::string> args)
    {
        args.push_back("--data-dir");
        args.push_back(data());
        return test::RunCliInProcess(args, dir_.path());
    }
    std::string data() const { return dir_.File("data"); }

    // Newest last; each arrived a day after the one before, the last one now.
    void AddDeals(const std::vector<std::pair<const char*, const char*>>& titlesAndStores)
    {
        ItemStore store;
        store.Open("deal.lst", data());
        std::int32_t id = 10;
        clock_.Set(kNow - static_cast<std::int64_t>(titlesAndStores.size() - 1) * 86400);
        for (const auto& [title, storeName] : titlesAndStores) {
            ItemValues values;
            values.id = id++;
            values.kind = 2;
            values.categoryId = 3;
            values.title = title;
            values.storeName = storeName;
            values.categoryName = "Electronics";
            ASSERT_EQ(store.Append(values), 0);
            clock_.Advance(86400);
        }
        clock_.Set(kNow);
    }

    static constexpr std::int64_t kNow = 1700000000;
    MockClock clock_{kNow};
    test::ScopedEnv now_{"TALLYHAWK_NOW", std::to_string(kNow)};
    test::TempDir dir_;
};

TEST_F(AlertCommandsTest, MuteUnmuteAndList)
{
    struct Step
    {
        std::vector<std::string> args;
        std::string out;
    };
    const Step steps[] = {
        {{"mute", "list"}, "Muted stores:\n  (none)\nMuted categories:\n  (none)\n"},
        {{"mute", "store", "Corner Shop"}, "Muted store \"Corner Shop\".\n"},
        {{"mute", "store", "corner  shop!"}, "Already muted: store \"corner  shop!\".\n"},
        {{"mute", "category", "Toys"}, "Muted category \"Toys\".\n"},
        {{"mute", "list"}, "Muted stores:\n  Corner Shop\nMuted categories:\n  Toys\n"},
        {{"unmute", "store", "CORNER SHOP"}, "Unmuted store \"CORNER SHOP\".\n"},
        {{"unmute", "store", "Corner Shop"}, "Not muted: store \"Corner Shop\".\n"},
        {{"mute", "list"}, "Muted stores:\n  (none)\nMuted categories:\n  Toys\n"},
    };
    for (const Step& step : steps) {
        ProgramRun run = Run(step.args);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, step.out) << step.args[0] << " " << step.args[1];
    }
}

TEST_F(AlertCommandsTest, BadUsageIsRefused)
{
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"mute", "shop", "X"},
             {"mute", "store"},
             {"unmute", "list"},
             {"rules", "test", "tv", "forums"},
             {"rules", "test", "tv", "--days", "0"},
             {"update", "--alerts", "some"},
         }) {
        EXPECT_EQ(Run(args).exitCode, 2) << args[0] << " " << args[1];
    }
}

TEST_F(AlertCommandsTest, RulesTestShowsWhatPassesAndWhy)
{
    AddDeals({{"Sony TV 42in", "Big Shop"}, {"Refurbished LG TV", "Big Shop"}, {"Laptop stand", "Desk Co"}});
    ProgramRun run = Run({"rules", "test", "tv, -refurbished | laptop*"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out,
              "12  deal  Desk Co  Laptop stand\n    matched: laptop*\n"
              "10  deal  Big Shop  Sony TV 42in\n    matched: tv, -refurbished\n"
              "2 of 3 items pass.\n");

    run = Run({"rules", "test", "tv", "deals", "--days", "1"});
    EXPECT_EQ(run.out, "11  deal  Big Shop  Refurbished LG TV\n    matched: tv\n1 of 2 items pass.\n");
    run = Run({"rules", "test", "sony", "--days", "1"});
    EXPECT_EQ(run.out, "0 of 2 items pass.\n");
    run = Run({"rules", "test", "tv", "topics"});
    EXPECT_EQ(run.out, "0 of 0 items pass.\n");
}

} // namespace
} // namespace tallyhawk
