#pragma once

#include <cstdint>

namespace tallyhawk
{

// The results of the system's operations. Success is 0 (or a count or id, where an operation says
// so); every failure is a negative status. Each value has this one name in every layer. The HTTP
// fetcher's own codes are FetchStatus (core/net/http_fetcher.h).
inline constexpr std::int32_t kOk = 0;

// The socket could not be made (transport); the settings file could not be read or written.
inline constexpr std::int32_t kFailed = -1;

// Transport: no connection within the wait or refused; a send that failed or did not finish in time;
// a frame header that is not one of ours, or over the frame limit; the peer closed the connection;
// no reply within the wait; the request as a whole ran past its time limit (however the waits went).
inline constexpr std::int32_t kNotConnected = -2;
inline constexpr std::int32_t kSendFailed = -3;
inline constexpr std::int32_t kBadFrame = -4;
inline constexpr std::int32_t kClosedByPeer = -5;
inline constexpr std::int32_t kNoReply = -8;
inline constexpr std::int32_t kTimeLimitReached = -9;

// A SemaphoreLock wait ran out, or a release of a lock that was not held.
inline constexpr std::int32_t kLockFailed = -10;

// Messages: a field that is not there; a message without a code.
inline constexpr std::int32_t kFieldAbsent = -16;
inline constexpr std::int32_t kEmptyMessage = -17;

// Search workers: no agent or no search text.
inline constexpr std::int32_t kNoSearchText = -24;

// Agents: a search template without its keyword marker; a search text the template cannot take.
inline constexpr std::int32_t kNoKeywordMarker = -26;
inline constexpr std::int32_t kUnusableSearchText = -27;

// Record, list and text files: cannot open or create; short, damaged, or a read or write that
// failed; the rewritten file could not take the old one's place; a wrong marker (or no usable size);
// the archive could not be copied back.
inline constexpr std::int32_t kCannotOpen = -41;
inline constexpr std::int32_t kBadFormat = -42;
inline constexpr std::int32_t kCannotReplace = -43;
inline constexpr std::int32_t kBadMarker = -44;
inline constexpr std::int32_t kCannotRestore = -46;

// A search worker's page could not be fetched (or the fetch was stopped). Positive, like the fetcher's
// own codes (core/net/http_fetcher.h), which it stands for.
inline constexpr std::int32_t kPageNotFetched = 0x10000010;

// No record with that id.
inline constexpr std::int32_t kNoSuchRecord = -201;

} // namespace tallyhawk
