#pragma once

namespace tallyhawk
{

// The captions a folder gives the row commands, and whether it can be searched. Without a folder (and
// in the folders without a list) the commands keep their plain names and Print its last caption.
struct FolderCaptions
{
    const char* details = "Details";
    const char* open = "Open";
    const char* remove = "Delete";
    const char* find = "Find";
    const char* print = nullptr; // null: unchanged
    bool findEnabled = false;
};

} // namespace tallyhawk
