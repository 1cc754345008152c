// Loading the Shopping List view and counting its due products, against reading the same
// "product.dat" into memory.
#include "bench_support.h"
#include "core/common/byte_text.h"
#include "core/shopping/purchase_type.h"
#include "core/shopping/shopping_database.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace
{

using tallyhawk::ItemFilter;
using tallyhawk::PurchaseType;
using tallyhawk::ShoppingDatabase;
using tallyhawk::ShoppingRecord;
using tallyhawk::ShoppingValues;

constexpr int kProducts = 50000;
constexpr std::int32_t kNow = 1700000000; // November 2023
constexpr std::int32_t kDay = 86400;

// A temporary data folder with a "product.dat" of kProducts products of every schedule type, started
// within the last two years, a third of them bought since.
class ProductFile
{
public:
    ProductFile()
    {
        std::string bytes(8, '\0');
        tallyhawk::StoreLe32(reinterpret_cast<unsigned char*>(bytes.data()), 80001);
        tallyhawk::StoreLe32(reinterpret_cast<unsigned char*>(bytes.data()) + 4, kProducts);
        std::vector<unsigned char> frame(4 + ShoppingRecord::kSize);
        tallyhawk::StoreLe32(frame.data(), 80002);
        unsigned seed = 12345;
        auto next = [&seed] {
            seed = seed * 1103515245u + 12345u;
            return seed >> 16;
        };
        for (int i = 1; i <= kProducts; ++i) {
            ShoppingValues values;
            values.name = "Product " + std::to_string(i) + " milk bread";
            values.notes = "Bought at the market on the corner, the large pack";
            values.store.id = static_cast<std::int32_t>(next() % 40 + 1);
            values.category.id = static_cast<std::int32_t>(next() % 25 + 1);
            values.pricePerUnit = 2.5;
            values.quantity = 1;
            values.startDate = kNow - static_cast<std::int32_t>(next() % 730) * kDay - 3600 * 5;
            switch (i % 5) {
            case 0:
                values.purchaseType = tallyhawk::PurchaseTypeNumber(PurchaseType::None);
                break;
            case 1:
                values.purchaseType = tallyhawk::PurchaseTypeNumber(PurchaseType::OneTime);
                break;
            case 2:
                values.purchaseType = tallyhawk::PurchaseTypeNumber(PurchaseType::EveryFewDays);
                values.dayValue = static_cast<std::int16_t>(next() % 6 + 1);
                break;
            case 3:
                values.purchaseType = tallyhawk::PurchaseTypeNumber(PurchaseType::Weekly);
                values.interval = static_cast<std::uint16_t>(next() % 4 + 1);
                values.dayValue = static_cast<std::int16_t>(next() % 7);
                break;
            default:
                values.purchaseType = tallyhawk::PurchaseTypeNumber(PurchaseType::Monthly);
                values.interval = static_cast<std::uint16_t>(next() % 6 + 1);
                values.dayValue = static_cast<std::int16_t>(next() % 31 + 1);
                break;
            }
            ShoppingRecord record = ShoppingRecord::Make(values, i);
            if (i % 3 == 0) {
                record.lastPurchased = kNow - static_cast<std::int32_t>(next() % 60) * kDay;
            }
            record.Serialize(frame.data() + 4);
            bytes.append(reinterpret_cast<const char*>(frame.data()), frame.size());
        }
        bytes.append("\x83\x38\x01\x00", 4);
        path = folder + "/product.dat";
        tallyhawk::bench::WriteWholeFile(path, bytes);
    }
    tallyhawk::bench::TempFolder temp;
    std::string folder = temp.path();
    std::string path;
};

ProductFile& Products()
{
    static ProductFile file;
    return file;
}

// The Shopping List's "Last 7 Days" as of kNow: due and overdue products pass.
ItemFilter LastWeek()
{
    ItemFilter filter;
    filter.from = kNow - 7 * kDay;
    filter.to = kNow + kDay;
    return filter;
}

void BM_ReadWholeFile(benchmark::State& state)
{
    tallyhawk::bench::ReadWholeFile(state, Products().path);
}
BENCHMARK(BM_ReadWholeFile)->Unit(benchmark::kMillisecond);

void BM_LoadView(benchmark::State& state)
{
    ShoppingDatabase database;
    database.Open(Products().folder, false);
    const ItemFilter filter = LastWeek();
    for (auto _ : state) {
        if (database.LoadView(ShoppingDatabase::kProducts, filter) != 0) {
            state.SkipWithError("load failed");
        }
        benchmark::DoNotOptimize(database.First());
    }
    state.counters["records"] = static_cast<double>(database.ViewRecords().size());
}
BENCHMARK(BM_LoadView)->Unit(benchmark::kMillisecond);

void BM_CountMatching(benchmark::State& state)
{
    ShoppingDatabase database;
    database.Open(Products().folder, false);
    const ItemFilter filter = LastWeek();
    int count = 0;
    for (auto _ : state) {
        count = database.CountMatching(ShoppingDatabase::kProducts, filter);
        benchmark::DoNotOptimize(count);
    }
    state.counters["records"] = count;
}
BENCHMARK(BM_CountMatching)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    Products();
    return tallyhawk::bench::RunWithRatios(
        argc,
        argv,
        {
            {"shopping_load_view", "BM_LoadView", "BM_ReadWholeFile", 6},
            {"shopping_count_matching", "BM_CountMatching", "BM_ReadWholeFile", 4},
        });
}
