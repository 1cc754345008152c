#include "core/compare/agent_draft.h"

#include "core/compare/agent_configuration.h"
#include "core/compare/agent_file.h"

namespace tallyhawk
{
namespace
{

bool IsMarker(std::string_view element)
{
    return element.starts_with("Start") || element.starts_with("End");
}

} // namespace

AgentDraft AgentDraft::FromAgent(const WebAgent& agent)
{
    AgentDraft draft;
    draft.siteId = agent.siteId;
    std::size_t i = 0;
    for (const WebAgentTextField& field : WebAgentTextFields()) {
        if (const std::optional<std::string_view>& value = agent.*(field.member)) {
            draft.texts[i] = std::string(*value);
        }
        ++i;
    }
    return draft;
}

std::optional<std::string>* AgentDraft::Text(std::string_view element)
{
    std::size_t i = 0;
    for (const WebAgentTextField& field : WebAgentTextFields()) {
        if (field.element == element) {
            return &texts[i];
        }
        ++i;
    }
    return nullptr;
}

std::string AgentDraft::ToText() const
{
    return AgentBlockText(siteId, texts);
}

AgentDraft::Built AgentDraft::Build() const
{
    if (siteId <= 0) {
        return {nullptr, "the SiteId must be a whole number above 0"};
    }
    const bool structured = texts[kWebAgentTextFieldCount - 1].has_value();
    std::size_t i = 0;
    for (const WebAgentTextField& field : WebAgentTextFields()) {
        const std::optional<std::string>& text = texts[i++];
        if (!text) {
            if (field.required && !(structured && IsMarker(field.element))) {
                return {nullptr, "the agent needs its " + std::string(field.element)};
            }
            continue;
        }
        // The file is read by looking for the tags themselves, so a text holding one would cut the
        // agent differently once saved.
        for (const WebAgentTextField& other : WebAgentTextFields()) {
            for (const std::string& tag :
                 {"<" + std::string(other.element) + ">", "</" + std::string(other.element) + ">"}) {
                if (text->find(tag) != std::string::npos) {
                    return {nullptr,
                            "the " + std::string(field.element) + " text holds the tag " + tag
                                + ", which the agent file cannot keep"};
                }
            }
        }
        for (std::string_view tag : {"<WebAgent>", "</WebAgent>", "<SiteId>", "</SiteId>"}) {
            if (text->find(tag) != std::string::npos) {
                return {nullptr,
                        "the " + std::string(field.element) + " text holds the tag " + std::string(tag)
                            + ", which the agent file cannot keep"};
            }
        }
    }
    AgentConfiguration configuration(AgentOrigin::User);
    configuration.LoadText(ToText());
    if (std::shared_ptr<WebAgent> agent = configuration.FindAgent(siteId)) {
        return {agent, {}};
    }
    if (std::optional<std::string> refusal = configuration.RefusalOf(siteId)) {
        return {nullptr, *refusal};
    }
    return {nullptr, "the agent cannot be read back"};
}

} // namespace tallyhawk
