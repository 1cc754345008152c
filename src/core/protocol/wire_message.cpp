#include "core/protocol/wire_message.h"

#include "core/common/byte_text.h"
#include "core/protocol/tcp_link.h"

#include <charconv>
#include <cstdio>
#include <cstring>

namespace tallyhawk
{
namespace
{

constexpr std::size_t kCodeLength = 4;
constexpr char kTerminator[] = {'<', '~', '>'};
constexpr std::size_t kTerminatorLength = sizeof kTerminator;

} // namespace

void WireMessage::Reset(std::int32_t code)
{
    buffer_ = {};
    code_ = 0;
    terminatorEnds_.clear();
    scanPosition_ = kCodeLength;
    scanDone_ = false;
    if (code == 0) {
        return;
    }
    code_ = code;
    // Every code in use has four digits; a wider one would shift the fields, so only the first four
    // characters of its text travel.
    char text[16];
    std::snprintf(text, sizeof text, "%4d", code);
    buffer_.assign(text, text + kCodeLength);
}

int WireMessage::AppendText(std::optional<std::string_view> text)
{
    if (buffer_.empty()) {
        return kEmptyMessage;
    }
    if (text) {
        buffer_.insert(buffer_.end(), text->begin(), text->end());
    }
    buffer_.insert(buffer_.end(), std::begin(kTerminator), std::end(kTerminator));
    // The index stays valid; the search resumes after the last terminator found, so a terminator
    // that straddles the old end is still seen.
    scanDone_ = false;
    return 0;
}

int WireMessage::AppendNumber(std::int64_t value)
{
    char text[24];
    auto [end, ec] = std::to_chars(std::begin(text), std::end(text), value);
    (void)ec; // 24 characters hold any 64-bit value
    return AppendText(std::string_view(text, static_cast<std::size_t>(end - text)));
}

int WireMessage::SendOn(TcpLink& link) const
{
    if (buffer_.empty()) {
        return kEmptyMessage;
    }
    return link.SendFrame(buffer_.data(), static_cast<std::int32_t>(buffer_.size()));
}

int WireMessage::ReceiveFrom(TcpLink& link)
{
    Reset(0);
    std::vector<char> payload;
    int result = link.ReceiveFrame(payload);
    if (result < 0) {
        return result;
    }
    return AssignPayload(std::move(payload));
}

int WireMessage::AssignPayload(std::vector<char> payload)
{
    Reset(0);
    if (payload.size() >= kCodeLength) {
        // The "%4d" rule: at most the first four characters, leading blanks and a sign allowed.
        std::int32_t code = AtoiRule(std::string_view(payload.data(), kCodeLength));
        if (code < 0) {
            return kFieldAbsent;
        }
        code_ = code;
    }
    buffer_ = std::move(payload);
    return length();
}

void WireMessage::IndexTerminators(std::size_t count) const
{
    const char* data = buffer_.data();
    const std::size_t size = buffer_.size();
    while (terminatorEnds_.size() < count && !scanDone_) {
        std::size_t position = scanPosition_;
        bool found = false;
        while (position + kTerminatorLength <= size) {
            // Only a '<' with two bytes after it can start a terminator.
            const void* hit = std::memchr(data + position, '<', size - (kTerminatorLength - 1) - position);
            if (hit == nullptr) {
                break;
            }
            position = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
            if (data[position + 1] == kTerminator[1] && data[position + 2] == kTerminator[2]) {
                found = true;
                break;
            }
            ++position;
        }
        if (!found) {
            // scanPosition_ stays at the end of the last terminator: an append searches on from there.
            scanDone_ = true;
            return;
        }
        scanPosition_ = position + kTerminatorLength;
        terminatorEnds_.push_back(static_cast<std::uint32_t>(scanPosition_));
    }
}

std::optional<std::string_view> WireMessage::FieldView(int n) const
{
    if (buffer_.empty()) {
        return std::nullopt;
    }
    const std::size_t index = n < 1 ? 1 : static_cast<std::size_t>(n);
    IndexTerminators(index);
    if (terminatorEnds_.size() < index) {
        return std::nullopt;
    }
    const std::size_t start = index == 1 ? kCodeLength : terminatorEnds_[index - 2];
    const std::size_t end = terminatorEnds_[index - 1] - kTerminatorLength;
    if (end <= start) {
        return std::nullopt;
    }
    return std::string_view(buffer_.data() + start, end - start);
}

std::optional<std::string> WireMessage::FieldText(int n) const
{
    std::optional<std::string_view> view = FieldView(n);
    if (!view) {
        return std::nullopt;
    }
    return std::string(*view);
}

std::int32_t WireMessage::FieldNumber(int n) const
{
    std::optional<std::string_view> view = FieldView(n);
    return view ? AtoiRule(*view) : kFieldAbsent;
}

std::int32_t WireMessage::FieldCount() const
{
    if (buffer_.empty()) {
        return 0;
    }
    IndexTerminators(static_cast<std::size_t>(-1));
    return static_cast<std::int32_t>(terminatorEnds_.size());
}

} // namespace tallyhawk
