#include "core/common/byte_text.h"
#include "core/common/display_text.h"

#include <gtest/gtest.h>

namespace tallyhawk
{
namespace
{

TEST(AtoiRule, ReadsLikeAtoi)
{
    EXPECT_EQ(AtoiRule("1005"), 1005);
    EXPECT_EQ(AtoiRule("  -42xyz"), -42);
    EXPECT_EQ(AtoiRule("+7"), 7);
    EXPECT_EQ(AtoiRule("abc"), 0);
    EXPECT_EQ(AtoiRule(""), 0);
    EXPECT_EQ(AtoiRule("- 5"), 0);
    EXPECT_EQ(AtoiRule("\t\n 12"), 12);
}

TEST(AtoiRule, SaturatesInsteadOfOverflowing)
{
    EXPECT_EQ(AtoiRule("99999999999999999999"), 2147483647);
    EXPECT_EQ(AtoiRule("-99999999999999999999"), -2147483647 - 1);
    EXPECT_EQ(AtoiRule("2147483647"), 2147483647);
}

TEST(CopyToField, TruncatesAndZeroFills)
{
    char field[6];
    std::memset(field, 'x', sizeof field);
    CopyToField(field, sizeof field, std::string_view("abcdefgh"));
    EXPECT_EQ(std::string(field, 6), std::string("abcde\0", 6));
    CopyToField(field, sizeof field, std::nullopt);
    EXPECT_EQ(std::string(field, 6), std::string(6, '\0'));
    CopyToField(field, sizeof field, std::string_view("a\0bc", 4));
    EXPECT_EQ(std::string(field, 6), std::string("a\0\0\0\0\0", 6));
}

TEST(FieldString, StopsAtZeroOrFieldEnd)
{
    const char full[3] = {'a', 'b', 'c'};
    EXPECT_EQ(FieldString(full, 3), "abc");
    const char shortText[4] = {'a', '\0', 'c', 'd'};
    EXPECT_EQ(FieldString(shortText, 4), "a");
}

TEST(LittleEndian, MarkerBytes)
{
    unsigned char bytes[4];
    StoreLe32(bytes, 80001);
    EXPECT_EQ(bytes[0], 0x81);
    EXPECT_EQ(bytes[1], 0x38);
    EXPECT_EQ(bytes[2], 0x01);
    EXPECT_EQ(bytes[3], 0x00);
    EXPECT_EQ(LoadLe32(bytes), 80001u);
}

TEST(DisplayText, KeepsUtf8AndConvertsWindows1252)
{
    EXPECT_EQ(DisplayText("plain"), "plain");
    EXPECT_EQ(DisplayText("caf\xc3\xa9"), "caf\xc3\xa9");
    // 0x80 is the euro sign, 0xE9 an e with acute accent in Windows-1252.
    EXPECT_EQ(DisplayText("\x80 5 caf\xe9"), "\xe2\x82\xac 5 caf\xc3\xa9");
    // A truncated sequence at the end is not UTF-8.
    EXPECT_FALSE(IsValidUtf8("ab\xc3"));
    EXPECT_FALSE(IsValidUtf8("\xc0\x80"));
    EXPECT_FALSE(IsValidUtf8("\xed\xa0\x80"));
    EXPECT_TRUE(IsValidUtf8("\xf0\x9f\x98\x80"));
}

} // namespace
} // namespace tallyhawk
