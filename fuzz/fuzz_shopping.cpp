// Any bytes as a shopping record file through the view, the count, a mark, an add and the archive: no
// crash, no sanitizer report, every schedule computation ends (the run's time-out), and a file that
// loaded whole before an add still loads whole after it, with the new record in it.
#include "core/platform/record_file.h"
#include "core/shopping/shopping_database.h"
#include "fuzz_temp_folder.h"
#include "support/mock_clock.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace
{

using tallyhawk::ItemFilter;
using tallyhawk::kBadFormat;
using tallyhawk::kBadMarker;
using tallyhawk::kCannotOpen;
using tallyhawk::kCannotRestore;
using tallyhawk::kNoSuchRecord;
using tallyhawk::MockClock;
using tallyhawk::RecordFile;
using tallyhawk::ShoppingDatabase;
using tallyhawk::ShoppingRecord;
using tallyhawk::fuzz::TempFolder;

constexpr std::int32_t kNow = 1200000000;

bool Whole(const std::string& path)
{
    RecordFile file(ShoppingDatabase::kFrame);
    return file.Open(path, RecordFile::Mode::Read) == 0 && file.CheckFileMarker() == 0
        && file.Scan({}).clean();
}

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

bool IsStatus(int status)
{
    return status == kCannotOpen || status == kBadFormat || status == kBadMarker || status == kCannotRestore
        || status == kNoSuchRecord;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::int32_t kind
        = size > 0 && data[0] % 3 == 0 ? ShoppingDatabase::kPurchases : ShoppingDatabase::kProducts;
    ShoppingDatabase database;
    database.Open(TempFolder(), false);
    const std::string path = *database.RecordPath(kind);
    std::filesystem::remove(*database.RecordPath(ShoppingDatabase::kPurchases));
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    MockClock clock(kNow);

    ItemFilter filter;
    filter.from = kNow - 7 * 86400;
    filter.to = kNow + 86400;
    if (size > 1 && data[1] % 2 == 0) {
        filter.keyword = "a b";
        filter.storeId = data[1] % 5;
    }
    const int loaded = database.LoadView(kind, filter);
    Check(loaded == 0 || IsStatus(loaded));
    std::size_t walked = 0;
    for (auto record = database.First(); record; record = database.Next()) {
        ++walked;
    }
    Check(walked == database.ViewRecords().size());
    Check(database.CountMatching(kind, filter) >= 0);
    database.StoresInView();
    const bool wholeBefore = loaded == 0 && Whole(path);

    const std::int32_t id = size >= 8 ? static_cast<std::int32_t>(data[size - 1] % 8) : 1;
    const int marked = database.MarkRecord(kind, id, ShoppingDatabase::Mark::Purchased);
    Check(marked == id || IsStatus(marked));

    tallyhawk::ShoppingValues values;
    values.name = "new";
    values.purchaseType = 2;
    values.dayValue = 1;
    values.startDate = kNow;
    int status = 0;
    std::optional<ShoppingRecord> added = database.AddRecord(kind, values, &status);
    if (wholeBefore) {
        Check(added.has_value());
        Check(Whole(path));
        Check(database.Find(kind, added->id).has_value());
        ShoppingDatabase reader;
        reader.Open(TempFolder(), false);
        Check(reader.LoadView(kind, ItemFilter()) == 0);
    } else {
        Check(added.has_value() || IsStatus(status));
    }

    const int archived = database.Archive(kind);
    Check(archived == 1 || IsStatus(archived));
    if (wholeBefore) {
        // The new record is neither deleted nor a purchased One Time product: the archive keeps it.
        Check(archived == 1);
        Check(database.Find(kind, added->id).has_value());
    }
    return 0;
}
