#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace tallyhawk
{

// Reads a number the way atoi does: leading blanks skipped, optional sign, digits up to the first
// other byte; no digits gives 0. Values beyond 32 bits saturate instead of overflowing.
std::int32_t AtoiRule(std::string_view text);

// Copies text (up to its first zero byte) into a fixed zero-filled field of `size` bytes, keeping at most
// size - 1 bytes as FitText cuts them.
void CopyToField(char* field, std::size_t size, std::optional<std::string_view> text);

// The text of a zero-filled field: the bytes up to the first zero, never past the field.
std::string_view FieldString(const char* field, std::size_t size);

// At most `limit` bytes of text: cut at the last whole character that fits when the text is valid
// UTF-8, so no character is split, and byte-exact otherwise.
std::string_view FitText(std::string_view text, std::size_t limit);

// Little-endian 32-bit values in record files.
inline void StoreLe32(unsigned char* out, std::uint32_t value)
{
    out[0] = static_cast<unsigned char>(value);
    out[1] = static_cast<unsigned char>(value >> 8);
    out[2] = static_cast<unsigned char>(value >> 16);
    out[3] = static_cast<unsigned char>(value >> 24);
}

inline std::uint32_t LoadLe32(const unsigned char* in)
{
    return static_cast<std::uint32_t>(in[0]) | (static_cast<std::uint32_t>(in[1]) << 8)
        | (static_cast<std::uint32_t>(in[2]) << 16) | (static_cast<std::uint32_t>(in[3]) << 24);
}

inline void StoreLe16(unsigned char* out, std::uint16_t value)
{
    out[0] = static_cast<unsigned char>(value);
    out[1] = static_cast<unsigned char>(value >> 8);
}

inline std::uint16_t LoadLe16(const unsigned char* in)
{
    return static_cast<std::uint16_t>(in[0] | (in[1] << 8));
}

} // namespace tallyhawk
