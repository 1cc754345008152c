// Any bytes as a store or category update answer: merged into a list that already holds entries, the
// list must keep its old entries, hold only ids above 0 with names of 2 to 49 bytes, and come back
// unchanged from its own saved file.
#include "core/store/id_name_list.h"
#include "core/update/list_updater.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace
{

using tallyhawk::IdNameList;

// Made once per process; removed with its files at exit.
char gFolder[128];

std::string PathOf(const char* name)
{
    return std::string(gFolder) + "/" + name;
}

void RemoveFolder()
{
    std::remove(PathOf("update.dat").c_str());
    std::remove(PathOf("store.lst").c_str());
    ::rmdir(gFolder);
}

void MakeFolder()
{
    // Memory-backed when available: every save flushes to disk.
    for (const char* base : {"/dev/shm", "/tmp"}) {
        std::snprintf(
            gFolder, sizeof gFolder, "%s/fuzz_update_answer.%d.XXXXXX", base, static_cast<int>(::getpid()));
        if (::mkdtemp(gFolder) != nullptr) {
            std::atexit(RemoveFolder);
            return;
        }
    }
    std::abort();
}

bool SameEntries(const IdNameList& a, const IdNameList& b)
{
    if (a.Count() != b.Count()) {
        return false;
    }
    for (auto i = a.begin(), j = b.begin(); i != a.end(); ++i, ++j) {
        if (i->first != j->first || i->second.name != j->second.name || i->second.count != j->second.count) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (gFolder[0] == '\0') {
        MakeFolder();
    }
    std::FILE* file = std::fopen(PathOf("update.dat").c_str(), "wb");
    if (file == nullptr || std::fwrite(data, 1, size, file) != size) {
        std::abort();
    }
    std::fclose(file);

    IdNameList list;
    list.AddOrCount(7, "Acme", 0);
    list.AddOrCount(5001, "Mine", 0);
    if (tallyhawk::MergeUpdateFile(list, PathOf("update.dat")) != 0) {
        std::abort();
    }
    if (list.Find(7) == nullptr || list.Find(7)->name != "Acme" || list.Find(5001) == nullptr) {
        std::abort();
    }
    for (const auto& [id, entry] : list) {
        if (id <= 0 || entry.name.size() < 2 || entry.name.size() > 49) {
            std::abort();
        }
    }
    if (list.Save(PathOf("store.lst")) != 0) {
        std::abort();
    }
    IdNameList reloaded;
    if (reloaded.Load(PathOf("store.lst")) != 0 || !SameEntries(list, reloaded)) {
        std::abort();
    }
    return 0;
}
