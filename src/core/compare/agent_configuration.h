#pragma once

#include "core/common/status.h"
#include "core/compare/agent_type.h"
#include "core/compare/tag_block_reader.h"
#include "core/compare/web_agent.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tallyhawk
{

// The search categories and site agents of "webspider.xml". The file looks like XML but is read by
// plain, case-sensitive search for literal tags: categories and agents are collected by two
// independent scans over the whole text, each in file order.
class AgentConfiguration
{
public:
    // A marker longer than this refuses its agent: a search for it may take time in proportion to its
    // length at every position of a page.
    static constexpr std::size_t kMaxMarkerSize = 1000;
    // The one kind of structured data an agent can read.
    static constexpr std::string_view kSchemaOrg = "schema.org";
    // The user's own agents, in the data folder beside the site's file, in the same format. The site's
    // refresh replaces only the site's file, so these survive it.
    static constexpr const char* kUserFile = "useragents.xml";

    // Agents read by this configuration are marked with `origin`.
    explicit AgentConfiguration(AgentOrigin origin = AgentOrigin::Site)
        : origin_(origin)
    { }

    // An agent block that was read but not loaded, and why (one sentence).
    struct RefusedAgent
    {
        std::int32_t siteId = 0;
        std::string reason;
    };

    // Empties both lists and reads the file. 0; -41 it cannot be opened; -42 fewer bytes were read
    // than its size; -44 its size is unavailable, or the last category block is invalid (then no
    // agent is read), or the last agent block is invalid. Records read before a failing last block
    // stay. Agents held elsewhere (std::shared_ptr copies) keep their values, and the text they
    // point into, whatever happens to the configuration.
    std::int32_t Load(const std::string& path);
    // Load from text already in memory (a zero byte ends it, as in a file); the text is copied.
    std::int32_t LoadText(std::string_view text);

    // Lays the user's agents from `path` over those loaded: an agent whose SiteId is loaded already
    // takes its place, a new SiteId is added at the end, and categories likewise by TypeId. A missing
    // file is no failure (0); otherwise Load's status, with whatever the file gave merged.
    std::int32_t MergeUserFile(const std::string& path);
    // The same from text already in memory.
    std::int32_t MergeUserText(std::string_view text);
    // Lays the agents and categories of `user` over these, by the same rule.
    void Merge(const AgentConfiguration& user);

    std::size_t CategoryCount() const { return categories_.size(); }
    std::size_t AgentCount() const { return agents_.size(); }

    // Both in file order.
    const std::vector<AgentType>& categories() const { return categories_; }
    const std::vector<std::shared_ptr<WebAgent>>& agents() const { return agents_; }

    // The first agent with this SiteId, or null.
    std::shared_ptr<WebAgent> FindAgent(std::int32_t siteId) const;
    // Agents left out of agents() although their block was whole, in file order.
    const std::vector<RefusedAgent>& refused() const { return refused_; }
    // Why the agent with this SiteId was refused, or nothing.
    std::optional<std::string> RefusalOf(std::int32_t siteId) const;

private:
    // Loads from `size` bytes of `source`, which the agents keep.
    std::int32_t LoadShared(std::shared_ptr<const char[]> source, std::size_t size);
    std::int32_t ReadCategory(const TagBlockReader& block);
    std::int32_t ReadAgent(const TagBlockReader& block, const std::shared_ptr<const char[]>& source);

    AgentOrigin origin_;

    std::vector<AgentType> categories_;
    std::vector<std::shared_ptr<WebAgent>> agents_;
    std::vector<RefusedAgent> refused_;
};

} // namespace tallyhawk
