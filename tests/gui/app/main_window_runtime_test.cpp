#include "core/common/site_addresses.h"
#include "core/platform/autostart_entry.h"
#include "core/platform/browser_launcher.h"
#include "core/platform/program_path.h"
#include "core/protocol/wire_message.h"
#include "core/settings/settings.h"
#include "core/settings/site_url.h"
#include "core/store/item_store.h"
#include "core/update/pass_runner.h"
#include "core/update/weekly_upkeep.h"
#include "gui/app/alert_queue.h"
#include "gui/app/main_window.h"
#include "gui/app/main_window_fixture.h"
#include "gui/app/tray_controller.h"
#include "gui/app/window_update_host.h"
#include "support/fake_deal_server.h"
#include "support/preset_message_boxes.h"
#include "support/test_http_server.h"

#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace tallyhawk
{
namespace
{

using namespace std::chrono_literals;
using test::FakeDealServer;
using test::FakeItem;

FakeItem Coupon(std::int32_t id, std::int32_t kind = 1)
{
    FakeItem item;
    item.id = id;
    item.kind = kind;
    item.storeId = 7;
    item.categoryId = 3;
    item.title = "Item " + std::to_string(id);
    item.storeName = "Corner Shop";
    item.categoryName = "Food";
    return item;
}

// The request payloads, without their frame headers.
std::vector<std::string> Payloads(const FakeDealServer& server)
{
    std::vector<std::string> payloads;
    for (const std::string& request : server.Requests()) {
        payloads.push_back(request.size() >= 7 ? request.substr(7) : request);
    }
    return payloads;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class MainWindowRuntimeTest : public MainWindowFixture
{
protected:
    MainWindowRuntimeTest() { PointAtServer(server.port()); }

    void PushVersion(std::string_view version)
    {
        server.PushReply(FakeDealServer::Payload(ReplyOk, {"1005", std::string(version)}));
    }
    void PushItems(const std::vector<FakeItem>& coupons,
                   const std::vector<FakeItem>& deals = {},
                   const std::vector<FakeItem>& topics = {})
    {
        server.PushReply(FakeDealServer::ItemReply(RequestCoupons, coupons));
        server.PushReply(FakeDealServer::ItemReply(RequestDeals, deals));
        server.PushReply(FakeDealServer::ItemReply(RequestForumTopics, topics));
    }

    // Counts the alerts the window opens instead of showing them.
    void CountAlerts(MainWindow& window)
    {
        window.SetAlertOpener(
            [this](std::unique_ptr<ItemRecord> record, AlertCounters&) { alerts.push_back(record->id); });
    }

    // The timer that starts each download pass.
    static QTimer& DownloadTimer(const MainWindow& window)
    {
        auto* timer = window.findChild<QTimer*>(QStringLiteral("downloadTimer"));
        EXPECT_NE(timer, nullptr);
        return *timer;
    }

    static bool PassesIdle(const MainWindow& window)
    {
        return window.passes() != nullptr && !window.passes()->running();
    }

    std::size_t StoredItems(const char* file)
    {
        ItemStore store;
        store.Open(file);
        store.Load();
        return store.Count();
    }

    FakeDealServer server;
    std::vector<std::int32_t> alerts;
};

TEST_F(MainWindowRuntimeTest, HiddenStartNeverShowsTheWindowUntilTheTraysShow)
{
    PushVersion("32");
    PushItems({Coupon(1), Coupon(2)});
    auto window = StartHidden();
    CountAlerts(*window);
    bool everShown = false;
    const QString online = QStringLiteral("Tallyhawk - Online [127.0.0.1]");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            everShown = everShown || window->isVisible();
            return DownloadTimer(*window).isActive() && alerts.size() == 2;
        },
        10000));
    EXPECT_FALSE(everShown);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), online);
    EXPECT_EQ(Tray(*window).tip(), online);
    // A hidden start alerts each item; the timers run from the cycle's end.
    EXPECT_EQ(alerts, (std::vector<std::int32_t>{1, 2}));
    EXPECT_EQ(DownloadTimer(*window).interval(), 180000);
    EXPECT_TRUE(window->findChild<AlertQueue*>(QStringLiteral("alertQueue"))->timerActive());
    EXPECT_EQ(StoredItems("deal.lst"), 2u);

    QTest::qWait(100);
    EXPECT_FALSE(window->isVisible());
    Tray(*window).DoubleClick();
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowRuntimeTest, ClosingHidesTheWindowAndTheDownloadPassesGoOn)
{
    PushVersion("32");
    PushItems({});
    PushItems({Coupon(5)}, {Coupon(6, 2)});
    auto window = std::make_unique<MainWindow>(SettingsFile());
    Tray(*window).OverrideAvailable(true);
    window->SetDownloadInterval(50ms);
    window->Start(false);
    WaitForView(*window);
    CountAlerts(*window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->close());
    EXPECT_FALSE(window->isVisible());

    // The update cycle, then a download pass from the timer, with the window hidden all along.
    // Four requests of the cycle, three of the pass.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return alerts.size() == 2 && server.connectionsAccepted() >= 7; }, 10000));
    EXPECT_EQ(alerts, (std::vector<std::int32_t>{5, 6}));
    EXPECT_EQ(StoredItems("deal.lst"), 2u);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(DownloadTimer(*window).isActive());
}

