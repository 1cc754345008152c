#pragma once

#include "core/compare/web_spider.h"
#include "support/compare_site.h"
#include "support/mock_clock.h"
#include "support/preset_message_boxes.h"
#include "support/temp_dir.h"
#include "support/test_http_server.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tallyhawk::test
{

// A data folder with "webspider.xml" and "WebSearch", a spider on it, agents on a local HTTP server,
// and the message boxes answered from a preset.
class CompareFixture : public ::testing::Test
{
protected:
    CompareFixture() { std::filesystem::create_directory(dir.path() / "WebSearch"); }

    // An agent whose search address is "/NAME?q=TEXT" on the test server.
    std::string Agent(int siteId, const std::string& siteType, const std::string& name) const
    {
        return AgentXml(siteId, siteType, name, server.Url("/" + name + "?q="), server.Url("/"));
    }

    void WriteConfiguration(const std::vector<std::string>& categories,
                            const std::vector<std::string>& agents)
    {
        WriteFileBytes(dir.File("webspider.xml"), ConfigurationXml(categories, agents));
    }

    // Three agents for category 1: "fast" finds two offers, "slow" never answers until stopped,
    // "broken" gets a 404 and fails.
    void ThreeAgents()
    {
        server.Respond(
            "/fast?q=red",
            HttpResponse::Make(200, ResultPage({{"red kettle", "k", "25.00"}, {"red mug", "m", "4.50"}})));
        server.Respond("/slow?q=red", HttpResponse::Stall());
        server.Respond("/broken?q=red", HttpResponse::Make(404, "gone"));
        WriteConfiguration({CategoryXml(1, "Kitchen"), CategoryXml(2, "Garden")},
                           {Agent(1, "1", "fast"), Agent(2, "1", "slow"), Agent(3, "1", "broken")});
        ASSERT_EQ(spider.LoadConfiguration(), 0);
    }

    TempDir dir;
    TestHttpServer server;
    MockClock clock{1700000000};
    PresetMessageBoxes boxes;
    WebSpider spider{dir.path().string()};
};

} // namespace tallyhawk::test
