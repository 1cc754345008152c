#include "core/platform/data_folder.h"

#include <cstdlib>
#include <system_error>

namespace tallyhawk
{
namespace
{

std::optional<std::string> NonEmptyEnv(const char* name)
{
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    return std::string(value);
}

} // namespace

std::filesystem::path ResolveDataFolder(const std::optional<std::string>& dataDirOption)
{
    if (dataDirOption && !dataDirOption->empty()) {
        return std::filesystem::path(*dataDirOption);
    }
    if (auto home = NonEmptyEnv("TALLYHAWK_HOME")) {
        return std::filesystem::path(*home);
    }
    if (auto xdg = NonEmptyEnv("XDG_DATA_HOME")) {
        return std::filesystem::path(*xdg) / "tallyhawk";
    }
    std::filesystem::path home = NonEmptyEnv("HOME").value_or(".");
    return home / ".local" / "share" / "tallyhawk";
}

bool PrepareDataFolder(const std::filesystem::path& folder, std::string& error)
{
    std::error_code ec;
    std::filesystem::create_directories(folder / "WebSearch", ec);
    if (ec) {
        error = "Cannot create the data folder " + folder.string() + ": " + ec.message() + ".";
        return false;
    }
    std::filesystem::current_path(folder, ec);
    if (ec) {
        error = "Cannot enter the data folder " + folder.string() + ": " + ec.message() + ".";
        return false;
    }
    return true;
}

} // namespace tallyhawk
