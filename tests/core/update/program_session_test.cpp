#include "core/common/clock.h"
#include "core/common/status.h"
#include "core/shopping/shopping_database.h"
#include "core/store/item_filter.h"
#include "core/update/program_session.h"
#include "support/fake_deal_server.h"
#include "support/held_file_lock.h"
#include "support/scoped_lock_wait.h"
#include "support/temp_dir.h"
#include "update_test_rig.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

namespace tallyhawk
{
namespace
{

using test::FakeDealServer;
using test::RecordingHost;
using test::TempDir;

constexpr std::int32_t kDeal = 2;

class ProgramSessionTest : public ::testing::Test
{
protected:
    // A session on the folder, its settings in a file of their own, its server the fake one.
    std::unique_ptr<ProgramSession> MakeSession()
    {
        Settings settings(dir.File("settings.conf"));
        settings.serverAddress = "127.0.0.1";
        settings.serverPort = server.port();
        auto session = std::make_unique<ProgramSession>(std::move(settings));
        session->OpenStores(dir.path());
        return session;
    }

    // Deals with ids 1 to `count` in "deal.lst", the odd ones deleted.
    void WriteDeals(int count)
    {
        ItemStore store;
        store.Open(ProgramSession::kDealsFile, dir.path().string());
        for (int id = 1; id <= count; ++id) {
            ItemValues values;
            values.id = id;
            values.kind = kDeal;
            values.title = "Deal";
            ASSERT_EQ(store.Append(values), kOk);
            if (id % 2 == 1) {
                ASSERT_EQ(store.Delete(id, kDeal), id);
            }
        }
    }

    // The session's passes started, the update cycle waiting in the transport for a reply that never
    // comes.
    std::unique_ptr<ProgramSession> SessionWithAPassInTheTransport()
    {
        FakeDealServer::Script silent;
        silent.Hang();
        server.Push(std::move(silent));
        std::unique_ptr<ProgramSession> session = MakeSession();
        session->connection().link().timeoutOverride = std::chrono::milliseconds(20000);
        EXPECT_EQ(session->passes(), nullptr);
        EXPECT_TRUE(session->StartPasses(host));
        while (server.connectionsAccepted() < 1) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return session;
    }

