// Any bytes as an item list file through every store operation: no crash, no sanitizer report, memory
// bounded by the file's size, and a file that loaded whole before an append still loads whole after it
// with the new record first in the view.
#include "core/platform/record_file.h"
#include "core/store/item_store.h"
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

using tallyhawk::FrameEnd;
using tallyhawk::ItemFilter;
using tallyhawk::ItemStore;
using tallyhawk::kBadFormat;
using tallyhawk::kCannotOpen;
using tallyhawk::MockClock;
using tallyhawk::RecordFile;
using tallyhawk::fuzz::TempFolder;

constexpr std::int32_t kNow = 1200000000;
constexpr std::int32_t kNewId = 987654321;

// Whether the frame ends in its end marker with nothing after it.
bool Whole(const std::string& path)
{
    RecordFile file(ItemStore::kFrame);
    return file.Open(path, RecordFile::Mode::Read) == 0 && file.CheckFileMarker() == 0
        && file.Scan({}).clean();
}

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = TempFolder() + "/deal.lst";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    ItemStore store;
    store.Open("deal.lst", TempFolder());
    MockClock clock(kNow);

    ItemFilter filter;
    if (size > 0 && data[0] % 2 == 0) {
        filter.keyword = "a b";
        filter.storeId = data[0] % 5;
    }
    const int loaded = store.Load(filter);
    Check(loaded == 0 || loaded == kBadFormat);
    for (std::size_t i = 0; i <= store.Count(); ++i) {
        store.At(i);
    }
    Check(store.CountMatching(filter) >= 0);
    const bool wholeBefore = loaded == 0 && Whole(path);

    const std::int32_t id = size >= 8 ? static_cast<std::int32_t>(data[size - 1]) : 1;
    store.MarkRead(id, size >= 8 ? data[size - 2] % 4 : 2);

    tallyhawk::ItemValues values;
    values.id = kNewId;
    values.kind = 2;
    values.categoryId = 1;
    values.title = "new";
    const int appended = store.Append(values);
    ItemStore reader;
    reader.Open("deal.lst", TempFolder());
    if (wholeBefore) {
        Check(appended == 0);
        Check(reader.Load() == 0);
        Check(reader.Count() >= 1 && reader.At(0)->id == kNewId);
        Check(Whole(path));
    }

    const int archived = store.Archive();
    Check(archived == 0 || archived == kBadFormat || archived == kCannotOpen);
    if (wholeBefore) {
        // The new record is undated and arrived now: the archive keeps it.
        Check(archived == 0);
        Check(reader.Load() == 0);
        Check(reader.Count() >= 1 && reader.At(0)->id == kNewId);
    }
    return 0;
}
