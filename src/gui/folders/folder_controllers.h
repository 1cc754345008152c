#pragma once

#include "core/compare/result_list.h"
#include "gui/folders/folder_controller.h"
#include "gui/folders/folder_kind.h"

#include <map>
#include <memory>

namespace tallyhawk
{

class FolderHost;
class ProgramSession;

// The controller of each folder kind, over the session's stores and commands.
class FolderControllers
{
public:
    FolderControllers(FolderHost& host, ProgramSession& session);
    ~FolderControllers();
    FolderControllers(const FolderControllers&) = delete;
    FolderControllers& operator=(const FolderControllers&) = delete;

    // None for a kind without one (no folder chosen yet).
    FolderController* Find(FolderKind kind) const;

private:
    // The offers of the comparison the Price Comparisons folder shows.
    ResultList searchResults_;
    std::map<FolderKind, std::unique_ptr<FolderController>> folders_;
};

} // namespace tallyhawk
