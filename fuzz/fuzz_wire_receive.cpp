// Any bytes arriving on the deal server socket: the frame reader must refuse or accept them without
// a crash, a hang or an unbounded allocation, and the fields of an accepted payload must be exactly
// those a plain split at "<~>" gives, whatever order they are read in.
#include "core/common/byte_text.h"
#include "core/protocol/tcp_link.h"
#include "core/protocol/wire_message.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <thread>
#include <vector>

namespace
{

using tallyhawk::kFieldAbsent;
using tallyhawk::TcpLink;
using tallyhawk::WireMessage;

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

// The fields from offset 4 on, split at each "<~>"; text after the last terminator is no field.
std::vector<std::string_view> SplitFields(const std::vector<char>& payload)
{
    std::vector<std::string_view> fields;
    if (payload.size() <= 4) {
        return fields;
    }
    std::string_view rest(payload.data() + 4, payload.size() - 4);
    for (std::size_t at; (at = rest.find("<~>")) != std::string_view::npos;) {
        fields.push_back(rest.substr(0, at));
        rest.remove_prefix(at + 3);
    }
    return fields;
}

void CheckField(const WireMessage& message, const std::vector<std::string_view>& fields, int n)
{
    std::optional<std::string_view> view = message.FieldView(n);
    const std::size_t index = static_cast<std::size_t>(n < 1 ? 1 : n);
    const bool present = index <= fields.size() && !fields[index - 1].empty();
    Check(view.has_value() == present);
    if (present) {
        Check(*view == fields[index - 1]);
        Check(message.FieldNumber(n) == tallyhawk::AtoiRule(*view));
    } else {
        Check(message.FieldNumber(n) == kFieldAbsent);
        Check(!message.FieldText(n));
    }
}

void ExercisePayload(std::vector<char> payload)
{
    const std::vector<std::string_view> fields = SplitFields(payload);
    const int count = static_cast<int>(fields.size());
    WireMessage forward;
    int result = forward.AssignPayload(payload);
    if (result < 0) {
        Check(result == kFieldAbsent && forward.empty());
        return;
    }
    Check(result == static_cast<int>(payload.size()));
    // In order, as the merge step reads.
    for (int n = 0; n <= count + 1; ++n) {
        CheckField(forward, fields, n);
    }
    Check(forward.FieldCount() == count);
    // Backwards and strided on a fresh message, so the index is built out of order.
    WireMessage backward;
    backward.AssignPayload(std::move(payload));
    for (int n = count + 2; n >= 1; n -= 3) {
        CheckField(backward, fields, n);
    }
    for (int n = 1; n <= count + 1; ++n) {
        CheckField(backward, fields, n);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const char* bytes = reinterpret_cast<const char*>(data);

    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        return 0;
    }
    auto writeAll = [&] {
        std::size_t sent = 0;
        while (sent < size) {
            ssize_t written = ::send(ends[1], bytes + sent, size - sent, MSG_NOSIGNAL);
            if (written <= 0) {
                break;
            }
            sent += static_cast<std::size_t>(written);
        }
        ::shutdown(ends[1], SHUT_WR);
    };
    // Small inputs fit the socket buffer; larger ones are written while the link reads.
    std::thread writer;
    if (size <= 65536) {
        writeAll();
    } else {
        writer = std::thread(writeAll);
    }

    std::vector<char> payload;
    int result;
    {
        TcpLink link;
        link.AdoptConnectedSocket(ends[0]);
        link.timeoutOverride = std::chrono::milliseconds(50);
        link.headerPieceWait = std::chrono::milliseconds(50);
        result = link.ReceiveFrame(payload);
    }
    if (writer.joinable()) {
        writer.join();
    }
    ::close(ends[1]);

    if (result > 0) {
        // An accepted frame is exactly the announced bytes after a well-formed header.
        Check(size >= TcpLink::kHeaderLength + static_cast<std::size_t>(result));
        Check(std::memcmp(bytes, "<!>", 3) == 0);
        Check(payload.size() == static_cast<std::size_t>(result));
        Check(std::memcmp(payload.data(), bytes + TcpLink::kHeaderLength, payload.size()) == 0);
        ExercisePayload(std::move(payload));
    } else {
        Check(payload.empty());
        Check(result == -4 || result == -5 || result == -8);
    }
    // The same bytes taken as a payload straight away reach the field reader more often.
    ExercisePayload(std::vector<char>(bytes, bytes + size));
    return 0;
}
