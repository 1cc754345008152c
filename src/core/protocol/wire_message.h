#pragma once

#include "core/common/status.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tallyhawk
{

class TcpLink;

// Request and reply codes of the deal server protocol.
enum WireCode : std::int32_t
{
    RequestCoupons = 1002,
    RequestForumTopics = 1004,
    RequestVersion = 1005,
    RequestDeals = 1006,
    ReplyOk = 9001,
    ReplyError = 9002,
};

// One request or reply of the deal server protocol: a four-digit code followed by text fields, each
// closed by "<~>". Fields are numbered from 1. Reading fields in order is linear in the payload size
// in total: terminator positions are indexed once, as far as the reads have reached. That index is
// built by the reads themselves, so one message is read by one thread at a time.
class WireMessage
{
public:
    WireMessage() = default;
    WireMessage(const WireMessage&) = delete;
    WireMessage& operator=(const WireMessage&) = delete;
    WireMessage(WireMessage&&) noexcept = default;
    WireMessage& operator=(WireMessage&&) noexcept = default;

    // With a non-zero code, the payload becomes the code's four characters; with 0 the message is empty.
    void Reset(std::int32_t code);
    // Appends the text and "<~>"; an absent text counts as empty. 0, or -17 on an empty message.
    int AppendText(std::optional<std::string_view> text);
    int AppendNumber(std::int64_t value);

    // Sends the payload as one frame. Payload bytes sent, -17 when empty, or the link's failure.
    int SendOn(TcpLink& link) const;
    // Replaces the payload with one received frame. Returns the length, the link's failure (message
    // left empty), or -16 when the code reads as negative. A payload under 4 bytes leaves code 0.
    int ReceiveFrom(TcpLink& link);
    // Takes an already received payload, as ReceiveFrom does after the frame arrived.
    int AssignPayload(std::vector<char> payload);

    // Field n's text, or nothing when it is missing or empty. n below 1 reads as 1.
    std::optional<std::string> FieldText(int n) const;
    // The same without a copy; the view stays valid until the payload changes.
    std::optional<std::string_view> FieldView(int n) const;
    // FieldText read with the atoi rule; -16 when absent.
    std::int32_t FieldNumber(int n) const;
    // How many terminated fields the payload holds, empty ones included.
    std::int32_t FieldCount() const;

    std::int32_t length() const { return static_cast<std::int32_t>(buffer_.size()); }
    std::int32_t code() const { return code_; }
    bool empty() const { return buffer_.empty(); }
    const std::vector<char>& payload() const { return buffer_; }

private:
    // Extends terminatorEnds_ until it holds `count` entries or the payload is exhausted.
    void IndexTerminators(std::size_t count) const;

    std::int32_t code_ = 0;
    std::vector<char> buffer_;
    // Offsets just past each "<~>" found so far, and where the next search starts.
    mutable std::vector<std::uint32_t> terminatorEnds_;
    mutable std::size_t scanPosition_ = 4;
    mutable bool scanDone_ = false;
};

} // namespace tallyhawk
