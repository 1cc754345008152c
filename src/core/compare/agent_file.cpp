#include "core/compare/agent_file.h"

namespace tallyhawk
{

std::string AgentFileText(std::span<const AgentType> categories,
                          std::span<const std::shared_ptr<WebAgent>> agents)
{
    std::string text = "<?xml version=\"1.0\"?>\n<WebSpider>\n";
    for (const AgentType& category : categories) {
        text += "<AgentType><TypeId>" + std::to_string(category.typeId) + "</TypeId><TypeName>"
            + category.typeName + "</TypeName></AgentType>\n";
    }
    for (const std::shared_ptr<WebAgent>& agent : agents) {
        text += "<WebAgent>\n<SiteId>" + std::to_string(agent->siteId) + "</SiteId>\n";
        for (const WebAgentTextField& field : WebAgentTextFields()) {
            if (const std::optional<std::string_view>& value = (*agent).*(field.member)) {
                const std::string element(field.element);
                text += "<" + element + ">" + std::string(*value) + "</" + element + ">\n";
            }
        }
        text += "</WebAgent>\n";
    }
    return text + "</WebSpider>\n";
}

std::vector<AgentType> CategoriesServedBy(const AgentConfiguration& config, const WebAgent& agent)
{
    std::vector<AgentType> served;
    for (const AgentType& category : config.categories()) {
        if (agent.ServesCategory(category.typeId)) {
            served.push_back(category);
        }
    }
    return served;
}

} // namespace tallyhawk
