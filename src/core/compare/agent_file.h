#pragma once

#include "core/compare/agent_configuration.h"

#include <memory>
#include <optional>
#include <span>
#include <string>

namespace tallyhawk
{

// The agent configuration's format written out: categories, then agents, each element with its text
// exactly as it was read, so the text loads back to the same values. Absent elements are left out.
std::string AgentFileText(std::span<const AgentType> categories,
                          std::span<const std::shared_ptr<WebAgent>> agents);

// One agent block from its SiteId and element texts (in WebAgentTextFields() order, absent ones left
// out).
std::string AgentBlockText(std::int32_t siteId, std::span<const std::optional<std::string>> texts);

// Lays the agents and categories of `incoming` over the user's agents file at `path` and writes it
// whole. Nothing when it was written; else why not (one sentence, no full stop): a file there that does
// not load cleanly is never written over, so none of its agents is lost.
std::optional<std::string> SaveUserAgents(const std::string& path, const AgentConfiguration& incoming);

// The categories of `config` that `agent` serves, in file order: what an exported agent needs beside it.
std::vector<AgentType> CategoriesServedBy(const AgentConfiguration& config, const WebAgent& agent);

} // namespace tallyhawk
