#include "core/compare/element_text.h"

#include <gtest/gtest.h>

namespace tallyhawk
{
namespace
{

TEST(ElementText, TakesRawTextBetweenFirstTags)
{
    EXPECT_EQ(ElementText("<a> x &amp; <td> </a>", "<a>", "</a>"), " x &amp; <td> ");
    // Written twice: the first occurrence of each tag wins.
    EXPECT_EQ(ElementText("<a>one</a><a>two</a>", "<a>", "</a>"), "one");
    EXPECT_EQ(ElementText("<a></a>", "<a>", "</a>"), "");
    EXPECT_EQ(ElementText("<A>x</A>", "<a>", "</a>"), std::nullopt);
}

TEST(ElementText, AbsentWhenATagIsMissingOrOutOfOrder)
{
    EXPECT_EQ(ElementText("<a>x", "<a>", "</a>"), std::nullopt);
    EXPECT_EQ(ElementText("x</a>", "<a>", "</a>"), std::nullopt);
    // Both tags are searched from the start of the block, so an early closing tag hides a later pair.
    EXPECT_EQ(ElementText("</a><a>x</a>", "<a>", "</a>"), std::nullopt);
    // A closing tag that overlaps the opening tag starts before its end.
    EXPECT_EQ(ElementText("<ab>", "<ab>", "b>"), std::nullopt);
    EXPECT_EQ(ElementText("<ab>b>", "<ab>", "b>"), std::nullopt);
    EXPECT_EQ(ElementText("<a>b>", "<a>", "b>"), "");
    EXPECT_EQ(ElementText("<a>xb>", "<a>", "b>"), "x");
}

TEST(ElementNumber, ReadsLikeAtoiAndZeroWhenAbsent)
{
    EXPECT_EQ(ElementNumber("<n> -12abc</n>", "<n>", "</n>"), -12);
    EXPECT_EQ(ElementNumber("<n>abc</n>", "<n>", "</n>"), 0);
    EXPECT_EQ(ElementNumber("<n>7", "<n>", "</n>"), 0);
    EXPECT_EQ(ElementNumber("<n>99999999999</n>", "<n>", "</n>"), 2147483647);
}

} // namespace
} // namespace tallyhawk
