#include "core/compare/agent_configuration.h"

#include "core/common/byte_text.h"
#include "core/platform/text_file.h"

#include <memory>

namespace tallyhawk
{

namespace
{

// Index of each name given to the tag scanner.
enum : std::uint16_t
{
    kAgentTypeTag,
    kTypeIdTag,
    kTypeNameTag,
    kWebAgentTag,
    kSiteIdTag,
    kFirstFieldTag, // then one per WebAgentTextFields() entry
};

const TagScanner& ConfigurationTags()
{
    static const TagScanner tags = [] {
        std::vector<std::string_view> names = {"AgentType", "TypeId", "TypeName", "WebAgent", "SiteId"};
        for (const WebAgentTextField& field : WebAgentTextFields()) {
            names.push_back(field.element);
        }
        return TagScanner(std::move(names));
    }();
    return tags;
}

// The markers are the elements that cut the page: EndHeader and every Start/End pair.
bool IsMarker(std::string_view element)
{
    return element.starts_with("Start") || element.starts_with("End");
}

} // namespace

std::int32_t AgentConfiguration::Load(const std::string& path)
{
    TextFileBytes bytes;
    std::int32_t status = ReadTextFile(path, bytes);
    if (status != 0) {
        categories_.clear();
        agents_.clear();
        refused_.clear();
        return status;
    }
    return LoadShared(std::move(bytes.data), bytes.size);
}

std::int32_t AgentConfiguration::LoadText(std::string_view text)
{
    text = TextBeforeZero(text);
    std::unique_ptr<char[]> copy(new char[text.size()]);
    text.copy(copy.get(), text.size());
    return LoadShared(std::move(copy), text.size());
}

std::int32_t AgentConfiguration::LoadShared(std::shared_ptr<const char[]> source, std::size_t size)
{
    categories_.clear();
    agents_.clear();
    refused_.clear();
    std::string_view text(source.get(), size);
    // The category scan and the agent scan are independent walks over the same tags, so one pass
    // over the text feeds both; agents found while the category scan ends badly are dropped after.
    const TagScanner& tags = ConfigurationTags();
    TagBlockReader categoryBlocks(tags, text, kAgentTypeTag);
    TagBlockReader agentBlocks(tags, text, kWebAgentTag);
    std::int32_t categoryStatus = kOk;
    std::int32_t agentStatus = kOk;
    // Each reader gets only the tags it reads: tags of other names change neither its blocks nor
    // its elements.
    tags.Scan(text, [&](std::size_t position, std::uint16_t name, bool closing) {
        if (name <= kTypeNameTag) {
            if (categoryBlocks.Feed(position, name, closing)) {
                categoryStatus = ReadCategory(categoryBlocks);
            }
        } else if (agentBlocks.Feed(position, name, closing)) {
            agentStatus = ReadAgent(agentBlocks, source);
        }
    });
    if (categoryStatus != kOk) {
        agents_.clear();
        return categoryStatus;
    }
    return agentStatus;
}

std::int32_t AgentConfiguration::ReadCategory(const TagBlockReader& block)
{
    std::optional<std::string_view> typeId = block.Value(kTypeIdTag);
    std::optional<std::string_view> typeName = block.Value(kTypeNameTag);
    std::int32_t id = typeId ? AtoiRule(*typeId) : 0;
    if (id <= 0 || !typeName) {
        return kBadMarker;
    }
    categories_.push_back(AgentType{id, std::string(*typeName)});
    return kOk;
}

std::int32_t AgentConfiguration::ReadAgent(const TagBlockReader& block,
                                           const std::shared_ptr<const char[]>& source)
{
    std::span<const WebAgentTextField> fields = WebAgentTextFields();
    std::optional<std::string_view> siteId = block.Value(kSiteIdTag);
    std::int32_t id = siteId ? AtoiRule(*siteId) : 0;
    if (id <= 0) {
        return kBadMarker;
    }
    // Every member has its own initializer, so the object is not zeroed first.
    auto agent = std::make_shared_for_overwrite<WebAgent>();
    std::optional<std::size_t> overlong;
    for (std::size_t i = 0; i < kWebAgentTextFieldCount; ++i) {
        std::optional<std::string_view> value = block.Value(static_cast<std::uint16_t>(kFirstFieldTag + i));
        if (!value && fields[i].required) {
            return kBadMarker;
        }
        if (!overlong && value && value->size() > kMaxMarkerSize && IsMarker(fields[i].element)) {
            overlong = i;
        }
        (*agent).*(fields[i].member) = value;
    }
    if (overlong) {
        const WebAgentTextField& field = fields[*overlong];
        refused_.push_back({id,
                            "its " + std::string(field.element) + " marker is "
                                + std::to_string(((*agent).*(field.member))->size())
                                + " bytes long; a marker may have at most " + std::to_string(kMaxMarkerSize)
                                + " bytes"});
        return kOk; // the block is whole: the agents after it still load
    }
    agent->siteId = id;
    agent->source = source;
    agents_.push_back(std::move(agent));
    return kOk;
}

std::optional<std::string> AgentConfiguration::RefusalOf(std::int32_t siteId) const
{
    for (const RefusedAgent& refused : refused_) {
        if (refused.siteId == siteId) {
            return refused.reason;
        }
    }
    return std::nullopt;
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
