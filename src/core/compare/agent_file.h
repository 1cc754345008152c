#pragma once

#include "core/compare/agent_configuration.h"

#include <memory>
#include <span>
#include <string>

namespace tallyhawk
{

// The agent configuration's format written out: categories, then agents, each element with its text
// exactly as it was read, so the text loads back to the same values. Absent elements are left out.
std::string AgentFileText(std::span<const AgentType> categories,
                          std::span<const std::shared_ptr<WebAgent>> agents);

// The categories of `config` that `agent` serves, in file order: what an exported agent needs beside it.
std::vector<AgentType> CategoriesServedBy(const AgentConfiguration& config, const WebAgent& agent);

} // namespace tallyhawk