TEST_F(MainWindowRuntimeTest, TheCycleStartsAfterBothStoresLoadedWithTheListsDueOnlyWhenUpkeepSaysSo)
{
    test::TestHttpServer site;
    PointAtServer(server.port(), site.port());
    // Older than the start's view of seven days: the highest ids come from the whole files all the same.
    AddItem("deal.lst", 50, 1, "old coupon", kTen - 30 * 86400);
    AddItem("deal.lst", 60, 2, "old deal", kTen - 30 * 86400);
    AddItem("topic.lst", 70, 3, "old topic", kTen - 30 * 86400);
    PushVersion("32");
    PushItems({});
    {
        auto window = StartHidden();
        ASSERT_TRUE(QTest::qWaitFor([&] { return DownloadTimer(*window).isActive(); }, 10000));
    }
    EXPECT_EQ(Payloads(server), (std::vector<std::string>{"1005", "100250<~>", "100660<~>", "100470<~>"}));
    // First start: the site lists were asked for.
    ASSERT_GE(site.RequestCount(), 1u);
    EXPECT_EQ(site.Requests()[0].target, "/webspider.xml");

    // A day later, with nothing owed: no list refresh.
    WeeklyUpkeep::MarkRefreshDone(Settings(SettingsFile()));
    clock_.Set(kTen + 86400);
    const std::size_t asked = site.RequestCount();
    PushVersion("32");
    PushItems({});
    {
        auto window = StartHidden();
        ASSERT_TRUE(QTest::qWaitFor([&] { return DownloadTimer(*window).isActive(); }, 10000));
    }
    EXPECT_EQ(site.RequestCount(), asked);
}

TEST_F(MainWindowRuntimeTest, AutostartEntryStartsThisProgramHiddenOrIsRemoved)
{
    // Beside the window's own settings, never the user's.
    const std::string entryPath = dir_.File("autostart/tallyhawk.desktop");
    {
        auto window = StartHidden();
    }
    EXPECT_FALSE(std::filesystem::exists(AutostartEntry().filePath()));
    const std::string text = ReadFile(entryPath);
    EXPECT_NE(text.find("\nExec=" + AutostartEntry::ExecWord(CurrentExecutablePath().string()) + " m\n"),
              std::string::npos)
        << text;

    Settings(SettingsFile()).WriteNumber("AutoRun", 0);
    {
        auto window = StartHidden();
    }
    EXPECT_FALSE(std::filesystem::exists(entryPath));
}

