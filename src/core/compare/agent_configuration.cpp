#include "core/compare/agent_configuration.h"

#include "core/common/byte_text.h"
#include "core/compare/text_file.h"

#include <array>
#include <atomic>

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

} // namespace

std::int32_t AgentConfiguration::Load(const std::string& path)
{
    TextFileBytes bytes;
    std::int32_t status = ReadTextFile(path, bytes);
    if (status != 0) {
        categories_.clear();
        agents_.clear();
        return status;
    }
    return LoadText(bytes.view());
}

std::int32_t AgentConfiguration::LoadText(std::string_view text)
{
    categories_.clear();
    // Agents that no one else holds are filled anew instead of being freed and made again; those a
    // search worker still holds are left to it.
    spare_ = std::move(agents_);
    agents_.clear();
    nextSpare_ = 0;
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
            agentStatus = ReadAgent(agentBlocks);
        }
    });
    spare_.clear();
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
        return kBadFile;
    }
    categories_.push_back(AgentType{id, std::string(*typeName)});
    return kOk;
}

std::int32_t AgentConfiguration::ReadAgent(const TagBlockReader& block)
{
    std::span<const WebAgentTextField> fields = WebAgentTextFields();
    std::optional<std::string_view> siteId = block.Value(kSiteIdTag);
    std::int32_t id = siteId ? AtoiRule(*siteId) : 0;
    if (id <= 0) {
        return kBadFile;
    }
    // Checked first, so an invalid block takes no agent; the values are cheap to look up again.
    for (std::size_t i = 0; i < kWebAgentTextFieldCount; ++i) {
        if (fields[i].required && !block.Value(static_cast<std::uint16_t>(kFirstFieldTag + i))) {
            return kBadFile;
        }
    }
    std::shared_ptr<WebAgent> agent = ReusableAgent();
    agent->siteId = id;
    for (std::size_t i = 0; i < kWebAgentTextFieldCount; ++i) {
        std::optional<std::string_view> value = block.Value(static_cast<std::uint16_t>(kFirstFieldTag + i));
        std::optional<std::string>& field = (*agent).*(fields[i].member);
        if (!value) {
            field.reset();
        } else if (field) {
            field->assign(*value);
        } else {
            field.emplace(*value);
        }
    }
    agents_.push_back(std::move(agent));
    return kOk;
}

std::shared_ptr<WebAgent> AgentConfiguration::ReusableAgent()
{
    while (nextSpare_ < spare_.size()) {
        std::shared_ptr<WebAgent>& candidate = spare_[nextSpare_++];
        if (candidate.use_count() == 1) {
            // The last other holder released it with a release decrement; the fence makes its last
            // use of the agent happen before the writes here.
            std::atomic_thread_fence(std::memory_order_acquire);
            std::shared_ptr<WebAgent> agent = std::move(candidate);
            agent->stopRequested.store(0);
            agent->thread = {};
            agent->owner = nullptr;
            return agent;
        }
    }
    return std::make_shared<WebAgent>();
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
