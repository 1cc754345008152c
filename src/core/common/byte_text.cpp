#include "core/common/byte_text.h"

#include "core/common/display_text.h"

#include <algorithm>
#include <limits>

namespace tallyhawk
{

std::int32_t AtoiRule(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::int64_t value = 0;
    constexpr std::int64_t kCap = static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::max()) + 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min<std::int64_t>(value * 10 + (text[i] - '0'), kCap);
    }
    if (negative) {
        value = -value;
    }
    value = std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max());
    return static_cast<std::int32_t>(value);
}

void CopyToField(char* field, std::size_t size, std::optional<std::string_view> text)
{
    std::memset(field, 0, size);
    if (!text || size == 0) {
        return;
    }
    // A zero byte inside the text ends it, as it would in a C string.
    std::string_view value = text->substr(0, std::min(text->find('\0'), text->size()));
    value = FitText(value, size - 1);
    std::memcpy(field, value.data(), value.size());
}

std::string_view FieldString(const char* field, std::size_t size)
{
    const void* zero = std::memchr(field, 0, size);
    std::size_t length = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - field) : size;
    return {field, length};
}

std::string_view FitText(std::string_view text, std::size_t limit)
{
    if (text.size() <= limit) {
        return text;
    }
    if (!IsValidUtf8(text)) {
        return text.substr(0, limit);
    }
    // In valid UTF-8 a continuation byte (10xxxxxx) at the cut means the character before it does not
    // fit whole: cut before its lead byte.
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return text.substr(0, end);
}

} // namespace tallyhawk
