#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tallyhawk
{

// The whole contents of a file, in a buffer that is not cleared before the read fills it.
struct TextFileBytes
{
    std::unique_ptr<char[]> data;
    std::size_t size = 0;

    std::string_view view() const { return {data.get(), size}; }
};

// Files larger than this are refused as having no usable size.
inline constexpr std::size_t kMaxTextFileSize = 64u * 1024 * 1024;

// Reads a whole downloaded text file (agent configuration, update answer) in one go.
// 0; -41 it cannot be opened; -42 fewer bytes came than its size; -44 its size is unavailable (also
// for something that is not a regular file, or one larger than kMaxTextFileSize).
std::int32_t ReadTextFile(const std::string& path, TextFileBytes& bytes);

// The bytes up to the first zero byte: the files are read as terminated texts.
std::string_view TextBeforeZero(std::string_view bytes);

} // namespace tallyhawk
