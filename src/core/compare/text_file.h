#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tallyhawk
{

// Reads a whole downloaded text file (agent configuration, update answer) in one go.
// 0; -41 it cannot be opened; -42 fewer bytes came than its size; -44 its size is unavailable (also
// for something that is not a regular file, or one larger than kMaxTextFileSize).
inline constexpr std::size_t kMaxTextFileSize = 64u * 1024 * 1024;
std::int32_t ReadTextFile(const std::string& path, std::string& bytes);

// The bytes up to the first zero byte: the files are read as terminated texts.
std::string_view TextBeforeZero(std::string_view bytes);

} // namespace tallyhawk
