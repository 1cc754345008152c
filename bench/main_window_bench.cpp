// The main window's cold start to its first painted summary page, against "tallyhawk-cli items count"
// of the same data; and a refresh of Coupons & Deals, against loading the same file into a store.
#include "bench_support.h"
#include "core/common/byte_text.h"
#include "core/settings/settings.h"
#include "core/shopping/shopping_record.h"
#include "core/store/item_filter.h"
#include "core/store/item_store.h"
#include "deal_file.h"
#include "gui/app/main_window.h"
#include "gui/app/summary_page.h"
#include "support/mock_clock.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTreeView>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace
{

using tallyhawk::MainWindow;

constexpr int kItems = 100000;
constexpr int kProducts = 50000;
// The file's items arrive one a second from 1100000001 on; the clock stands just after the last, so
// the week's view holds them all.
constexpr std::int32_t kNow = 1100000000 + kItems + 60;

// "deal.lst" with kItems items and "product.dat" with kProducts products, and the settings of the window.
struct DataFolder
{
    DataFolder()
    {
        std::string bytes(8, '\0');
        tallyhawk::StoreLe32(reinterpret_cast<unsigned char*>(bytes.data()), 80001);
        tallyhawk::StoreLe32(reinterpret_cast<unsigned char*>(bytes.data()) + 4, kProducts);
        std::vector<unsigned char> frame(4 + tallyhawk::ShoppingRecord::kSize);
        tallyhawk::StoreLe32(frame.data(), 80002);
        for (int i = 1; i <= kProducts; ++i) {
            tallyhawk::ShoppingValues values;
            values.name = "Product " + std::to_string(i) + " " + tallyhawk::bench::Words(i, 2);
            values.store.id = i % 40 + 1;
            values.category.id = i % 25 + 1;
            values.quantity = 1;
            values.purchaseType = static_cast<std::uint16_t>(i % 3 == 0 ? 2 : 0);
            values.dayValue = static_cast<std::int16_t>(i % 3 == 0 ? 7 : 0);
            values.startDate = kNow - (i % 700) * 86400;
            tallyhawk::ShoppingRecord::Make(values, i).Serialize(frame.data() + 4);
            bytes.append(reinterpret_cast<const char*>(frame.data()), frame.size());
        }
        bytes.append("\x83\x38\x01\x00", 4);
        tallyhawk::bench::WriteWholeFile(deals.folder + "/product.dat", bytes);
        std::filesystem::create_directories(deals.folder + "/WebSearch");
    }

    std::string SettingsFile(bool showSummary) const
    {
        const std::string path = deals.folder + (showSummary ? "/summary.conf" : "/deals.conf");
        tallyhawk::Settings settings(path);
        settings.showSummary = showSummary ? 1 : 0;
        settings.Save();
        // The window's update cycle reaches only 127.0.0.1, where port 1 refuses at once.
        settings.WriteText("ServerAddress", "127.0.0.1");
        settings.WriteNumber("ServerPort", 1);
        settings.WriteText("SiteUrl", "http://127.0.0.1:1");
        return path;
    }

    tallyhawk::bench::DealFile deals{kItems};
};

DataFolder& Data()
{
    static DataFolder data;
    return data;
}

// Started as the user would start it (shown), until the summary page has been painted once.
void BM_ColdStartToSummary(benchmark::State& state)
{
    tallyhawk::MockClock clock(kNow);
    const std::string settings = Data().SettingsFile(true);
    for (auto _ : state) {
        auto window = std::make_unique<MainWindow>(settings);
        window->Start(false);
        // The first paint of the summary page ends the cold start; the store loads and the update
        // cycle that follow it are not part of it.
        window->findChild<tallyhawk::SummaryPage*>(QStringLiteral("summaryPage"))->repaint();
        state.PauseTiming();
        QCoreApplication::processEvents();
        window.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ColdStartToSummary)->Unit(benchmark::kMillisecond)->UseRealTime();

// The CLI's count of the same file, as a process of its own.
void BM_CliItemsCount(benchmark::State& state)
{
    const std::string folder = Data().deals.folder;
    for (auto _ : state) {
        if (tallyhawk::bench::RunQuietly(TALLYHAWK_CLI_PATH,
                                         {"items", "count", "deals", "--data-dir", folder})
            < 0) {
            state.SkipWithError("items count failed");
            break;
        }
    }
}
BENCHMARK(BM_CliItemsCount)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RefreshCouponsAndDeals(benchmark::State& state)
{
    tallyhawk::MockClock clock(kNow);
    MainWindow window(Data().SettingsFile(false));
    window.Start(true);
    // The load runs on the window's worker: a refresh ends when its rows show.
    const auto settle = [&window] {
        while (window.busy()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
    };
    settle();
    for (auto _ : state) {
        window.RefreshView(true);
        settle();
    }
    state.counters["rows"]
        = static_cast<double>(window.findChild<QTreeView*>(QStringLiteral("itemList"))->model()->rowCount());
}
BENCHMARK(BM_RefreshCouponsAndDeals)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_StoreLoad(benchmark::State& state)
{
    tallyhawk::MockClock clock(kNow);
    tallyhawk::ItemStore store;
    store.Open("deal.lst");
    tallyhawk::ItemFilter filter;
    filter.from = kNow - 604800;
    filter.to = kNow + 86400;
    for (auto _ : state) {
        if (store.Load(filter) != 0) {
            state.SkipWithError("load failed");
        }
        benchmark::DoNotOptimize(store.Count());
    }
    state.counters["records"] = static_cast<double>(store.Count());
}
BENCHMARK(BM_StoreLoad)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    // No display is needed to measure; the window paints off screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    // The window opens its files in the current folder, as the program does in its data folder.
    std::filesystem::current_path(Data().deals.folder);
    return tallyhawk::bench::RunWithRatios(
        argc,
        argv,
        {
            {"cold_start_vs_cli_count", "BM_ColdStartToSummary/real_time", "BM_CliItemsCount/real_time", 3},
            {"refresh_deals_vs_load", "BM_RefreshCouponsAndDeals/real_time", "BM_StoreLoad/real_time", 2},
        });
}
