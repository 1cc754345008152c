#pragma once

#include "core/platform/settings_storage.h"
#include "core/settings/settings.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace tallyhawk
{

enum class SettingType
{
    Text,
    Number,
};

// One value of the settings file: its default, what Load takes of it, whether Save writes it, and
// what `config set` accepts for it.
struct SettingDefinition
{
    std::string_view name;
    SettingType type = SettingType::Number;
    // The Settings member that holds it (the one of its type); none for a value the file keeps
    // alone, read and written by name (LastArchive).
    std::string Settings::*text = nullptr;
    std::int32_t Settings::*number = nullptr;
    std::string textDefault = {};
    std::int32_t numberDefault = 0;
    // Characters Load takes of a stored text, and the most a new text may have.
    std::size_t readLimit = SettingsStorage::kWholeText;
    // The numbers a new value may be; a stored number is taken as it is.
    std::int32_t minimum = std::numeric_limits<std::int32_t>::min();
    std::int32_t maximum = std::numeric_limits<std::int32_t>::max();
    // Whether Save writes it. Values the program never changes are set only from outside it.
    bool saved = false;
    // A text that must be an http or https address.
    bool webAddress = false;
    // Kept as plain text by necessity, so never shown.
    bool secret = false;
};

// Every value of the settings file, in the order of the Settings members.
const std::vector<SettingDefinition>& SettingDefinitions();
// The value of that exact name, or null.
const SettingDefinition* FindSetting(std::string_view name);

} // namespace tallyhawk
