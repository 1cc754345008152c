#pragma once

#include <cstdint>
#include <functional>

namespace tallyhawk
{

class WireMessage;

// Cuts a 9001 item reply into replies of at most `itemsPerSlice` items each, field for field as the
// reply carries them, and hands them to `merge` in order, so a long merge can stop between two slices.
// `merge` returns false to stop. Returns false when it stopped before the end.
bool ForEachReplySlice(const WireMessage& reply,
                       std::int32_t itemsPerSlice,
                       const std::function<bool(const WireMessage&)>& merge);

} // namespace tallyhawk
