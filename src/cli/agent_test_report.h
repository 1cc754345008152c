#pragma once

#include "cli/cli_context.h"
#include "core/compare/web_agent.h"

#include <string>

namespace tallyhawk::cli
{

// Runs an agent's scraping on a saved page and shows, for whoever writes the agent, where its markers
// landed: the header skip, each result block, what every marker pair cut out, the cleaned values and
// why an offer was dropped. With `json`, {"offers": [...]} in the list's order, or null without a list.
int ReportAgentTest(CliContext& ctx,
                    const WebAgent& agent,
                    const std::string& page,
                    const std::string& pageName,
                    const std::string& searchText,
                    bool json);

} // namespace tallyhawk::cli
