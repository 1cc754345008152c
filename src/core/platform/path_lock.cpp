#include "core/platform/path_lock.h"

#include <filesystem>
#include <map>

namespace tallyhawk
{
namespace
{

// Entries whose mutex nobody holds any more are dropped once the registry grows past this.
constexpr std::size_t kRegistrySweepSize = 64;

std::shared_ptr<std::mutex> MutexFor(const std::string& path)
{
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    std::filesystem::path canonical = std::filesystem::weakly_canonical(absolute, ec);
    std::string key = ec ? absolute.lexically_normal().string() : canonical.string();

    static std::mutex registryMutex;
    static std::map<std::string, std::weak_ptr<std::mutex>> registry;
    std::lock_guard<std::mutex> guard(registryMutex);
    if (registry.size() > kRegistrySweepSize) {
        std::erase_if(registry, [](const auto& entry) { return entry.second.expired(); });
    }
    std::weak_ptr<std::mutex>& slot = registry[key];
    std::shared_ptr<std::mutex> mutex = slot.lock();
    if (!mutex) {
        mutex = std::make_shared<std::mutex>();
        slot = mutex;
    }
    return mutex;
}

} // namespace

PathLock::PathLock(const std::string& path)
    : mutex_(MutexFor(path))
    , lock_(*mutex_)
{ }

} // namespace tallyhawk
