#pragma once

#include "core/store/id_name_list.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tallyhawk
{

// Merges an update answer ("update.dat": <IT> <ID>id</ID> <NM>name</NM> </IT> entries, anything else
// ignored) into a store or category list. Entries with a name shorter than 2 characters are skipped;
// an entry without a positive id or without a name ends the scan. 0 however the scan ended; -41 the
// file cannot be opened; -42 fewer bytes were read than its size; -44 its size is unavailable.
std::int32_t MergeUpdateFile(IdNameList& list, const std::string& path);
// The scan on text already in memory (a zero byte ends it, as in a file).
void MergeUpdateText(IdNameList& list, std::string_view text);

// The two lists that follow the service.
enum class SiteList
{
    Stores,
    Categories,
};

// "store.lst" or "category.lst".
std::string SiteListFileName(SiteList which);
// "stores" or "categories".
std::string SiteListName(SiteList which);
// The update request for the entries after the list's highest service id.
std::string SiteListUpdateUrl(const std::string& baseUrl, SiteList which, const IdNameList& list);

// Loads a list file before an update: a missing file is an empty list (0); any other failure is the
// list's Load status, and the file must not be saved over.
std::int32_t LoadListForUpdate(IdNameList& list, const std::string& path);

} // namespace tallyhawk
