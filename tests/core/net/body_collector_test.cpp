#include "core/net/body_collector.h"

#include <gtest/gtest.h>

#include <random>

namespace tallyhawk
{
namespace
{

using Mode = BodyCollector::Mode;

std::string Collect(Mode mode, std::string_view body, std::size_t limit, std::size_t split = 0)
{
    BodyCollector collector(mode, limit);
    if (split == 0) {
        collector.Feed(body);
    } else {
        for (std::size_t i = 0; i < body.size() && collector.Feed(body.substr(i, split)); i += split) {
        }
    }
    collector.Finish();
    return collector.text();
}

TEST(BodyCollector, GivesTheSameTextHoweverTheBodyArrives)
{
    std::mt19937 random(7);
    std::string body;
    for (int i = 0; i < 12000; ++i) {
        int kind = static_cast<int>(random() % 40);
        body.push_back(kind == 0 ? '\0' : kind == 1 ? '\r' : kind < 5 ? '\n' : static_cast<char>('a' + kind));
    }
    for (Mode mode : {Mode::TextLines, Mode::RawPieces}) {
        for (std::size_t limit : {std::size_t{5000}, std::size_t{320000}}) {
            std::string whole = Collect(mode, body, limit);
            EXPECT_LT(whole.size(), limit);
            for (std::size_t split : {1, 7, 1023, 1024, 1025, 4096}) {
                EXPECT_EQ(Collect(mode, body, limit, split), whole) << split;
            }
        }
    }
}

TEST(BodyCollector, TextLinesDropCarriageReturnsAndLoseTextAfterAZeroByte)
{
    EXPECT_EQ(Collect(Mode::TextLines, "one\r\ntwo\r\n\r\nthree", 320000), "one\ntwo\n\nthree");
    EXPECT_EQ(Collect(Mode::TextLines, "a\rb\n", 320000), "ab\n");
    // The zero byte ends the piece's text; the line feed after it belongs to the lost part.
    EXPECT_EQ(Collect(Mode::TextLines, std::string_view("ab\0cd\nef\n", 9), 320000), "abef\n");
    EXPECT_EQ(Collect(Mode::TextLines, std::string_view("\0x\ny\n", 5), 320000), "y\n");
    // A long line is cut into pieces of 1023 bytes: a zero byte loses only the rest of its piece.
    std::string line = std::string(1023, 'a') + std::string(1, '\0') + std::string(1022, 'b') + "c\n";
    EXPECT_EQ(Collect(Mode::TextLines, line, 320000), std::string(1023, 'a') + "c\n");
}

TEST(BodyCollector, RawPiecesKeepCarriageReturnsAndLoseTheRestOfAPieceAfterAZeroByte)
{
    EXPECT_EQ(Collect(Mode::RawPieces, "one\r\ntwo\r\n", 320000), "one\r\ntwo\r\n");
    std::string body = "abc" + std::string(1, '\0') + std::string(1020, 'x') + "tail\n";
    ASSERT_EQ(body.size(), 1029U);
    EXPECT_EQ(Collect(Mode::RawPieces, body, 320000), "abctail\n");
}

TEST(BodyCollector, RawPiecesDropThePieceThatReachesTheLimit)
{
    // 312 whole pieces are 319488 bytes; the 313th brings the total to the limit or past it.
    EXPECT_EQ(Collect(Mode::RawPieces, std::string(319999, 'a'), 320000).size(), 319999U);
    EXPECT_EQ(Collect(Mode::RawPieces, std::string(320000, 'a'), 320000).size(), 319488U);
    EXPECT_EQ(Collect(Mode::RawPieces, std::string(320001, 'a'), 320000).size(), 319488U);
    EXPECT_EQ(Collect(Mode::RawPieces, std::string(2000000, 'a'), 320000).size(), 319488U);
    // Only the text counts: zero bytes make room for more.
    std::string body = std::string(1, '\0') + std::string(1023, 'z') + std::string(319999, 'a');
    EXPECT_EQ(Collect(Mode::RawPieces, body, 320000).size(), 319999U);
}

TEST(BodyCollector, TextLinesDropThePieceThatReachesTheLimit)
{
    // Without line feeds the pieces are 1023 bytes: 312 of them are 319176.
    EXPECT_EQ(Collect(Mode::TextLines, std::string(319999, 'a'), 320000).size(), 319999U);
    EXPECT_EQ(Collect(Mode::TextLines, std::string(320000, 'a'), 320000).size(), 319176U);
    // Lines of 100 bytes: the 3200th line reaches 320000 exactly and is dropped.
    std::string lines;
    for (int i = 0; i < 3300; ++i) {
        lines += std::string(99, 'x') + "\n";
    }
    EXPECT_EQ(Collect(Mode::TextLines, lines, 320000).size(), 319900U);
    EXPECT_EQ(Collect(Mode::TextLines, lines.substr(0, 319999), 320000).size(), 319999U);
}

TEST(BodyCollector, CarriageReturnsCountTowardsATextLinePiece)
{
    // The first piece takes 1023 body bytes, the dropped carriage return among them, so it holds
    // 1022 characters; the second piece (79 bytes) reaches the limit and is dropped.
    std::string body = std::string(500, 'a') + "\r" + std::string(600, 'a') + "\n";
    EXPECT_EQ(Collect(Mode::TextLines, body, 1100), std::string(1022, 'a'));
}

TEST(BodyCollector, RefusesMoreOnceFull)
{
    BodyCollector collector(Mode::RawPieces, 10);
    EXPECT_TRUE(collector.Feed("12345"));
    EXPECT_FALSE(collector.Feed(std::string(2000, 'x')));
    EXPECT_TRUE(collector.full());
    EXPECT_FALSE(collector.Feed("more"));
    collector.Finish();
    EXPECT_EQ(collector.text(), "");
}

} // namespace
} // namespace tallyhawk
