#include "core/compare/agent_configuration.h"

#include "core/common/byte_text.h"
#include "core/platform/text_file.h"

#include <algorithm>
#include <filesystem>
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

// The index of StructuredData among WebAgentTextFields().
constexpr std::size_t kStructuredDataField = kWebAgentTextFieldCount - 1;

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
    const std::optional<std::string_view> structured
        = block.Value(static_cast<std::uint16_t>(kFirstFieldTag + kStructuredDataField));
    std::optional<std::size_t> overlong;
    for (std::size_t i = 0; i < kWebAgentTextFieldCount; ++i) {
        std::optional<std::string_view> value = block.Value(static_cast<std::uint16_t>(kFirstFieldTag + i));
        // An agent that reads the page's product data needs no markers.
        const bool required = fields[i].required && !(structured && IsMarker(fields[i].element));
        if (!value && required) {
            return kBadMarker;
        }
        if (!overlong && value && value->size() > kMaxMarkerSize && IsMarker(fields[i].element)) {
            overlong = i;
        }
        (*agent).*(fields[i].member) = value;
    }
    agent->origin = origin_;
    if (structured && *structured != kSchemaOrg) {
        refused_.push_back({id,
                            "its StructuredData is \"" + std::string(*structured)
                                + "\"; the only kind known is \"" + std::string(kSchemaOrg) + "\""});
        return kOk;
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

std::int32_t AgentConfiguration::MergeUserFile(const std::string& path)
{
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        return kOk;
    }
    AgentConfiguration user(AgentOrigin::User);
    const std::int32_t status = user.Load(path);
    Merge(user);
    return status;
}

std::int32_t AgentConfiguration::MergeUserText(std::string_view text)
{
    AgentConfiguration user(AgentOrigin::User);
    const std::int32_t status = user.LoadText(text);
    Merge(user);
    return status;
}

void AgentConfiguration::Merge(const AgentConfiguration& user)
{
    for (const AgentType& category : user.categories_) {
        auto same = std::find_if(categories_.begin(), categories_.end(), [&](const AgentType& known) {
            return known.typeId == category.typeId;
        });
        if (same != categories_.end()) {
            *same = category;
        } else {
            categories_.push_back(category);
        }
    }
    for (const std::shared_ptr<WebAgent>& agent : user.agents_) {
        auto same = std::find_if(agents_.begin(), agents_.end(), [&](const std::shared_ptr<WebAgent>& known) {
            return known->siteId == agent->siteId;
        });
        if (same != agents_.end()) {
            *same = agent;
        } else {
            agents_.push_back(agent);
        }
        // A site agent the file refused is replaced by the user's, which loaded.
        std::erase_if(refused_, [&](const RefusedAgent& refused) { return refused.siteId == agent->siteId; });
    }
    for (const RefusedAgent& refused : user.refused_) {
        refused_.push_back({refused.siteId, "in " + std::string(kUserFile) + ", " + refused.reason});
    }
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
