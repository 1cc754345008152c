#include "core/compare/agent_configuration.h"

#include "core/compare/element_text.h"
#include "core/compare/text_file.h"

namespace tallyhawk
{

namespace
{

// Calls `readBlock` for every block that runs from an opening tag through the end of the first
// closing tag after it, in file order; returns the status of the last block (0 when there is none).
template <typename ReadBlock>
std::int32_t
ScanBlocks(std::string_view text, std::string_view openTag, std::string_view closeTag, ReadBlock readBlock)
{
    std::int32_t status = 0;
    std::size_t cursor = 0;
    while (true) {
        std::size_t open = text.find(openTag, cursor);
        if (open == std::string_view::npos) {
            break;
        }
        std::size_t close = text.find(closeTag, open);
        if (close == std::string_view::npos) {
            break;
        }
        cursor = close + closeTag.size();
        status = readBlock(text.substr(open, cursor - open));
    }
    return status;
}

std::string OpenTag(std::string_view element)
{
    std::string tag = "<";
    tag.append(element).append(">");
    return tag;
}

std::string CloseTag(std::string_view element)
{
    std::string tag = "</";
    tag.append(element).append(">");
    return tag;
}

} // namespace

std::int32_t AgentConfiguration::Load(const std::string& path)
{
    categories_.clear();
    agents_.clear();
    std::string bytes;
    std::int32_t status = ReadTextFile(path, bytes);
    if (status != 0) {
        return status;
    }
    return LoadText(bytes);
}

std::int32_t AgentConfiguration::LoadText(std::string_view text)
{
    categories_.clear();
    agents_.clear();
    text = TextBeforeZero(text);
    std::int32_t status = ScanCategories(text);
    if (status != kOk) {
        return status;
    }
    return ScanAgents(text);
}

std::int32_t AgentConfiguration::ScanCategories(std::string_view text)
{
    return ScanBlocks(text, "<AgentType>", "</AgentType>", [this](std::string_view block) {
        std::int32_t typeId = ElementNumber(block, "<TypeId>", "</TypeId>");
        std::optional<std::string> typeName = ElementText(block, "<TypeName>", "</TypeName>");
        if (typeId <= 0 || !typeName) {
            return kBadFile;
        }
        categories_.push_back(AgentType{typeId, std::move(*typeName)});
        return kOk;
    });
}

std::int32_t AgentConfiguration::ScanAgents(std::string_view text)
{
    // The tags are made once per load rather than once per block.
    struct Tags
    {
        std::string open;
        std::string close;
    };
    std::vector<Tags> tags;
    for (const WebAgentTextField& field : WebAgentTextFields()) {
        tags.push_back({OpenTag(field.element), CloseTag(field.element)});
    }
    std::span<const WebAgentTextField> fields = WebAgentTextFields();
    return ScanBlocks(text, "<WebAgent>", "</WebAgent>", [&](std::string_view block) {
        auto agent = std::make_shared<WebAgent>();
        agent->siteId = ElementNumber(block, "<SiteId>", "</SiteId>");
        bool valid = agent->siteId > 0;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            std::optional<std::string>& value = (*agent).*(fields[i].member);
            value = ElementText(block, tags[i].open, tags[i].close);
            if (fields[i].required && !value) {
                valid = false;
            }
        }
        if (!valid) {
            return kBadFile;
        }
        agents_.push_back(std::move(agent));
        return kOk;
    });
}

std::shared_ptr<WebAgent> AgentConfiguration::FindAgent(std::int32_t siteId) const
{
    for (const std::shared_ptr<WebAgent>& agent : agents_) {
        if (agent->siteId == siteId) {
            return agent;
        }
    }
    return nullptr;
}

} // namespace tallyhawk
