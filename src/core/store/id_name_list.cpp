#include "core/store/id_name_list.h"

#include "core/common/byte_text.h"
#include "core/common/record_frame.h"
#include "core/platform/atomic_file.h"
#include "core/platform/record_file.h"

#include <algorithm>
#include <limits>

namespace tallyhawk
{

namespace
{

constexpr std::uint32_t kFileMarker = RecordFrame::kFileMarker;
constexpr std::uint32_t kRecordMarker = RecordFrame::kRecordMarker;
constexpr std::uint32_t kEndMarker = RecordFrame::kEndMarker;

// Entry layout: reserved 4, id 4, name 50, padding 2, count 4.
constexpr std::size_t kIdOffset = 4;
constexpr std::size_t kNameOffset = 8;
constexpr std::size_t kCountOffset = 60;
constexpr std::size_t kNameLimit = IdNameEntry::kNameSize - 1;

// The name as the file can hold it: up to the first zero byte, at most 49 bytes.
std::string FieldName(std::string_view name)
{
    return std::string(FitText(name.substr(0, name.find('\0')), kNameLimit));
}

const RecordFrame kFrame{IdNameEntry::kFileSize, RecordFrame::kMarkerSize};

} // namespace

const IdNameEntry* IdNameList::Find(std::int32_t id) const
{
    auto it = entries_.find(id);
    return it == entries_.end() ? nullptr : &it->second;
}

std::int32_t IdNameList::AddOrCount(std::int32_t id, std::string_view name, std::int32_t count)
{
    auto [it, inserted] = entries_.try_emplace(id);
    IdNameEntry& entry = it->second;
    if (inserted) {
        entry.id = id;
        entry.name = FieldName(name);
        entry.count = count;
    } else if (entry.count < std::numeric_limits<std::int32_t>::max()) {
        // A count at its limit stays there rather than wrapping to a negative number.
        ++entry.count;
    }
    return id;
}

std::int32_t IdNameList::AddUserEntry(std::string_view name)
{
    std::int32_t highest = entries_.empty() ? 0 : entries_.rbegin()->first;
    std::int32_t next = std::max(kServerIdLimit, highest);
    if (next < std::numeric_limits<std::int32_t>::max()) {
        return AddOrCount(next + 1, name, 0);
    }
    // The highest possible id is taken (only a damaged or hostile file does that): use the lowest free
    // user id instead of overflowing.
    std::int32_t candidate = kServerIdLimit + 1;
    for (auto it = entries_.lower_bound(candidate); it != entries_.end() && it->first == candidate; ++it) {
        if (candidate == std::numeric_limits<std::int32_t>::max()) {
            return 0;
        }
        ++candidate;
    }
    return AddOrCount(candidate, name, 0);
}

std::int32_t IdNameList::HighestServerId() const
{
    auto it = entries_.lower_bound(kServerIdLimit);
    if (it == entries_.begin()) {
        return 0;
    }
    --it;
    return it->first > 0 ? it->first : 0;
}

int IdNameList::Load(const std::string& path)
{
    RecordFile file(kFrame);
    if (file.Open(path, RecordFile::Mode::Read) != kOk) {
        return kCannotOpen;
    }
    return LoadFrom(file);
}

int IdNameList::LoadFrom(RecordFile& file)
{
    if (int marker = file.CheckFileMarker(); marker != kOk) {
        return marker == kBadMarker ? kBadMarker : kBadFormat;
    }
    FrameScan scan = file.Scan([&](const unsigned char* record, std::uint64_t) {
        auto id = static_cast<std::int32_t>(LoadLe32(record + kIdOffset));
        if (id <= 0) {
            return false;
        }
        IdNameEntry& entry = entries_[id];
        entry.id = id;
        entry.name
            = std::string(FieldString(reinterpret_cast<const char*>(record + kNameOffset), kNameLimit));
        entry.count = static_cast<std::int32_t>(LoadLe32(record + kCountOffset));
        return true;
    });
    switch (scan.end) {
    case FrameEnd::EndMarker:
        return kOk;
    case FrameEnd::BadMarker:
        return kBadMarker;
    case FrameEnd::TornTail: {
        // Less than a whole entry is left: a whole marker that is no record marker is still a wrong one.
        unsigned char marker[RecordFrame::kMarkerSize];
        bool wrong = file.ReadAt(marker, sizeof marker, scan.boundary) && LoadLe32(marker) != kRecordMarker;
        return wrong ? kBadMarker : kBadFormat;
    }
    case FrameEnd::Stopped: // at an id of 0 or less, which would stand for no entry
    case FrameEnd::ReadError:
        break;
    }
    return kBadFormat;
}

std::string IdNameList::Encode() const
{
    std::string bytes;
    bytes.reserve(8 + entries_.size() * (4 + IdNameEntry::kFileSize));
    auto appendLe32 = [&bytes](std::uint32_t value) {
        unsigned char word[4];
        StoreLe32(word, value);
        bytes.append(reinterpret_cast<const char*>(word), sizeof word);
    };
    appendLe32(kFileMarker);
    for (const auto& [id, entry] : entries_) {
        if (id <= 0) {
            // Such an entry would stop every later load at the start of the file; lists built in
            // memory may hold one, files never do.
            continue;
        }
        unsigned char record[IdNameEntry::kFileSize] = {};
        StoreLe32(record + kIdOffset, static_cast<std::uint32_t>(id));
        CopyToField(reinterpret_cast<char*>(record + kNameOffset), IdNameEntry::kNameSize, entry.name);
        StoreLe32(record + kCountOffset, static_cast<std::uint32_t>(entry.count));
        appendLe32(kRecordMarker);
        bytes.append(reinterpret_cast<const char*>(record), sizeof record);
    }
    appendLe32(kEndMarker);
    return bytes;
}

int IdNameList::Save(const std::string& path) const
{
    // Held while the new file takes the old one's place, so a load waits for the whole new file.
    RecordFile file(kFrame);
    if (file.Open(path, RecordFile::Mode::Replace) != kOk) {
        return kCannotOpen;
    }
    return AtomicFile::Replace(path, Encode()) ? kOk : kCannotOpen;
}

int IdNameList::Update(const std::string& path, const Change& change, IdNameList* held)
{
    // Held alone from the read to the replacement, so no other writer's entry falls between the two.
    RecordFile file(kFrame);
    if (file.Open(path, RecordFile::Mode::Append) != kOk) {
        return kCannotOpen;
    }
    IdNameList list;
    if (int status = list.LoadFrom(file); status != kOk) {
        return status;
    }
    const int changed = change(list);
    if (changed < 0) {
        return changed;
    }
    if (changed == 0 && !AtomicFile::Replace(path, list.Encode())) {
        return kCannotOpen;
    }
    if (held != nullptr) {
        *held = std::move(list);
    }
    return kOk;
}

} // namespace tallyhawk
