#include "core/update/site_lists_refresh.h"

#include "core/common/site_addresses.h"
#include "core/compare/agent_configuration.h"
#include "core/platform/atomic_file.h"
#include "core/platform/text_file.h"

#include <set>

namespace tallyhawk
{

namespace
{

constexpr const char* kUpdateFileName = "update.dat";
constexpr const char* kDownloadName = "webspider.dat";
constexpr const char* kConfigurationName = "webspider.xml";

RefreshStepResult Failed(RefreshStage stage, std::int32_t status)
{
    RefreshStepResult result;
    result.stage = stage;
    result.status = status;
    return result;
}

RefreshStepResult DownloadFailed(const FetchReport& report)
{
    RefreshStepResult result = Failed(RefreshStage::Download, report.status);
    result.downloadFailure = FetchFailureText(report);
    return result;
}

// Merges the update answer into `held`, what the list file holds, with the entries only `ours` has
// kept too: the file is merged with, not replaced. Entries new to both go to `added`, in id order.
// MergeUpdateFile's status.
std::int32_t MergeAnswer(IdNameList& held,
                         const IdNameList& ours,
                         const std::string& updatePath,
                         std::vector<IdNameEntry>& added)
{
    for (const auto& [id, entry] : ours) {
        if (held.Find(id) == nullptr) {
            held.AddOrCount(id, entry.name, entry.count);
        }
    }
    std::set<std::int32_t> before;
    for (const auto& [id, entry] : held) {
        before.insert(id);
    }
    const std::int32_t status = MergeUpdateFile(held, updatePath);
    if (status != 0) {
        return status;
    }
    for (const auto& [id, entry] : held) {
        if (!before.contains(id)) {
            added.push_back(entry);
        }
    }
    return 0;
}

} // namespace

RefreshStepResult UpdateSiteList(const HttpFetcher& fetcher,
                                 const std::string& baseUrl,
                                 SiteList which,
                                 IdNameList& list,
                                 const std::filesystem::path& folder,
                                 std::stop_token stop)
{
    RefreshStepResult result;
    std::string updatePath = (folder / kUpdateFileName).string();
    FetchReport report;
    std::int32_t status
        = fetcher.DownloadToFile(SiteListUpdateUrl(baseUrl, which, list), updatePath, nullptr, stop, report);
    if (status != FETCH_OK) {
        return DownloadFailed(report);
    }
    // Merged into the list file as it is while held, not into the copy the request was made from: a
    // name the user added meanwhile (here or in another program) stays.
    bool read = false;
    std::int32_t merged = 0;
    status = IdNameList::Update((folder / SiteListFileName(which)).string(),
                                [&](IdNameList& held) {
                                    read = true;
                                    merged = MergeAnswer(held, list, updatePath, result.added);
                                    return merged == 0 ? kOk : kFailed;
                                },
                                &list);
    if (status == kOk) {
        return result;
    }
    if (merged != 0) {
        return Failed(RefreshStage::Read, merged);
    }
    // A file held by someone else or not written may work next time; a damaged one stays as it is.
    const bool damaged = !read && status != kCannotOpen;
    return Failed(damaged ? RefreshStage::ReadList : RefreshStage::Save, status);
}

RefreshStepResult RefreshAgentConfiguration(const HttpFetcher& fetcher,
                                            const std::string& baseUrl,
                                            const std::filesystem::path& folder,
                                            std::stop_token stop)
{
    std::string downloadPath = (folder / kDownloadName).string();
    FetchReport report;
    std::int32_t status
        = fetcher.DownloadToFile(WebSpiderConfigUrl(baseUrl), downloadPath, nullptr, stop, report);
    if (status != FETCH_OK) {
        return DownloadFailed(report);
    }
    // Read once: the bytes checked are the bytes installed.
    TextFileBytes bytes;
    status = ReadTextFile(downloadPath, bytes);
    if (status != 0) {
        return Failed(RefreshStage::Read, status);
    }
    AgentConfiguration downloaded;
    status = downloaded.LoadText(bytes.view());
    RefreshStepResult result;
    result.agentCount = downloaded.AgentCount();
    result.categoryCount = downloaded.CategoryCount();
    if (status != kOk) {
        result.stage = RefreshStage::Read;
        result.status = status;
        return result;
    }
    if (downloaded.AgentCount() == 0) {
        result.stage = RefreshStage::NoAgents;
        return result;
    }
    if (!AtomicFile::Replace((folder / kConfigurationName).string(), bytes.view())) {
        result.stage = RefreshStage::Save;
        result.status = kCannotOpen;
    }
    return result;
}

RefreshStepResult UpdateSiteListFile(const HttpFetcher& fetcher,
                                     const std::string& baseUrl,
                                     SiteList which,
                                     const std::filesystem::path& folder,
                                     std::stop_token stop)
{
    IdNameList list;
    std::int32_t status = LoadListForUpdate(list, (folder / SiteListFileName(which)).string());
    if (status != 0) {
        return Failed(RefreshStage::ReadList, status);
    }
    return UpdateSiteList(fetcher, baseUrl, which, list, folder, stop);
}

SiteListsRefresh RefreshSiteLists(const HttpFetcher& fetcher,
                                  const std::string& baseUrl,
                                  const std::filesystem::path& folder,
                                  std::stop_token stop,
                                  IdNameList* stores,
                                  IdNameList* categories)
{
    SiteListsRefresh refresh;
    refresh.agents = RefreshAgentConfiguration(fetcher, baseUrl, folder, stop);
    refresh.stores = stores ? UpdateSiteList(fetcher, baseUrl, SiteList::Stores, *stores, folder, stop)
                            : UpdateSiteListFile(fetcher, baseUrl, SiteList::Stores, folder, stop);
    refresh.categories = categories
        ? UpdateSiteList(fetcher, baseUrl, SiteList::Categories, *categories, folder, stop)
        : UpdateSiteListFile(fetcher, baseUrl, SiteList::Categories, folder, stop);
    return refresh;
}

} // namespace tallyhawk
