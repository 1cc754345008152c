#include "server/client_fields.h"

#include "core/common/byte_text.h"

namespace tallyhawk::server
{

namespace
{

bool IsContinuation(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The bytes of the UTF-8 sequence a lead byte begins; 1 for any other byte.
std::size_t SequenceLength(char c)
{
    const auto lead = static_cast<unsigned char>(c);
    return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

} // namespace

std::string ClientFields::Fit(std::string_view text, std::size_t limit)
{
    return std::string(FitText(text, limit));
}

std::string ClientFields::FitPrefix(std::string_view prefix, std::size_t limit)
{
    if (prefix.size() <= limit) {
        return std::string(prefix);
    }
    // A character cut at the end of the prefix would make valid text look invalid: leave it out, so
    // the cut below treats the text as it would the whole of it.
    std::size_t lead = prefix.size();
    while (lead > 0 && prefix.size() - lead < kReadAhead - 1 && IsContinuation(prefix[lead - 1])) {
        --lead;
    }
    if (lead > 0 && lead - 1 + SequenceLength(prefix[lead - 1]) > prefix.size()) {
        prefix = prefix.substr(0, lead - 1);
    }
    return Fit(prefix, limit);
}

void ClientFields::Fit(ServerItem& item)
{
    // Cut in place: a text that fits, as nearly all do, is not copied.
    const auto cut = [](std::string& text, std::size_t limit) {
        text.resize(FitText(text, limit).size());
    };
    cut(item.title, kTitleBytes);
    cut(item.description, kDescriptionBytes);
    cut(item.extra, kExtraBytes);
    cut(item.storeName, kStoreNameBytes);
    cut(item.categoryName, kCategoryNameBytes);
}

} // namespace tallyhawk::server
