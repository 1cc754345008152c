#include "cli/json_list_writer.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tallyhawk::cli
{
namespace
{

std::string Streamed(const nlohmann::ordered_json& elements)
{
    std::ostringstream out;
    {
        JsonListWriter writer(out, elements.size(), "items");
        for (const auto& element : elements) {
            writer.Add(element);
        }
    }
    return out.str();
}

std::string Whole(const nlohmann::ordered_json& elements)
{
    return nlohmann::ordered_json{{"count", elements.size()}, {"items", elements}}.dump(2) + "\n";
}

TEST(JsonListWriter, WritesWhatTheWholeDocumentWouldBe)
{
    const nlohmann::ordered_json empty = nlohmann::ordered_json::array();
    EXPECT_EQ(Streamed(empty), Whole(empty));

    nlohmann::ordered_json elements = nlohmann::ordered_json::array();
    elements.push_back({{"id", 1}, {"title", "line\nbreak \x1b and \"quotes\""}, {"none", nullptr}});
    EXPECT_EQ(Streamed(elements), Whole(elements));
    elements.push_back(
        {{"id", 2}, {"nested", {{"list", {1, 2, 3}}, {"empty", nlohmann::ordered_json::array()}}}});
    elements.push_back(nlohmann::ordered_json::object());
    const std::string streamed = Streamed(elements);
    EXPECT_EQ(streamed, Whole(elements));
    EXPECT_EQ(nlohmann::ordered_json::parse(streamed)["items"][0]["title"],
              "line\nbreak \x1b and \"quotes\"");
}

} // namespace
} // namespace tallyhawk::cli
