#include "core/platform/program_path.h"

#include <unistd.h>

namespace tallyhawk
{

namespace
{

constexpr const char* kDesktopProgram = "tallyhawk";

bool IsExecutableFile(const std::filesystem::path& path)
{
    std::error_code error;
    return std::filesystem::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
}

} // namespace

std::filesystem::path CurrentExecutablePath()
{
    std::error_code error;
    std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : path;
}

std::string DesktopProgramPath(const std::filesystem::path& currentExecutable)
{
    std::filesystem::path folder = currentExecutable.parent_path();
    std::filesystem::path beside = folder / kDesktopProgram;
    if (IsExecutableFile(beside)) {
        return beside.string();
    }
    // Run from a build tree: the command-line companion in src/cli, the desktop program in src/gui.
    std::filesystem::path sibling = (folder.parent_path() / "gui" / kDesktopProgram).lexically_normal();
    if (!folder.empty() && IsExecutableFile(sibling)) {
        return sibling.string();
    }
    return beside.string();
}

std::string DesktopProgramPath()
{
    return DesktopProgramPath(CurrentExecutablePath());
}

} // namespace tallyhawk
