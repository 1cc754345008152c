#pragma once

#include <string>
#include <string_view>

namespace tallyhawk
{

// Writes a whole file at a path the user named. A regular file (or none) is replaced atomically, whole
// or not at all. A symbolic link leads to the file it names, which is written the same way, so the link
// stays. A pipe, a device or another file that is not regular is written into directly: replacing it
// would put a plain file where the user's pipe or device was. A folder is refused.
class OutputFile
{
public:
    static bool Write(const std::string& path, std::string_view bytes);

    // `path` with its symbolic links followed (also a dangling one, to the name it points to); `path`
    // itself when it is no link or the links go round in a circle.
    static std::string Resolve(const std::string& path);
};

} // namespace tallyhawk
