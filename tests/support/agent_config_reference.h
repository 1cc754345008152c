#pragma once

// The agent configuration loader written the plain way: blocks cut with substring searches and every
// element read with ElementText from its block. The real loader finds tags in one pass; tests and the
// fuzz target compare the two on the same text.

#include "core/compare/agent_configuration.h"
#include "core/compare/element_text.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tallyhawk::test
{

struct ReferenceConfiguration
{
    std::int32_t status = 0;
    std::vector<AgentType> categories;
    // SiteId, then the text fields in WebAgentTextFields() order.
    std::vector<std::pair<std::int32_t, std::vector<std::optional<std::string>>>> agents;
};

template <typename ReadBlock>
std::int32_t
ReferenceScan(std::string_view text, std::string_view openTag, std::string_view closeTag, ReadBlock read)
{
    std::int32_t status = 0;
    std::size_t cursor = 0;
    while (true) {
        std::size_t open = text.find(openTag, cursor);
        if (open == std::string_view::npos) {
            return status;
        }
        std::size_t close = text.find(closeTag, open);
        if (close == std::string_view::npos) {
            return status;
        }
        cursor = close + closeTag.size();
        status = read(text.substr(open, cursor - open));
    }
}

inline ReferenceConfiguration ReferenceLoad(std::string_view text)
{
    ReferenceConfiguration result;
    text = text.substr(0, text.find('\0'));
    result.status = ReferenceScan(text, "<AgentType>", "</AgentType>", [&](std::string_view block) {
        std::int32_t id = ElementNumber(block, "<TypeId>", "</TypeId>");
        std::optional<std::string> name = ElementText(block, "<TypeName>", "</TypeName>");
        if (id <= 0 || !name) {
            return kBadMarker;
        }
        result.categories.push_back(AgentType{id, *name});
        return kOk;
    });
    if (result.status != 0) {
        return result;
    }
    result.status = ReferenceScan(text, "<WebAgent>", "</WebAgent>", [&](std::string_view block) {
        std::int32_t id = ElementNumber(block, "<SiteId>", "</SiteId>");
        bool valid = id > 0;
        std::vector<std::optional<std::string>> values;
        const std::optional<std::string> structured
            = ElementText(block, "<StructuredData>", "</StructuredData>");
        for (const WebAgentTextField& field : WebAgentTextFields()) {
            std::string element(field.element);
            const bool marker = element.starts_with("Start") || element.starts_with("End");
            values.push_back(ElementText(block, "<" + element + ">", "</" + element + ">"));
            valid = valid && (values.back() || !field.required || (structured && marker));
        }
        if (!valid) {
            return kBadMarker;
        }
        // Structured data of an unknown kind leaves the whole block out.
        if (structured && *structured != AgentConfiguration::kSchemaOrg) {
            return kOk;
        }
        // A whole block with a marker over the bound is left out, and the scan goes on.
        for (std::size_t i = 0; i < values.size(); ++i) {
            const std::string_view element = WebAgentTextFields()[i].element;
            const bool marker = element.starts_with("Start") || element.starts_with("End");
            if (marker && values[i] && values[i]->size() > AgentConfiguration::kMaxMarkerSize) {
                return kOk;
            }
        }
        result.agents.emplace_back(id, std::move(values));
        return kOk;
    });
    return result;
}

// True when the loaded configuration and its status are the reference's.
inline bool SameAsReference(const AgentConfiguration& config,
                            std::int32_t status,
                            const ReferenceConfiguration& reference)
{
    if (status != reference.status || config.CategoryCount() != reference.categories.size()
        || config.AgentCount() != reference.agents.size()) {
        return false;
    }
    for (std::size_t i = 0; i < reference.categories.size(); ++i) {
        if (config.categories()[i].typeId != reference.categories[i].typeId
            || config.categories()[i].typeName != reference.categories[i].typeName) {
            return false;
        }
    }
    for (std::size_t i = 0; i < reference.agents.size(); ++i) {
        const WebAgent& agent = *config.agents()[i];
        if (agent.siteId != reference.agents[i].first) {
            return false;
        }
        std::size_t field = 0;
        for (const WebAgentTextField& text : WebAgentTextFields()) {
            if (agent.*(text.member) != reference.agents[i].second[field++]) {
                return false;
            }
        }
    }
    return true;
}

} // namespace tallyhawk::test
