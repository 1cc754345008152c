#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tallyhawk
{

// The frame all record files share, integers little-endian: the file marker (followed by any header
// words of the file type), then per record the record marker and one fixed-size record, then the end
// marker. Item lists and id-name lists have a 4-byte header; shopping files and the comparison index
// add a 32-bit last-id word after the file marker.
struct RecordFrame
{
    static constexpr std::uint32_t kFileMarker = 80001;
    static constexpr std::uint32_t kRecordMarker = 80002;
    static constexpr std::uint32_t kEndMarker = 80003;
    static constexpr std::size_t kMarkerSize = 4;

    std::size_t recordSize = 0;
    std::size_t headerSize = kMarkerSize;

    // One record with its marker.
    std::size_t FrameSize() const { return kMarkerSize + recordSize; }
    // The bytes of a file holding no record: the file marker, zero header words, the end marker.
    std::string EmptyFile() const;
    // Whether a file of `size` bytes has the length of a whole file (header, records, end marker).
    bool IsWholeLength(std::uint64_t size) const;
};

// Where a scan of the frame stopped.
enum class FrameEnd
{
    EndMarker, // the end marker at `boundary`; `trailing` bytes follow it
    TornTail, // less than one whole frame was left at `boundary` and it was no end marker
    BadMarker, // a marker that is neither record nor end marker, with a whole frame's bytes after it
    Stopped, // the visitor asked to stop after the record ending at `boundary`
    ReadError, // the file could not be read (or shrank while being read)
};

struct FrameScan
{
    FrameEnd end = FrameEnd::ReadError;
    std::uint64_t boundary = 0; // offset of the marker the scan stopped at
    std::uint64_t records = 0; // whole records passed
    std::uint64_t trailing = 0; // bytes after the end marker

    bool clean() const { return end == FrameEnd::EndMarker && trailing == 0; }
};

} // namespace tallyhawk
