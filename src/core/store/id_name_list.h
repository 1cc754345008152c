#pragma once

#include "core/common/status.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace tallyhawk
{

class RecordFile;

// One entry of a store, category or unit list; 64 bytes in ".lst" files.
struct IdNameEntry
{
    static constexpr std::size_t kFileSize = 64;
    static constexpr std::size_t kNameSize = 50; // 49 bytes of text and a zero

    std::int32_t id = 0;
    std::string name; // at most 49 bytes
    std::int32_t count = 0;
};

// Ordered id-to-name list with use counts. Ids below 4999 are the service's; names the user adds get
// ids from 5000 up.
class IdNameList
{
public:
    static constexpr std::int32_t kServerIdLimit = 4999;

    std::size_t Count() const { return entries_.size(); }
    void Clear() { entries_.clear(); }
    const IdNameEntry* Find(std::int32_t id) const;
    // A new id gets the name (cut to 49 bytes) and count; an existing id has its count raised by 1.
    std::int32_t AddOrCount(std::int32_t id, std::string_view name, std::int32_t count);
    std::int32_t AddUserEntry(std::string_view name);
    // Highest id below 4999, or 0.
    std::int32_t HighestServerId() const;

    // Merges the file's entries into the list (it is not emptied first). 0, -41 (also while another
    // process writes the file), -42 or -44. Inside the process a load waits for a save of the same file.
    int Load(const std::string& path);
    // Writes the whole list in id order, replacing the file atomically. Entries with an id of 0 or less
    // are left out: a file holding one could not be loaded past it. 0 or -41 (also while another
    // process reads or writes the file).
    int Save(const std::string& path) const;

    // Changes a list file without losing what others put in it: while the file is held alone (a
    // missing one is made empty), it is read afresh, `change` works on what it holds at that moment and
    // the result replaces it atomically. `change` returns 0 to save, a positive value when there is
    // nothing to save, or a failure. The list as the file now holds it goes to `held` (if given).
    // 0, -41 (also while another process holds the file), the file's Load failure (the file is left
    // alone, since entries after damage would be lost) or `change`'s failure.
    using Change = std::function<int(IdNameList& held)>;
    static int Update(const std::string& path, const Change& change, IdNameList* held = nullptr);

    // Iteration in ascending id order.
    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }

private:
    int LoadFrom(RecordFile& file);
    // The whole file: file marker, entries in id order, end marker.
    std::string Encode() const;

    std::map<std::int32_t, IdNameEntry> entries_;
};

} // namespace tallyhawk
