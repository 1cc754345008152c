#pragma once

#include "core/common/record_frame.h"
#include "core/common/status.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tallyhawk
{

// Saves the whole records of a damaged record file. Every record frame found in the file (after the
// damage too: the search for the next record marker goes on byte by byte) goes into a new file in file
// order, which takes the old one's place atomically; the old bytes stay in a ".damaged" copy beside
// it. A file that is whole is left alone.
struct RecordRepair
{
    int status = kOk; // 0; -41 the file cannot be opened or held; -43 the copy or the new file could
                      // not be written (the file is unchanged)
    std::uint64_t saved = 0; // whole records in the new file
    std::uint64_t lost = 0; // records the damaged bytes past the header could have held (a part of one
                            // counts)
    std::uint64_t damagedBytes = 0; // bytes that were neither a record, a marker nor a sound header
    bool replaced = false; // the file was damaged and has been replaced
    std::string damagedCopy; // the copy of the old bytes, when the file was replaced

    // The new file's bytes for `bytes`, with the counts filled in. Header words of the old file are
    // kept where they are whole; a missing or wrong file marker is written anew. Accounting:
    // saved * frame.FrameSize() + damagedBytes + the sound header, markers and end markers passed make
    // up bytes.size().
    static std::string Salvage(std::string_view bytes, const RecordFrame& frame, RecordRepair& counts);

    // Repairs the file at `path`, held alone (as a writer) meanwhile.
    static RecordRepair Run(const std::string& path, const RecordFrame& frame);
};

} // namespace tallyhawk
