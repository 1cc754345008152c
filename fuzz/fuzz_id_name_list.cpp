// Any bytes as an id-name list file: load, add a user entry, save; a list that loaded whole must come
// back unchanged from its own saved file.
#include "core/store/id_name_list.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace
{

using tallyhawk::IdNameList;

// Made once per process; removed with its two files at exit.
char gFolder[128];

void RemoveFolder()
{
    for (const char* file : {"/input.lst", "/saved.lst"}) {
        std::remove((std::string(gFolder) + file).c_str());
    }
    ::rmdir(gFolder);
}

std::string Folder()
{
    if (gFolder[0] == '\0') {
        // Memory-backed when available: every save flushes to disk, which would slow the run a hundredfold.
        for (const char* base : {"/dev/shm", "/tmp"}) {
            std::snprintf(gFolder,
                          sizeof gFolder,
                          "%s/fuzz_id_name_list.%d.XXXXXX",
                          base,
                          static_cast<int>(::getpid()));
            if (::mkdtemp(gFolder) != nullptr) {
                std::atexit(RemoveFolder);
                return gFolder;
            }
        }
        std::abort();
    }
    return gFolder;
}

bool SameEntries(const IdNameList& a, const IdNameList& b)
{
    if (a.Count() != b.Count()) {
        return false;
    }
    for (auto i = a.begin(), j = b.begin(); i != a.end(); ++i, ++j) {
        if (i->first != j->first || i->second.id != j->second.id || i->second.name != j->second.name
            || i->second.count != j->second.count) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input = Folder() + "/input.lst";
    const std::string saved = Folder() + "/saved.lst";
    if (std::FILE* file = std::fopen(input.c_str(), "wb")) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    } else {
        std::abort();
    }

    IdNameList list;
    list.AddOrCount(4000, "Kept", 2);
    int status = list.Load(input);
    if (status != 0 && status != -41 && status != -42 && status != -44) {
        std::abort();
    }
    if (list.Find(4000) == nullptr) {
        std::abort(); // a merge never drops entries it was not told about
    }
    if (status == 0) {
        if (list.Save(saved) != 0) {
            std::abort();
        }
        IdNameList again;
        if (again.Load(saved) != 0 || !SameEntries(list, again)) {
            std::abort();
        }
    }

    std::int32_t id
        = list.AddUserEntry(std::string(reinterpret_cast<const char*>(data), size < 80 ? size : 80));
    if (id < 5000 && id != 0) {
        std::abort();
    }
    if (list.Save(saved) != 0) {
        std::abort();
    }
    IdNameList reread;
    if (reread.Load(saved) != 0) {
        std::abort();
    }
    if (id != 0 && (reread.Find(id) == nullptr || reread.Find(id)->name.size() > 49)) {
        std::abort();
    }
    return 0;
}
