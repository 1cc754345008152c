#include "core/settings/settings.h"

#include "core/platform/program_path.h"
#include "core/settings/setting_definitions.h"

#include <algorithm>
#include <vector>

namespace tallyhawk
{

Settings::Settings()
    : Settings(SettingsStorage::DefaultFilePath())
{ }

Settings::Settings(std::string filePath)
    : storage_(std::move(filePath))
{
    SetDefaults();
    Load();
}

void Settings::SetDefaults()
{
    for (const SettingDefinition& setting : SettingDefinitions()) {
        if (setting.text) {
            this->*setting.text = setting.textDefault;
        } else if (setting.number) {
            this->*setting.number = setting.numberDefault;
        }
    }
}

int Settings::Load()
{
    stored_.clear();
    SettingsStorage::Snapshot file = storage_.Read();
    if (!file.readable()) {
        return kFailed;
    }
    for (const SettingDefinition& setting : SettingDefinitions()) {
        if (setting.text) {
            if (std::optional<std::string> value = file.Text(setting.name, setting.readLimit)) {
                this->*setting.text = std::move(*value);
                stored_.emplace(setting.name);
            }
        } else if (setting.number) {
            if (std::optional<std::int32_t> value = file.Number(setting.name)) {
                this->*setting.number = *value;
                stored_.emplace(setting.name);
            }
        }
    }
    // A file the program saved before the repeat memory existed alerted every deal: it keeps doing so.
    const bool savedBefore = std::any_of(
        SettingDefinitions().begin(), SettingDefinitions().end(), [&](const SettingDefinition& setting) {
            return setting.saved && IsStored(setting.name);
        });
    if (savedBefore && !IsStored("AlertAgainDays")) {
        alertAgainDays = 0;
    }
    // A file with lines the reader did not understand still gives the values it could read, so a
    // stray line does not reset the user's choices; the caller learns of the damage.
    return file.Damaged() ? kFailed : kOk;
}

int Settings::Save() const
{
    std::vector<SettingsStorage::NamedValue> values;
    for (const SettingDefinition& setting : SettingDefinitions()) {
        if (!setting.saved) {
            continue;
        }
        if (setting.text) {
            values.emplace_back(setting.name, this->*setting.text);
        } else if (setting.number) {
            values.emplace_back(setting.name, this->*setting.number);
        }
    }
    return storage_.Write(values);
}

Settings::AutoRunResult Settings::ApplyAutoRun() const
{
    return ApplyAutoRun(DesktopProgramPath());
}

Settings::AutoRunResult Settings::ApplyAutoRun(const std::string& programPath) const
{
    AutostartEntry entry;
    // Only exactly 1 means on.
    return autoRun == 1 ? entry.Write(programPath) : entry.Remove();
}

std::int32_t Settings::ReadLastArchive() const
{
    return ReadNumber("LastArchive").value_or(0);
}

int Settings::WriteLastArchive(std::int32_t seconds) const
{
    return WriteNumber("LastArchive", seconds);
}

} // namespace tallyhawk
