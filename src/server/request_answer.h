#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tallyhawk::server
{

class ItemStore;

// Error numbers of the 9002 reply.
inline constexpr std::int32_t kErrorUnknownRequest = 1;
inline constexpr std::int32_t kErrorMalformed = 2;
inline constexpr std::int32_t kErrorFrameTooLarge = 3;
inline constexpr std::int32_t kErrorBusy = 4;
inline constexpr std::int32_t kErrorDatabase = 5;

// What the deal server answers one request payload with: the version reply to 1005, the items after
// the id of field 1 to 1002, 1006 and 1004 (at most kMaxItemsPerReply and kMaxReplyBytes, lowest id
// first, so a client catches up over several passes), and a 9002 reply to anything else, to a failing
// database too (which is logged).
class RequestAnswer
{
public:
    static constexpr std::int32_t kMaxItemsPerReply = 500;
    // Far below the 16 MiB a client takes: texts are cut to what a client keeps, so 500 items take
    // about 300 KiB, and this bound holds whatever the items are.
    static constexpr std::size_t kMaxReplyBytes = 1024 * 1024;

    RequestAnswer(ItemStore& items, std::string version);

    std::vector<char> Answer(const std::vector<char>& request) const;

    // A 9002 reply: field 1 the request code (0 when unknown), field 2 the error number.
    static std::vector<char> Error(std::int32_t requestCode, std::int32_t error);

private:
    ItemStore& items_;
    std::string version_;
};

} // namespace tallyhawk::server
