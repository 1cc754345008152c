// Any bytes as "deal.lst" through `items repair`: the repaired file always loads whole, takes a new
// record, the saved and damaged counts account for every input byte, and the ".damaged" copy holds
// the input exactly.
#include "core/common/byte_text.h"
#include "core/platform/record_file.h"
#include "core/store/item_store.h"

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace
{

using tallyhawk::ItemRecord;
using tallyhawk::ItemStore;
using tallyhawk::RecordFile;
using tallyhawk::RecordFrame;

// Made once per process; removed with its files at exit.
char gFolder[128];

std::string FileIn(const char* name)
{
    return std::string(gFolder) + "/" + name;
}

void RemoveFolder()
{
    for (const char* file : {"deal.lst", "deal.lst.damaged"}) {
        std::remove(FileIn(file).c_str());
    }
    ::rmdir(gFolder);
}

void MakeFolder()
{
    if (gFolder[0] != '\0') {
        return;
    }
    // Memory-backed when available: every replacement flushes to disk.
    for (const char* base : {"/dev/shm", "/tmp"}) {
        std::snprintf(
            gFolder, sizeof gFolder, "%s/fuzz_item_repair.%d.XXXXXX", base, static_cast<int>(::getpid()));
        if (::mkdtemp(gFolder) != nullptr) {
            std::atexit(RemoveFolder);
            return;
        }
    }
    std::abort();
}

std::string Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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
    MakeFolder();
    const std::string path = FileIn("deal.lst");
    std::remove(FileIn("deal.lst.damaged").c_str());
    const std::string input(reinterpret_cast<const char*>(data), size);
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    } else {
        std::abort();
    }

    ItemStore store;
    store.Open("deal.lst", gFolder);
    const tallyhawk::RecordRepair repair = store.Repair();
    Check(repair.status == tallyhawk::kOk);

    // Every byte is a saved record's, a damaged one, or a marker of the sound frame (4 bytes each).
    const std::uint64_t frameSize = ItemStore::kFrame.FrameSize();
    Check(repair.saved * frameSize + repair.damagedBytes <= size);
    Check((size - repair.saved * frameSize - repair.damagedBytes) % RecordFrame::kMarkerSize == 0);
    // Damage inside the file marker costs no record: none was ever there.
    const bool soundHeader
        = size >= RecordFrame::kMarkerSize && tallyhawk::LoadLe32(data) == RecordFrame::kFileMarker;
    const std::uint64_t headerDamage
        = soundHeader ? 0 : std::min<std::uint64_t>(size, RecordFrame::kMarkerSize);
    Check(repair.damagedBytes >= headerDamage);
    const std::uint64_t recordDamage = repair.damagedBytes - headerDamage;
    Check(repair.lost * frameSize >= recordDamage);
    Check(repair.lost == 0 || (repair.lost - 1) * frameSize < recordDamage);

    const std::string repaired = Read(path);
    if (repair.replaced) {
        Check(repair.damagedCopy == FileIn("deal.lst.damaged"));
        Check(Read(repair.damagedCopy) == input);
    } else {
        Check(repaired == input);
        Check(repair.damagedBytes == 0);
    }
    Check(repaired.size() == 8 + repair.saved * frameSize);

    {
        RecordFile file(ItemStore::kFrame);
        Check(file.Open(path, RecordFile::Mode::Read) == tallyhawk::kOk);
        const tallyhawk::FrameScan scan = file.Scan({});
        Check(scan.clean() && scan.records == repair.saved);
    }
    // A second repair finds nothing to do, and a new record goes on the end.
    Check(!store.Repair().replaced);
    tallyhawk::ItemValues values;
    values.id = 1;
    values.kind = 2;
    values.categoryId = 1;
    values.title = "new";
    Check(store.Append(values) == tallyhawk::kOk);
    Check(store.Load() == tallyhawk::kOk);
    return 0;
}
