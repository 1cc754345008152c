#include "core/platform/autostart_entry.h"

#include "core/platform/atomic_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace tallyhawk
{

AutostartEntry::AutostartEntry()
    : AutostartEntry(DefaultFilePath())
{ }

AutostartEntry::AutostartEntry(std::string filePath)
    : filePath_(std::move(filePath))
{ }

std::string AutostartEntry::DefaultFilePath()
{
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    std::filesystem::path base;
    if (configHome && configHome[0] == '/') {
        base = configHome;
    } else {
        const char* home = std::getenv("HOME");
        base = std::filesystem::path(home ? home : "") / ".config";
    }
    return (base / "autostart" / "tallyhawk.desktop").string();
}

std::string AutostartEntry::ExecWord(const std::string& path)
{
    // Characters that make the launcher's Exec rules need quotes around the word.
    constexpr std::string_view kReserved = " \t\n\r\"'\\><~|&;$*?#()`";
    bool quote = path.empty() || path.find_first_of(kReserved) != std::string::npos;
    std::string word;
    for (char c : path) {
        if (c == '%') {
            word += "%%";
        } else if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) {
            word += '\\';
            word += c;
        } else {
            word += c;
        }
    }
    if (quote) {
        word = '"' + word + '"';
    }
    // The entry's own string escapes come on top of the Exec rules.
    std::string value;
    for (char c : word) {
        switch (c) {
        case '\\':
            value += "\\\\";
            break;
        case '\n':
            value += "\\n";
            break;
        case '\t':
            value += "\\t";
            break;
        case '\r':
            value += "\\r";
            break;
        default:
            value += c;
            break;
        }
    }
    return value;
}

AutostartEntry::Result AutostartEntry::Write(const std::string& programPath) const
{
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(filePath_).parent_path(), error);
    std::string text
        = "[Desktop Entry]\nType=Application\nName=Tallyhawk\nExec=" + ExecWord(programPath) + " m\n";
    return AtomicFile::Replace(filePath_, text) ? Result::Written : Result::Skipped;
}

AutostartEntry::Result AutostartEntry::Remove() const
{
    if (::unlink(filePath_.c_str()) == 0) {
        return Result::Removed;
    }
    return errno == ENOENT ? Result::NothingToRemove : Result::Skipped;
}

} // namespace tallyhawk
