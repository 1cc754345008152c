#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tallyhawk::server
{

class ItemDatabase;

// Error numbers of the 9002 reply.
inline constexpr std::int32_t kErrorUnknownRequest = 1;
inline constexpr std::int32_t kErrorMalformed = 2;
inline constexpr std::int32_t kErrorFrameTooLarge = 3;
inline constexpr std::int32_t kErrorBusy = 4;

// What the deal server answers one request payload with: the version reply to 1005, the items after
// the id of field 1 to 1002, 1006 and 1004 (at most kMaxItemsPerReply, lowest id first, so a client
// catches up over several passes), and a 9002 reply to anything else.
class RequestAnswer
{
public:
    static constexpr std::int32_t kMaxItemsPerReply = 500;

    RequestAnswer(ItemDatabase& items, std::string version);

    std::vector<char> Answer(const std::vector<char>& request) const;

    // A 9002 reply: field 1 the request code (0 when unknown), field 2 the error number.
    static std::vector<char> Error(std::int32_t requestCode, std::int32_t error);

private:
    ItemDatabase& items_;
    std::string version_;
};

} // namespace tallyhawk::server
