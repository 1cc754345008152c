#pragma once

#include <string>
#include <vector>

namespace tallyhawk::server
{

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
inline constexpr const char* kDefaultDatabase = "tallyhawk-server.db";

int RunServe(const std::vector<std::string>& args);
int RunPost(const std::vector<std::string>& args);
int RunImport(const std::vector<std::string>& args);
// stores add NAME, categories add NAME.
// feeds add|list|remove|poll.
int RunFeeds(const std::vector<std::string>& args);
int RunListAdd(const std::string& list, const std::vector<std::string>& args);

} // namespace tallyhawk::server