    TempDir dir;
    FakeDealServer server;
    RecordingHost host;
};

// The pass is in the transport, waiting for a reply that never comes, when the session ends: it is
// stopped and joined while the connection and the stores it uses still exist (a pass left running
// would use them after they went, which the sanitizers report).
TEST_F(ProgramSessionTest, EndingStopsAndJoinsARunningPassBeforeWhatItUsesGoes)
{
    std::unique_ptr<ProgramSession> session = SessionWithAPassInTheTransport();
    ASSERT_NE(session->passes(), nullptr);
    EXPECT_TRUE(session->passes()->running());
    EXPECT_FALSE(session->StartPasses(host));
    const std::size_t callsBefore = host.Events().size();

    session.reset();
    // Nothing of the pass came after: it ended in the wait, before any further call.
    EXPECT_EQ(host.Events().size(), callsBefore);
    EXPECT_FALSE(host.Saw("start timers 180000 2000"));
}

TEST_F(ProgramSessionTest, StopRunsOnceAndRefusesPassesAfterIt)
{
    std::unique_ptr<ProgramSession> session = MakeSession();
    session->Stop();
    session->Stop();
    EXPECT_EQ(session->passes(), nullptr);
    EXPECT_FALSE(session->StartPasses(host));
    EXPECT_EQ(session->passes(), nullptr);
    EXPECT_TRUE(host.Events().empty());
}

TEST_F(ProgramSessionTest, StopAfterStartLeavesNoRunner)
{
    std::unique_ptr<ProgramSession> session = SessionWithAPassInTheTransport();
    session->Stop();
    EXPECT_EQ(session->passes(), nullptr);
    session->Stop();
    EXPECT_FALSE(session->StartPasses(host));
}

// The window runs the upkeep on a worker while it loads a view: the archive happens, and the view the
// window loaded is not replaced by the upkeep's own loads.
TEST_F(ProgramSessionTest, TheWeeklyUpkeepOnAnotherThreadLeavesTheViewsAlone)
{
    WriteDeals(40);
    std::unique_ptr<ProgramSession> session = MakeSession();
    ASSERT_EQ(session->settings().WriteLastArchive(static_cast<std::int32_t>(Clock::Now()) - 8 * 86400), 0);

    UpkeepResult upkeep;
    std::thread worker([&] { upkeep = session->RunWeeklyUpkeep(); });
    EXPECT_EQ(session->deals().Load(ItemFilter()), kOk);
    worker.join();
    EXPECT_TRUE(upkeep.archived);
    EXPECT_TRUE(upkeep.failures.empty());
    EXPECT_TRUE(session->context().listsRefreshDue);

    // Whichever came first, the file holds the 20 undeleted deals and a view loaded after the upkeep
    // stays as loaded through another upkeep.
    ItemStore fresh;
    fresh.Open(ProgramSession::kDealsFile, dir.path().string());
    ASSERT_EQ(fresh.Load(ItemFilter()), kOk);
    EXPECT_EQ(fresh.Count(), 20u);
    ASSERT_EQ(session->deals().Load(ItemFilter()), kOk);
    ASSERT_EQ(session->settings().WriteLastArchive(static_cast<std::int32_t>(Clock::Now()) - 8 * 86400), 0);
    std::thread again([&] { upkeep = session->RunWeeklyUpkeep(); });
    again.join();
    EXPECT_TRUE(upkeep.archived);
    EXPECT_EQ(session->deals().Count(), 20u);
    EXPECT_EQ(session->deals().HighestId(kDeal), 40);
}

TEST_F(ProgramSessionTest, LearningTheHighestIdsLeavesTheViewsEmpty)
{
    WriteDeals(6);
    std::unique_ptr<ProgramSession> session = MakeSession();
    session->LearnHighestIds();
    EXPECT_EQ(session->deals().HighestId(kDeal), 6);
    EXPECT_EQ(session->deals().Count(), 0u);
}

// Another program holds the files: every command reports the failure, none reports success.
TEST_F(ProgramSessionTest, CommandsOnFilesThatCannotBeWrittenReportTheFailure)
{
    WriteDeals(2);
    std::unique_ptr<ProgramSession> session = MakeSession();
    ShoppingValues values;
    values.name = "Milk";
    values.purchaseType = 2;
    values.dayValue = 3;
    values.startDate = static_cast<std::int32_t>(Clock::Now());
    const ShoppingListCommands::SaveOutcome added
        = session->commands().shopping().Save(ShoppingDatabase::kProducts, 0, values);
    ASSERT_TRUE(added.record);
    const std::int32_t product = added.record->id;

    test::ScopedLockWait shortWait(std::chrono::milliseconds(50));
    SessionCommands commands = session->commands();
    // One file held at a time: a second holder forked meanwhile would keep the first one's hold.
    {
        test::HeldFileLock held(dir.File("deal.lst"), test::HeldFileLock::Kind::Exclusive);
        ASSERT_TRUE(held.held());
        EXPECT_LT(commands.MarkItemRead(2, kDeal), 0);
        EXPECT_LT(commands.DeleteItem(2, kDeal), 0);
    }
    {
        test::HeldFileLock held(dir.File("product.dat"), test::HeldFileLock::Kind::Exclusive);
        ASSERT_TRUE(held.held());
        ShoppingListCommands shopping = commands.shopping();
        EXPECT_LT(shopping.Purchase(product), 0);
        EXPECT_LT(shopping.DeleteProduct(product, ShoppingListCommands::Deletion::SkipOccurrence), 0);
        EXPECT_LT(shopping.DeleteProduct(product, ShoppingListCommands::Deletion::WholeProduct), 0);
        const ShoppingListCommands::SaveOutcome edited
            = shopping.Save(ShoppingDatabase::kProducts, product, values);
        EXPECT_FALSE(edited.record);
        EXPECT_FALSE(edited.refusal);
        EXPECT_LT(edited.status, 0);
        const ShoppingListCommands::SaveOutcome another
            = shopping.Save(ShoppingDatabase::kProducts, 0, values);
        EXPECT_FALSE(another.record);
        EXPECT_LT(another.status, 0);
    }
    // Nothing failed for good: once the files are free, the same commands work.
    EXPECT_EQ(commands.shopping().Purchase(product), product);
    EXPECT_EQ(commands.MarkItemRead(2, kDeal), 2);
}

// Coupons and deals are in "deal.lst", forum topics in "topic.lst"; the same id may stand in both.
TEST_F(ProgramSessionTest, ItemCommandsGoToTheStoreOfTheItemsKind)
{
    WriteDeals(2);
    {
        ItemStore topics;
        topics.Open(ProgramSession::kTopicsFile, dir.path().string());
        ItemValues topic;
        topic.id = 2;
        topic.kind = 3;
        topic.title = "Topic";
        ASSERT_EQ(topics.Append(topic), kOk);
    }
    std::unique_ptr<ProgramSession> session = MakeSession();
    ASSERT_EQ(session->topics().Load(ItemFilter()), kOk);
    ASSERT_EQ(session->deals().Load(ItemFilter()), kOk);
    SessionCommands commands = session->commands();
    EXPECT_EQ(commands.MarkItemRead(2, 3), 2);
    EXPECT_EQ(session->topics().At(0)->read, 1);
    EXPECT_EQ(session->deals().At(0)->read, 0);
    EXPECT_EQ(commands.DeleteItem(2, kDeal), 2);
    EXPECT_EQ(session->deals().Count(), 0u);
    EXPECT_EQ(session->topics().Count(), 1u);
    EXPECT_LT(commands.DeleteItem(7, 3), 0);
}

TEST_F(ProgramSessionTest, ASaveTheChecksRefuseWritesNothing)
{
    std::unique_ptr<ProgramSession> session = MakeSession();
    ShoppingValues values;
    values.name = std::string(51, 'n');
    const ShoppingListCommands::SaveOutcome outcome
        = session->commands().shopping().Save(ShoppingDatabase::kProducts, 0, values);
    EXPECT_FALSE(outcome.record);
    ASSERT_TRUE(outcome.refusal);
    EXPECT_NE(outcome.refusal->find("more than 50 characters"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.File("product.dat")));
}

} // namespace
} // namespace tallyhawk
