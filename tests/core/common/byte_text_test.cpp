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

TEST(TerminalText, ShowsEveryControlCharacterAsAnEscape)
{
    EXPECT_EQ(TerminalText("plain caf\xC3\xA9"), "plain caf\xC3\xA9");
    EXPECT_EQ(TerminalText("\x1B]52;c;eA==\x07"), "\\x1B]52;c;eA==\\x07");
    EXPECT_EQ(TerminalText("a\tb\r\nc\x7F"), "a\\x09b\\x0D\\x0Ac\\x7F");
    EXPECT_EQ(TerminalText("one\ntwo\r", true), "one\ntwo\\x0D");
    // C1 controls: as UTF-8, and the undefined Windows-1252 bytes that map onto them.
    EXPECT_EQ(TerminalText("\xC2\x9B"
                           "31m\xC2\xA0"),
              "\\u009B31m\xC2\xA0");
    EXPECT_EQ(TerminalText("\x81\x9B\xE9"), "\\u0081\xE2\x80\xBA\xC3\xA9");
    EXPECT_EQ(TerminalText(std::string_view("a\0b", 3)), "a\\x00b");
}

TEST(CopyToField, NeverSplitsAUtf8CharacterButCutsOtherTextsByteExact)
{
    char field[6];
    // "abcd" and a two-byte e-acute need 6 bytes; 5 fit, so the whole character goes.
    CopyToField(field, sizeof field, std::string_view("abcd\xC3\xA9"));
    EXPECT_EQ(std::string(field, 6), std::string("abcd\0\0", 6));
    // A four-byte character that starts at the fourth byte: only two bytes are left for it.
    CopyToField(field, sizeof field, std::string_view("abc\xF0\x9F\x9B\x92"));
    EXPECT_EQ(std::string(field, 6), std::string("abc\0\0\0", 6));
    // A character that ends exactly at the limit stays.
    CopyToField(field, sizeof field, std::string_view("abc\xC3\xA9xyz"));
    EXPECT_EQ(std::string(field, 6), std::string("abc\xC3\xA9\0", 6));
    // Not UTF-8 (a Windows-1252 e-acute before a lead byte): cut byte-exact as before.
    CopyToField(field, sizeof field, std::string_view("abc\xE9\xC3\xA9"));
    EXPECT_EQ(std::string(field, 6), std::string("abc\xE9\xC3\0", 6));
}

TEST(FitText, CutsAtTheLastWholeCharacter)
{
    EXPECT_EQ(FitText("short", 10), "short");
    EXPECT_EQ(FitText("\xE2\x82\xAC\xE2\x82\xAC", 5), "\xE2\x82\xAC"); // two euro signs, 5 bytes fit
    EXPECT_EQ(FitText("\xE2\x82\xAC", 2), "");
    EXPECT_EQ(FitText("\xE2\x82\xAC", 0), "");
    EXPECT_EQ(FitText("\xFF\xFE\xFD", 2), "\xFF\xFE");
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

TEST(CharacterCount, CountsTheCharactersDisplayTextShows)
{
    EXPECT_EQ(CharacterCount(""), 0u);
    EXPECT_EQ(CharacterCount("abc"), 3u);
    EXPECT_EQ(CharacterCount("5 \xe2\x82\xac"), 3u); // UTF-8: the euro sign is one
    EXPECT_EQ(CharacterCount("\xf0\x9f\x98\x80x"), 2u);
    EXPECT_EQ(CharacterCount("5 \x80"), 3u); // Windows-1252: a byte each
    EXPECT_EQ(CharacterCount("ab\xe2\x82"), 4u); // a cut sequence is no UTF-8
}

} // namespace
} // namespace tallyhawk
