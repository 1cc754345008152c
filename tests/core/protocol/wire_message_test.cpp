#include "core/protocol/tcp_link.h"
#include "core/protocol/wire_message.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <random>

namespace tallyhawk
{
namespace
{

WireMessage FromPayload(std::string_view bytes)
{
    WireMessage message;
    message.AssignPayload(std::vector<char>(bytes.begin(), bytes.end()));
    return message;
}

std::string PayloadOf(const WireMessage& message)
{
    return std::string(message.payload().begin(), message.payload().end());
}

// Field n found the plain way: n - 1 terminators skipped from offset 4, then the text up to the next.
std::optional<std::string> ReferenceField(const std::string& payload, int n)
{
    if (payload.empty()) {
        return std::nullopt;
    }
    std::size_t position = 4;
    for (int i = 1; i < std::max(n, 1); ++i) {
        std::size_t at = payload.find("<~>", position);
        if (at == std::string::npos) {
            return std::nullopt;
        }
        position = at + 3;
    }
    std::size_t at = payload.find("<~>", position);
    if (at == std::string::npos || at == position) {
        return std::nullopt;
    }
    return payload.substr(position, at - position);
}

TEST(WireMessage, VersionRequestIsElevenBytesOnTheWire)
{
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    TcpLink link;
    link.AdoptConnectedSocket(ends[0]);
    WireMessage request;
    request.Reset(1005);
    EXPECT_EQ(request.SendOn(link), 4);
    link.Close();
    char wire[32];
    ssize_t got = ::recv(ends[1], wire, sizeof wire, MSG_WAITALL);
    ::close(ends[1]);
    ASSERT_EQ(got, 11);
    EXPECT_EQ(std::string(wire, 11),
              std::string("<!>\x00\x00\x00\x04"
                          "1005",
                          11));
}

TEST(WireMessage, BuildsPayloadsByteForByte)
{
    WireMessage message;
    message.Reset(1002);
    EXPECT_EQ(message.AppendNumber(0), 0);
    EXPECT_EQ(PayloadOf(message), "10020<~>");
    EXPECT_EQ(message.length(), 8);
    EXPECT_EQ(message.code(), 1002);

    message.Reset(1006);
    message.AppendNumber(-45);
    message.AppendNumber(99999999);
    message.AppendText(std::nullopt);
    message.AppendText("a b");
    message.AppendNumber(INT64_MIN);
    EXPECT_EQ(PayloadOf(message), "1006-45<~>99999999<~><~>a b<~>-9223372036854775808<~>");
    // Reset replaces what was there.
    message.Reset(1005);
    EXPECT_EQ(PayloadOf(message), "1005");
    // Codes are printed right-aligned in four places.
    message.Reset(7);
    EXPECT_EQ(PayloadOf(message), "   7");
    EXPECT_EQ(message.code(), 7);
}

TEST(WireMessage, EmptyMessageRefusesAppendAndSend)
{
    WireMessage message;
    message.Reset(0);
    EXPECT_EQ(message.AppendText("x"), -17);
    EXPECT_EQ(message.AppendNumber(3), -17);
    EXPECT_TRUE(message.empty());
    EXPECT_EQ(message.length(), 0);
    EXPECT_EQ(message.code(), 0);
    TcpLink link;
    EXPECT_EQ(message.SendOn(link), -17);
    EXPECT_FALSE(message.FieldText(1));
    EXPECT_EQ(message.FieldNumber(1), -16);
    EXPECT_EQ(message.FieldCount(), 0);
}

TEST(WireMessage, ReadsVersionReply)
{
    WireMessage reply = FromPayload("90011005<~>32<~>");
    EXPECT_EQ(reply.code(), 9001);
    EXPECT_EQ(reply.length(), 16);
    EXPECT_EQ(reply.FieldNumber(1), 1005);
    EXPECT_EQ(reply.FieldText(2), "32");
    EXPECT_FALSE(reply.FieldText(3));
    EXPECT_EQ(reply.FieldNumber(3), -16);
    EXPECT_EQ(reply.FieldCount(), 2);
    // Zero and negative field numbers read as field 1.
    EXPECT_EQ(reply.FieldText(0), "1005");
    EXPECT_EQ(reply.FieldText(-7), "1005");
    EXPECT_EQ(reply.FieldText(INT32_MIN), "1005");
    EXPECT_FALSE(reply.FieldText(INT32_MAX));
}

TEST(WireMessage, EmptyAndUnterminatedFieldsAreAbsent)
{
    WireMessage twoEmpty = FromPayload("9001<~><~>");
    EXPECT_FALSE(twoEmpty.FieldText(1));
    EXPECT_FALSE(twoEmpty.FieldView(2));
    EXPECT_EQ(twoEmpty.FieldNumber(2), -16);
    EXPECT_EQ(twoEmpty.FieldCount(), 2);

    WireMessage noTerminator = FromPayload("9001some text without an end");
    EXPECT_FALSE(noTerminator.FieldText(1));
    EXPECT_EQ(noTerminator.FieldCount(), 0);

    // Partial terminators inside a field and overlapping candidates are found the plain way.
    WireMessage tricky = FromPayload("9001a<~b<<~>~>c<~>>");
    EXPECT_EQ(tricky.FieldText(1), "a<~b<");
    EXPECT_EQ(tricky.FieldText(2), "~>c");
    EXPECT_FALSE(tricky.FieldText(3));

    // A payload that ends in the middle of a terminator has no last field.
    WireMessage cut = FromPayload("9001x<~");
    EXPECT_FALSE(cut.FieldText(1));

    // Field text is bytes: a zero byte does not end it.
    WireMessage zero = FromPayload(std::string_view("9001a\0b<~>", 10));
    EXPECT_EQ(zero.FieldText(1), std::string("a\0b", 3));
}

TEST(WireMessage, CodeFollowsTheFourCharacterRule)
{
    EXPECT_EQ(FromPayload("  12<~>").code(), 12);
    EXPECT_EQ(FromPayload("+123").code(), 123);
    EXPECT_EQ(FromPayload("7x99").code(), 7);
    EXPECT_EQ(FromPayload("abcd").code(), 0);
    // Only the first four characters are the code; field 1 starts right after them.
    WireMessage wide = FromPayload("123456<~>");
    EXPECT_EQ(wide.code(), 1234);
    EXPECT_EQ(wide.FieldText(1), "56");

    // A payload shorter than a code keeps its bytes, code 0, no fields.
    WireMessage shortOne;
    EXPECT_EQ(shortOne.AssignPayload({'9', '0'}), 2);
    EXPECT_EQ(shortOne.code(), 0);
    EXPECT_FALSE(shortOne.FieldText(1));
    EXPECT_EQ(shortOne.FieldCount(), 0);

    // A negative code is refused and leaves the message empty.
    WireMessage negative;
    negative.Reset(1005);
    EXPECT_EQ(negative.AssignPayload({' ', '-', '1', '2', 'a', '<', '~', '>'}), -16);
    EXPECT_TRUE(negative.empty());
    EXPECT_EQ(negative.code(), 0);
}

TEST(WireMessage, FailedReceiveLeavesMessageEmpty)
{
    WireMessage reply = FromPayload("90011005<~>32<~>");
    ASSERT_EQ(reply.FieldText(2), "32");
    TcpLink unconnected;
    EXPECT_EQ(reply.ReceiveFrom(unconnected), -2);
    EXPECT_TRUE(reply.empty());
    EXPECT_EQ(reply.code(), 0);
    EXPECT_FALSE(reply.FieldText(1));
}

TEST(WireMessage, ReceivesFrameThroughLink)
{
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    const std::string frame("<!>\x00\x00\x00\x0b"
                            "90011005<~>",
                            18);
    ASSERT_EQ(::send(ends[1], frame.data(), frame.size(), 0), static_cast<ssize_t>(frame.size()));
    TcpLink link;
    link.AdoptConnectedSocket(ends[0]);
    WireMessage reply;
    EXPECT_EQ(reply.ReceiveFrom(link), 11);
    EXPECT_EQ(reply.code(), 9001);
    EXPECT_EQ(reply.FieldNumber(1), 1005);
    ::close(ends[1]);
}

// Any order of reads, and reads between appends, give what the plain search gives.
TEST(WireMessage, FieldsMatchPlainSearchInAnyOrder)
{
    std::mt19937 random(20240611);
    const char alphabet[] = {'<', '~', '>', 'a', '1'};
    for (int round = 0; round < 400; ++round) {
        std::string payload = "9001";
        const std::size_t size = random() % 60;
        for (std::size_t i = 0; i < size; ++i) {
            payload.push_back(alphabet[random() % sizeof alphabet]);
        }
        WireMessage message = FromPayload(payload);
        for (int read = 0; read < 30; ++read) {
            int n = static_cast<int>(random() % 25) - 2;
            ASSERT_EQ(message.FieldText(n), ReferenceField(payload, n)) << payload << " field " << n;
        }
    }

    for (int round = 0; round < 200; ++round) {
        WireMessage message;
        message.Reset(9001);
        for (int step = 0; step < 12; ++step) {
            std::string piece;
            const std::size_t size = random() % 5;
            for (std::size_t i = 0; i < size; ++i) {
                piece.push_back(alphabet[random() % sizeof alphabet]);
            }
            message.AppendText(piece);
            const std::string payload = PayloadOf(message);
            int n = static_cast<int>(random() % 20) + 1;
            ASSERT_EQ(message.FieldText(n), ReferenceField(payload, n)) << payload << " field " << n;
            ASSERT_EQ(message.FieldText(1), ReferenceField(payload, 1)) << payload;
        }
    }
}

} // namespace
} // namespace tallyhawk
