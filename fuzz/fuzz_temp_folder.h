#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace tallyhawk::fuzz
{

// A private folder for the process's input files, made once and removed at exit.
inline const std::string& TempFolder()
{
    static const std::string folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "tallyhawk-fuzz-XXXXXX").string();
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (::mkdtemp(name.data()) == nullptr) {
            std::abort();
        }
        return std::string(name.data());
    }();
    static struct Remover
    {
        ~Remover()
        {
            std::error_code ec;
            std::filesystem::remove_all(folder, ec);
        }
    } remover;
    return folder;
}

// Writes the fuzzer's input as a file of the folder and returns its path.
inline std::string InputFile(const std::string& name, std::string_view bytes)
{
    const std::string path = TempFolder() + "/" + name;
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

} // namespace tallyhawk::fuzz
