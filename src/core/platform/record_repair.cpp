#include "core/platform/record_repair.h"

#include "core/common/byte_text.h"
#include "core/platform/atomic_file.h"
#include "core/platform/record_file.h"

#include <sys/stat.h>

namespace tallyhawk
{
namespace
{

// Copies beyond this many earlier ones replace the last: repairs are rare, and a folder must not fill
// with copies of one file.
constexpr int kCopyNames = 100;

std::uint32_t MarkerAt(std::string_view bytes, std::size_t at)
{
    return LoadLe32(reinterpret_cast<const unsigned char*>(bytes.data() + at));
}

void AppendLe32(std::string& out, std::uint32_t value)
{
    unsigned char word[RecordFrame::kMarkerSize];
    StoreLe32(word, value);
    out.append(reinterpret_cast<const char*>(word), sizeof word);
}

// "deal.lst.damaged", or with a number when earlier copies are there, so none of them is lost.
std::string CopyName(const std::string& path)
{
    std::string name = path + ".damaged";
    struct stat info
    { };
    for (int n = 2; n <= kCopyNames && ::lstat(name.c_str(), &info) == 0; ++n) {
        name = path + ".damaged." + std::to_string(n);
    }
    return name;
}

} // namespace

std::string RecordRepair::Salvage(std::string_view bytes, const RecordFrame& frame, RecordRepair& counts)
{
    counts.saved = 0;
    counts.damagedBytes = 0;
    const std::size_t frameSize = frame.FrameSize();
    std::string out;
    AppendLe32(out, RecordFrame::kFileMarker);
    const bool soundHeader
        = bytes.size() >= frame.headerSize && MarkerAt(bytes, 0) == RecordFrame::kFileMarker;
    if (bytes.size() >= frame.headerSize) {
        // The header words after the marker (a shopping file's last id) are worth keeping as they are.
        out.append(bytes.substr(RecordFrame::kMarkerSize, frame.headerSize - RecordFrame::kMarkerSize));
    } else {
        out.append(frame.headerSize - RecordFrame::kMarkerSize, '\0');
    }
    // Damage in the header costs no record: none was ever there.
    const std::uint64_t headerDamage = soundHeader ? 0 : std::min(bytes.size(), frame.headerSize);
    counts.damagedBytes += headerDamage;
    std::size_t at = frame.headerSize;
    while (at < bytes.size()) {
        const std::size_t left = bytes.size() - at;
        const std::uint32_t marker = left >= RecordFrame::kMarkerSize ? MarkerAt(bytes, at) : 0;
        if (marker == RecordFrame::kRecordMarker && left >= frameSize) {
            out.append(bytes.substr(at, frameSize));
            ++counts.saved;
            at += frameSize;
        } else if (marker == RecordFrame::kEndMarker) {
            // Whole records may follow an end marker that was written in the wrong place.
            at += RecordFrame::kMarkerSize;
        } else {
            ++counts.damagedBytes;
            ++at;
        }
    }
    AppendLe32(out, RecordFrame::kEndMarker);
    counts.lost = (counts.damagedBytes - headerDamage + frameSize - 1) / frameSize;
    return out;
}

RecordRepair RecordRepair::Run(const std::string& path, const RecordFrame& frame)
{
    RecordRepair result;
    RecordFile file(frame);
    if (file.Open(path, RecordFile::Mode::Update) != kOk) {
        result.status = kCannotOpen;
        return result;
    }
    std::string bytes(static_cast<std::size_t>(file.size()), '\0');
    if (!file.ReadAt(bytes.data(), bytes.size(), 0)) {
        result.status = kCannotOpen;
        return result;
    }
    const std::string repaired = Salvage(bytes, frame, result);
    // A whole file ends in exactly one end marker after its records; anything else is rewritten.
    if (repaired == bytes) {
        return result;
    }
    // The copy first: once the new file is in place, the copy is all that is left of the damage.
    result.damagedCopy = CopyName(path);
    if (!AtomicFile::Replace(result.damagedCopy, bytes) || !AtomicFile::Replace(path, repaired)) {
        result.status = kCannotReplace;
        return result;
    }
    result.replaced = true;
    return result;
}

} // namespace tallyhawk
