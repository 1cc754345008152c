#include "core/compare/agent_file.h"

#include "core/platform/atomic_file.h"

#include <filesystem>
#include <vector>

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
        std::vector<std::optional<std::string>> texts;
        for (const WebAgentTextField& field : WebAgentTextFields()) {
            const std::optional<std::string_view>& value = (*agent).*(field.member);
            texts.push_back(value ? std::optional<std::string>(*value) : std::nullopt);
        }
        text += AgentBlockText(agent->siteId, texts);
    }
    return text + "</WebSpider>\n";
}

std::string AgentBlockText(std::int32_t siteId, std::span<const std::optional<std::string>> texts)
{
    std::string text = "<WebAgent>\n<SiteId>" + std::to_string(siteId) + "</SiteId>\n";
    std::size_t i = 0;
    for (const WebAgentTextField& field : WebAgentTextFields()) {
        if (i < texts.size() && texts[i]) {
            const std::string element(field.element);
            text += "<" + element + ">" + *texts[i] + "</" + element + ">\n";
        }
        ++i;
    }
    return text + "</WebAgent>\n";
}

std::optional<std::string> SaveUserAgents(const std::string& path, const AgentConfiguration& incoming)
{
    AgentConfiguration user(AgentOrigin::User);
    std::error_code error;
    if (std::filesystem::exists(path, error)) {
        if (const std::int32_t status = user.Load(path); status != kOk) {
            return "the agents in " + path + " did not load cleanly (status " + std::to_string(status)
                + "); fix or move that file first, so that none of its agents is lost";
        }
    }
    user.Merge(incoming);
    if (!AtomicFile::Replace(path, AgentFileText(user.categories(), user.agents()))) {
        return "cannot write " + path;
    }
    return std::nullopt;
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
