#include "core/platform/settings_storage.h"
#include "core/settings/setting_definitions.h"
#include "core/settings/settings.h"
#include "core/settings/site_url.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

namespace tallyhawk
{
namespace
{

TEST(SettingDefinitions, EachNameOnceWithAConsistentShape)
{
    std::set<std::string_view> names;
    for (const SettingDefinition& setting : SettingDefinitions()) {
        SCOPED_TRACE(std::string(setting.name));
        EXPECT_TRUE(names.insert(setting.name).second) << "named twice";
        EXPECT_EQ(FindSetting(setting.name), &setting);
        if (setting.type == SettingType::Text) {
            EXPECT_NE(setting.text, nullptr);
            EXPECT_EQ(setting.number, nullptr);
        } else {
            EXPECT_EQ(setting.text, nullptr);
            EXPECT_LE(setting.minimum, setting.numberDefault);
            EXPECT_GE(setting.maximum, setting.numberDefault);
        }
        // Save can write only what a member holds.
        EXPECT_TRUE(!setting.saved || setting.text || setting.number);
    }
    EXPECT_EQ(names.size(), 21u);
    EXPECT_EQ(FindSetting("autorun"), nullptr);
    EXPECT_EQ(FindSetting("AutoRun "), nullptr);
    EXPECT_EQ(FindSetting(""), nullptr);
}

class TableFile : public ::testing::Test
{
protected:
    std::string Path() const { return dir_.File("Tallyhawk.conf"); }

    test::TempDir dir_;
};

TEST_F(TableFile, LoadTakesEveryValueOfTheTable)
{
    std::map<std::string_view, std::string> written;
    std::string file = "[General]\n";
    std::int32_t number = 100;
    for (const SettingDefinition& setting : SettingDefinitions()) {
        std::string value
            = setting.type == SettingType::Text ? "v" + std::string(setting.name) : std::to_string(number++);
        written[setting.name] = value;
        file += std::string(setting.name) + "=" + value + "\n";
    }
    test::WriteFileBytes(Path(), file);

    Settings settings(Path());
    for (const SettingDefinition& setting : SettingDefinitions()) {
        SCOPED_TRACE(std::string(setting.name));
        if (setting.text) {
            EXPECT_EQ(settings.*setting.text, written[setting.name]);
        } else if (setting.number) {
            EXPECT_EQ(std::to_string(settings.*setting.number), written[setting.name]);
        }
        EXPECT_EQ(settings.IsStored(setting.name), setting.text || setting.number);
    }
    EXPECT_EQ(std::to_string(settings.ReadLastArchive()), written["LastArchive"]);
}

TEST_F(TableFile, SaveWritesTheProgramsValuesOnly)
{
    Settings settings(Path());
    for (const SettingDefinition& setting : SettingDefinitions()) {
        if (setting.text) {
            settings.*setting.text = "new " + std::string(setting.name);
        } else if (setting.number) {
            settings.*setting.number = 7;
        }
    }
    ASSERT_EQ(settings.Save(), kOk);

    SettingsStorage storage(Path());
    for (const SettingDefinition& setting : SettingDefinitions()) {
        SCOPED_TRACE(std::string(setting.name));
        std::optional<std::string> stored = storage.ReadText(std::string(setting.name));
        if (!setting.saved) {
            EXPECT_EQ(stored, std::nullopt);
        } else if (setting.text) {
            EXPECT_EQ(stored, "new " + std::string(setting.name));
        } else {
            EXPECT_EQ(storage.ReadNumber(setting.name), 7);
        }
    }
    // Set only from outside the program.
    for (const char* name : {"ServerAddress", "ServerPort", "SiteUrl", "LastArchive"}) {
        EXPECT_EQ(storage.ReadText(name), std::nullopt) << name;
    }
}

TEST_F(TableFile, SiteUrlIsTheLoadedOneWithoutAnotherRead)
{
    test::WriteFileBytes(Path(), "[General]\nSiteUrl=http://127.0.0.1:5/\n");
    Settings settings(Path());
    EXPECT_TRUE(settings.IsStored("SiteUrl"));
    EXPECT_EQ(SiteBaseUrl(settings), "http://127.0.0.1:5/");

    // Later changes to the file do not reach an object already loaded.
    test::WriteFileBytes(Path(), "[General]\nSiteUrl=http://127.0.0.1:6\n");
    EXPECT_EQ(SiteBaseUrl(settings), "http://127.0.0.1:5/");
    std::filesystem::remove(Path());
    EXPECT_EQ(SiteBaseUrl(settings), "http://127.0.0.1:5/");

    settings.siteUrl.clear();
    EXPECT_EQ(SiteBaseUrl(settings), DefaultSiteUrl());

    // A stored empty value means the build's own site.
    test::WriteFileBytes(Path(), "[General]\nSiteUrl=\n");
    Settings empty(Path());
    EXPECT_TRUE(empty.IsStored("SiteUrl"));
    EXPECT_EQ(SiteBaseUrl(empty), DefaultSiteUrl());
}

} // namespace
} // namespace tallyhawk
