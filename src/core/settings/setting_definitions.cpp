#include "core/settings/setting_definitions.h"

#include "core/settings/site_url.h"

namespace tallyhawk
{

namespace
{

// Host name, user name and password; the keyword lists.
constexpr std::size_t kShortText = 39;
constexpr std::size_t kKeywordText = 199;
constexpr std::int32_t kLargest = std::numeric_limits<std::int32_t>::max();

// An on/off choice the program writes back.
SettingDefinition Switch(std::string_view name, std::int32_t Settings::*member, std::int32_t byDefault)
{
    return {.name = name,
            .type = SettingType::Number,
            .number = member,
            .numberDefault = byDefault,
            .minimum = 0,
            .maximum = 1,
            .saved = true};
}

// A time of day the program writes back, in minutes after midnight.
SettingDefinition Minute(std::string_view name, std::int32_t Settings::*member, std::int32_t byDefault)
{
    return {.name = name,
            .type = SettingType::Number,
            .number = member,
            .numberDefault = byDefault,
            .minimum = 0,
            .maximum = 24 * 60 - 1,
            .saved = true};
}

// A text the program writes back.
SettingDefinition SavedText(std::string_view name, std::string Settings::*member, std::size_t readLimit)
{
    return {.name = name, .type = SettingType::Text, .text = member, .readLimit = readLimit, .saved = true};
}

std::vector<SettingDefinition> MakeDefinitions()
{
    return {
        {.name = "ServerAddress",
         .type = SettingType::Text,
         .text = &Settings::serverAddress,
         .textDefault = DefaultServerHost(),
         .readLimit = kShortText},
        {.name = "ServerPort",
         .type = SettingType::Number,
         .number = &Settings::serverPort,
         .numberDefault = kDefaultServerPort,
         .minimum = 1,
         .maximum = 65535},
        SavedText("Username", &Settings::username, kShortText),
        {.name = "Password",
         .type = SettingType::Text,
         .text = &Settings::password,
         .readLimit = kShortText,
         .saved = true,
         .secret = true},
        Switch("AutoRun", &Settings::autoRun, 1),
        Switch("ShowSummary", &Settings::showSummary, 1),
        Switch("GetDeals", &Settings::getDeals, 1),
        Switch("GetTopics", &Settings::getTopics, 1),
        {.name = "NotifyTimeout",
         .type = SettingType::Number,
         .number = &Settings::notifyTimeout,
         .numberDefault = 30,
         .minimum = 1,
         .maximum = kLargest,
         .saved = true},
        Switch("ShowNotify", &Settings::showNotify, 1),
        Switch("UseDealsFilter", &Settings::useDealsFilter, 0),
        Switch("UseTopicsFilter", &Settings::useTopicsFilter, 0),
        SavedText("DealsFilter", &Settings::dealsFilter, kKeywordText),
        SavedText("TopicsFilter", &Settings::topicsFilter, kKeywordText),
        // Days an alerted deal stays remembered, so a repost is not alerted again; 0 alerts every one.
        {.name = "AlertAgainDays",
         .type = SettingType::Number,
         .number = &Settings::alertAgainDays,
         .numberDefault = Settings::kNewAlertAgainDays,
         .minimum = 0,
         .maximum = Settings::kLongestAlertAgainDays,
         .saved = true},
        // Alerts are held between these minutes after local midnight (the span may cross midnight).
        Switch("QuietHours", &Settings::quietHours, 0),
        Minute("QuietStart", &Settings::quietStart, 22 * 60),
        Minute("QuietEnd", &Settings::quietEnd, 7 * 60),
        // Lets a local service stand in for the site.
        {.name = "SiteUrl", .type = SettingType::Text, .text = &Settings::siteUrl, .webAddress = true},
        // The time of the last weekly upkeep, which the start-up reads and writes by itself.
        {.name = "LastArchive", .type = SettingType::Number},
        // A site list refresh still owed after one that failed, kept by the update passes by themselves.
        {.name = "ListsRefreshPending", .type = SettingType::Number},
    };
}

} // namespace

const std::vector<SettingDefinition>& SettingDefinitions()
{
    static const std::vector<SettingDefinition> definitions = MakeDefinitions();
    return definitions;
}

const SettingDefinition* FindSetting(std::string_view name)
{
    for (const SettingDefinition& definition : SettingDefinitions()) {
        if (definition.name == name) {
            return &definition;
        }
    }
    return nullptr;
}

} // namespace tallyhawk
