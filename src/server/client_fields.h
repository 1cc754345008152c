#pragma once

#include "server/server_item.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace tallyhawk::server
{

// What a client keeps of an item's texts: each lives in a record field of fixed size with a zero byte
// at its end, so a longer text is only bytes sent for nothing. Every way an item comes in (post,
// import, feeds) and every reply cuts to these sizes, at a whole UTF-8 character.
class ClientFields
{
public:
    static constexpr std::size_t kTitleBytes = 49;
    static constexpr std::size_t kDescriptionBytes = 249;
    static constexpr std::size_t kExtraBytes = 49;
    static constexpr std::size_t kStoreNameBytes = 49;
    static constexpr std::size_t kCategoryNameBytes = 49;
    // Store and category list entries keep names of the same size.
    static constexpr std::size_t kListNameBytes = 49;
    // The most a read of a stored text needs: a cut may have to see the whole character at its end.
    static constexpr std::size_t kReadAhead = 4;

    // Cuts every text of the item.
    static void Fit(ServerItem& item);
    // At most `limit` bytes of text, cut before a character that does not fit whole.
    static std::string Fit(std::string_view text, std::size_t limit);
    // The same for the first limit + kReadAhead bytes of a longer text (or the whole of a shorter one),
    // as the database hands them out without reading the rest.
    static std::string FitPrefix(std::string_view prefix, std::size_t limit);
};

} // namespace tallyhawk::server
