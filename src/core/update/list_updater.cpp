#include "core/update/list_updater.h"

#include "core/common/site_addresses.h"
#include "core/compare/element_text.h"
#include "core/platform/text_file.h"

#include <system_error>

namespace tallyhawk
{

void MergeUpdateText(IdNameList& list, std::string_view text)
{
    constexpr std::string_view kOpen = "<IT>";
    constexpr std::string_view kClose = "</IT>";
    text = TextBeforeZero(text);
    std::size_t cursor = 0;
    while (true) {
        std::size_t open = text.find(kOpen, cursor);
        std::size_t close = text.find(kClose, cursor);
        if (open == std::string_view::npos || close == std::string_view::npos || close < open) {
            return;
        }
        std::size_t end = close + kClose.size();
        std::string_view block = text.substr(open, end - open);
        std::int32_t id = ElementNumber(block, "<ID>", "</ID>");
        std::optional<std::string_view> name = ElementView(block, "<NM>", "</NM>");
        if (id <= 0 || !name) {
            return; // the rest of the answer is ignored
        }
        if (name->size() >= 2) {
            list.AddOrCount(id, *name, 0);
        }
        cursor = end;
    }
}

std::int32_t MergeUpdateFile(IdNameList& list, const std::string& path)
{
    TextFileBytes bytes;
    std::int32_t status = ReadTextFile(path, bytes);
    if (status != 0) {
        return status;
    }
    MergeUpdateText(list, bytes.view());
    return 0;
}

std::string SiteListFileName(SiteList which)
{
    return which == SiteList::Stores ? "store.lst" : "category.lst";
}

std::string SiteListName(SiteList which)
{
    return which == SiteList::Stores ? "stores" : "categories";
}

std::string SiteListUpdateUrl(const std::string& baseUrl, SiteList which, const IdNameList& list)
{
    return which == SiteList::Stores ? StoresUpdateUrl(baseUrl, list.HighestServerId())
                                     : CategoriesUpdateUrl(baseUrl, list.HighestServerId());
}

std::int32_t LoadListForUpdate(IdNameList& list, const std::string& path)
{
    std::error_code error;
    if (!std::filesystem::exists(path, error) && !error) {
        return 0;
    }
    return list.Load(path);
}

} // namespace tallyhawk