TEST_F(MainWindowRuntimeTest, VersionPromptYesAndYesOpensTheDownloadPageAndEndsTheProgram)
{
    PresetMessageBoxes boxes;
    boxes.Answer(QMessageBox::Yes);
    boxes.Answer(QMessageBox::Yes);
    PushVersion("33");
    auto window = StartHidden();
    std::vector<std::string> opened;
    window->SetBrowser(std::make_unique<BrowserLauncher>(
        [&](const std::vector<std::string>& argv) {
            opened.push_back(argv.back());
            return true;
        },
        [](const std::vector<std::string>&) { return std::optional<std::string>(); }));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !opened.empty() && PassesIdle(*window); }, 10000));
    QTest::qWait(20);
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.shown()[0].title, QStringLiteral("New Tallyhawk version"));
    EXPECT_EQ(opened, (std::vector<std::string>{DownloadPageUrl(SiteBaseUrl(Settings(SettingsFile())))}));
    // The program ends: a close is no longer turned into hiding. No items were asked for, no timer runs.
    window->show();
    EXPECT_TRUE(window->close());
    EXPECT_EQ(server.connectionsAccepted(), 1);
    EXPECT_FALSE(DownloadTimer(*window).isActive());
}

TEST_F(MainWindowRuntimeTest, VersionPromptNoDownloadsAsUsual)
{
    PresetMessageBoxes boxes;
    boxes.Answer(QMessageBox::No);
    PushVersion("33");
    PushItems({Coupon(9)});
    auto window = StartHidden();
    CountAlerts(*window);
    ASSERT_TRUE(QTest::qWaitFor([&] { return DownloadTimer(*window).isActive(); }, 10000));
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(StoredItems("deal.lst"), 1u);
    window->show();
    EXPECT_FALSE(window->close());
}

TEST_F(MainWindowRuntimeTest, ShutdownWhileABigReplyIsMergedEndsPromptlyWithTheFileWhole)
{
    std::vector<FakeItem> many;
    for (std::int32_t id = 1; id <= 10000; ++id) {
        many.push_back(Coupon(id));
    }
    PushVersion("32");
    PushItems(many);
    auto window = std::make_unique<MainWindow>(SettingsFile());
    Tray(*window).OverrideAvailable(true);
    window->Start(false);
    WaitForView(*window);
    const std::string file = dir_.File("deal.lst");
    constexpr std::uintmax_t kFrame = 8; // the file marker and the end marker
    constexpr std::uintmax_t kRecord = 4 + ItemRecord::kSize;
    const auto size = [&] {
        std::error_code error;
        const std::uintmax_t bytes = std::filesystem::file_size(file, error);
        return error ? 0 : bytes;
    };
    // Well into the merge, on the pass's thread.
    const auto waitStart = std::chrono::steady_clock::now();
    while (size() < kFrame + 64 * kRecord && std::chrono::steady_clock::now() - waitStart < 20s) {
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_GE(size(), kFrame + 64 * kRecord);

    const auto started = std::chrono::steady_clock::now();
    window.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);

    const std::uintmax_t bytes = size();
    ASSERT_EQ((bytes - kFrame) % kRecord, 0u) << bytes;
    const std::uintmax_t records = (bytes - kFrame) / kRecord;
    EXPECT_LT(records, many.size()) << "the merge ran to its end instead of stopping";
    ItemStore store;
    store.Open("deal.lst");
    EXPECT_EQ(store.Load(), kOk);
    EXPECT_EQ(store.Count(), records);
    // Nothing runs on after the window went.
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(size(), bytes);
}

TEST_F(MainWindowRuntimeTest, ShutdownAnswersAPromptStillWaitingAndJoinsThePass)
{
    // The window thread never gets to the prompt before the program ends.
    PresetMessageBoxes boxes;
    PushVersion("33");
    auto window = StartHidden();
    const auto waitStart = std::chrono::steady_clock::now();
    while (server.connectionsAccepted() < 1 && std::chrono::steady_clock::now() - waitStart < 10s) {
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_EQ(server.connectionsAccepted(), 1);
    // Time for the reply to come and the pass to wait at the prompt.
    std::this_thread::sleep_for(300ms);
    const auto started = std::chrono::steady_clock::now();
    window->Shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    EXPECT_EQ(window->passes(), nullptr);
    EXPECT_TRUE(window->findChild<WindowUpdateHost*>(QStringLiteral("updateHost"))->closed());
    QCoreApplication::processEvents();
    EXPECT_TRUE(boxes.shown().empty());
}

} // namespace
} // namespace tallyhawk
