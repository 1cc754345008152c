#pragma once

#include "core/net/http_fetcher.h"
#include "core/store/id_name_list.h"
#include "core/update/list_updater.h"

#include <filesystem>
#include <string>
#include <vector>

namespace tallyhawk
{

// Where one step of a site list refresh ended.
enum class RefreshStage
{
    Done, // the step did all its work
    ReadList, // the local list file is damaged: it is neither updated nor saved over
    Download, // the fetcher failed (status is its FetchStatus)
    Read, // the download could not be read (update answer or configuration)
    NoAgents, // the downloaded configuration loaded but defines no agent
    Save, // the list or the configuration could not be written
};

struct RefreshStepResult
{
    RefreshStage stage = RefreshStage::Done;
    std::int32_t status = 0; // the failing stage's status; 0 when done
    std::string downloadFailure; // Download: what went wrong, in the fetcher's words for people
    std::vector<IdNameEntry> added; // list steps: entries new to the list, in id order
    std::size_t agentCount = 0; // configuration step: what the download defines
    std::size_t categoryCount = 0;

    bool ok() const { return stage == RefreshStage::Done; }
};

// The update request of one list: downloads folder/"update.dat" for the entries after `list`'s highest
// service id, and merges them into folder/SiteListFileName(which) as the file holds it at that moment
// (IdNameList::Update), so entries others added since `list` was read stay; `list` becomes what the
// file then holds. A failed download or read leaves the list and its file as they were.
RefreshStepResult UpdateSiteList(const HttpFetcher& fetcher,
                                 const std::string& baseUrl,
                                 SiteList which,
                                 IdNameList& list,
                                 const std::filesystem::path& folder,
                                 std::stop_token stop);

// The outcome of a whole site list refresh, one result per step.
struct SiteListsRefresh
{
    RefreshStepResult agents;
    RefreshStepResult stores;
    RefreshStepResult categories;

    bool ok() const { return agents.ok() && stores.ok() && categories.ok(); }
};

// Downloads the agent configuration to folder/"webspider.dat" and, only when it loads without error
// and defines at least one agent, puts exactly those bytes in place of folder/"webspider.xml" in one
// atomic step; otherwise the old configuration stays.
RefreshStepResult RefreshAgentConfiguration(const HttpFetcher& fetcher,
                                            const std::string& baseUrl,
                                            const std::filesystem::path& folder,
                                            std::stop_token stop);

// The weekly refresh of the site lists: agent configuration, stores, categories, each step run
// whatever the others did. `stores` and `categories` are the lists held in memory; when null, the
// list is read from its file in `folder` first (a missing file is an empty list, a damaged one is
// left alone and its step fails).
SiteListsRefresh RefreshSiteLists(const HttpFetcher& fetcher,
                                  const std::string& baseUrl,
                                  const std::filesystem::path& folder,
                                  std::stop_token stop,
                                  IdNameList* stores = nullptr,
                                  IdNameList* categories = nullptr);

// A list step on its file: read the list, update it, save it.
RefreshStepResult UpdateSiteListFile(const HttpFetcher& fetcher,
                                     const std::string& baseUrl,
                                     SiteList which,
                                     const std::filesystem::path& folder,
                                     std::stop_token stop);

} // namespace tallyhawk
