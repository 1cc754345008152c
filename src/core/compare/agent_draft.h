#pragma once

#include "core/compare/web_agent.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tallyhawk
{

// An agent as someone edits it: its SiteId and every element's text, absent when left out. It becomes
// an agent through the same reader as the files, so a draft is refused for the reasons a block of the
// file would be, and what is saved loads back as it was tried.
struct AgentDraft
{
    std::int32_t siteId = 0;
    std::array<std::optional<std::string>, kWebAgentTextFieldCount> texts; // in WebAgentTextFields() order

    static AgentDraft FromAgent(const WebAgent& agent);

    // The text of the element named "SiteName", "StartItem", ...; none for an unknown name.
    std::optional<std::string>* Text(std::string_view element);

    // The draft as an agent block of the file.
    std::string ToText() const;

    // The agent, or why there is none (one sentence, no full stop).
    struct Built
    {
        std::shared_ptr<WebAgent> agent;
        std::string problem;
    };
    Built Build() const;
};

} // namespace tallyhawk
