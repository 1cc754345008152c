#include "core/compare/tag_block_reader.h"
#include "core/compare/tag_scanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

namespace tallyhawk
{
namespace
{

using Tag = std::tuple<std::size_t, std::uint16_t, bool>; // position, name, closing

// Every occurrence of "<name>" and "</name>" as plain substring search finds them before the first
// zero byte, in text order.
std::vector<Tag> ReferenceTags(const std::vector<std::string_view>& names, std::string_view text)
{
    text = text.substr(0, text.find('\0'));
    std::vector<Tag> tags;
    for (std::size_t n = 0; n < names.size(); ++n) {
        for (bool closing : {false, true}) {
            std::string tag = std::string(closing ? "</" : "<") + std::string(names[n]) + ">";
            for (std::size_t at = text.find(tag); at != std::string_view::npos; at = text.find(tag, at + 1)) {
                tags.emplace_back(at, static_cast<std::uint16_t>(n), closing);
            }
        }
    }
    std::sort(tags.begin(), tags.end());
    return tags;
}

std::vector<Tag> ScannedTags(const TagScanner& scanner, std::string_view text)
{
    std::vector<Tag> tags;
    std::size_t last = 0;
    bool first = true;
    scanner.Scan(text, [&](std::size_t position, std::uint16_t name, bool closing) {
        // Reports come in text order, unknown "<" included.
        EXPECT_TRUE(first || position > last);
        first = false;
        last = position;
        if (name != TagScanner::kUnknown) {
            tags.emplace_back(position, name, closing);
        }
    });
    return tags;
}

class TagScannerTest : public ::testing::TestWithParam<TagScanner::Vectors>
{
protected:
    std::vector<std::string_view> names
        = {"WebAgent", "SiteId", "a", "Zz", "EndPromo", "x-y", "FormatString", "fifteen-letters"};
};

TEST_P(TagScannerTest, FindsWhatSubstringSearchFinds)
{
    TagScanner scanner(names, GetParam());
    const std::vector<std::string> pieces = {"<WebAgent>",
                                             "</WebAgent>",
                                             "<SiteId>",
                                             "</SiteId>",
                                             "<a>",
                                             "</a>",
                                             "<Zz>",
                                             "</Zz>",
                                             "<EndPromo>",
                                             "<x-y>",
                                             "</x-y>",
                                             "<FormatString>",
                                             "<fifteen-letters>",
                                             "</fifteen-letters>",
                                             "<fifteen-letters!>",
                                             "<",
                                             "</",
                                             ">",
                                             "/",
                                             "<<",
                                             "<td>",
                                             "<Site",
                                             "Id>",
                                             "a",
                                             "Z",
                                             std::string(1, '\0'),
                                             "\xc3\xa9",
                                             "\xff",
                                             "  ",
                                             "\n",
                                             std::string(40, 'q'),
                                             "<SiteIdentifierMuchTooLong>"};
    std::uint32_t seed = 99;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        std::uint32_t count = next() % (round % 10 == 0 ? 400 : 40);
        for (std::uint32_t i = 0; i < count; ++i) {
            text += pieces[next() % pieces.size()];
        }
        ASSERT_EQ(ScannedTags(scanner, text), ReferenceTags(names, text)) << "text: " << text;
    }
}

TEST_P(TagScannerTest, TagsAtEveryDistanceFromTheEnd)
{
    // The vector path stops short of the end; the rest is read byte by byte. Every split must agree.
    TagScanner scanner(names, GetParam());
    for (std::size_t padding = 0; padding < 200; ++padding) {
        std::string text = std::string(padding, '.') + "<SiteId>1</SiteId><a></a><Zz>";
        for (std::size_t cut = 0; cut <= text.size(); ++cut) {
            std::string_view part(text.data(), cut);
            ASSERT_EQ(ScannedTags(scanner, part), ReferenceTags(names, part)) << padding << " " << cut;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(BothWidths,
                         TagScannerTest,
                         ::testing::Values(TagScanner::Vectors::Widest, TagScanner::Vectors::Narrow));

TEST(TagBlockReader, ReadsValuesOfTheBlockJustClosed)
{
    TagScanner scanner({"B", "v"});
    std::string text = "<v>outside</v><B><v>one</v><v>two</v></B><B></v><v>x</B><B><v></v></B>";
    TagBlockReader reader(scanner, text, 0);
    std::vector<std::optional<std::string_view>> values;
    scanner.Scan(text, [&](std::size_t position, std::uint16_t name, bool closing) {
        if (reader.Feed(position, name, closing)) {
            values.push_back(reader.Value(1));
        }
    });
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[0], "one");
    // The closing tag before the opening one: absent, not the earlier block's value.
    EXPECT_EQ(values[1], std::nullopt);
    EXPECT_EQ(values[2], "");
}

} // namespace
} // namespace tallyhawk
