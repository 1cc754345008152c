#include "server/item_input.h"
#include "server/item_store.h"
#include "server/server_commands.h"
#include "server/server_options.h"

#include <fstream>
#include <iostream>

namespace tallyhawk::server
{

namespace
{

const char* KindWord(std::int32_t kind)
{
    return kind == 1 ? "coupon" : kind == 2 ? "deal" : "forum topic";
}

int Usage(const std::string& command, const std::string& message)
{
    std::cerr << "tallyhawk-server " << command << ": " << message << "\n";
    return kExitUsage;
}

// Opens the --db store, or reports why not.
std::unique_ptr<ItemStore> OpenDatabase(const ServerOptions& options)
{
    std::string error;
    std::unique_ptr<ItemStore> items
        = ItemStore::Open(options.Value("--db").value_or(kDefaultDatabase), error);
    if (!items) {
        std::cerr << "tallyhawk-server: " << error << ".\n";
        return nullptr;
    }
    if (const std::string notice = items->notice(); !notice.empty()) {
        std::cerr << "tallyhawk-server: " << notice << ".\n";
    }
    return items;
}

std::string Items(std::size_t count)
{
    return std::to_string(count) + (count == 1 ? " item" : " items");
}

} // namespace

int RunPost(const std::vector<std::string>& args)
{
    ServerOptions options;
    if (std::optional<std::string> error = options.Parse(
            args,
            {"--db", "--kind", "--title", "--store", "--category", "--date", "--description", "--extra"},
            {"--hot"})) {
        return Usage("post", *error);
    }
    ServerItem item;
    std::optional<std::int32_t> kind = ItemInput::Kind(options.Value("--kind").value_or(""));
    if (!kind) {
        return Usage("post", "--kind must be coupon, deal or topic.");
    }
    item.kind = *kind;
    item.title = options.Value("--title").value_or("");
    if (item.title.empty()) {
        return Usage("post", "--title is required.");
    }
    if (std::optional<std::string> date = options.Value("--date")) {
        std::optional<std::int32_t> seconds = ItemInput::Date(*date);
        if (!seconds) {
            return Usage("post", "--date must be seconds since 1970 or YYYY-MM-DD.");
        }
        item.date = *seconds;
    }
    item.storeName = options.Value("--store").value_or("");
    item.categoryName = options.Value("--category").value_or("");
    if (item.categoryName.empty()) {
        return Usage("post", "--category is required: clients keep no item without a category.");
    }
    item.description = options.Value("--description").value_or("");
    item.extra = options.Value("--extra").value_or("");
    item.hot = options.Has("--hot") ? 1 : 0;
    const std::unique_ptr<ItemStore> store = OpenDatabase(options);
    if (!store) {
        return kExitFailure;
    }
    ItemStore& items = *store;
    std::string error;
    std::optional<ServerItem> posted = items.Post(item, &error);
    if (!posted) {
        std::cerr << "tallyhawk-server: The item was not posted: " << error << ".\n";
        return kExitFailure;
    }
    std::cout << "Posted " << KindWord(posted->kind) << " " << posted->id << ".\n";
    return kExitOk;
}

int RunImport(const std::vector<std::string>& args)
{
    ServerOptions options;
    if (std::optional<std::string> error = options.Parse(args, {"--db"}, {"--all-or-nothing"})) {
        return Usage("import", *error);
    }
    if (options.positionals().size() != 1) {
        return Usage("import", "give one file of JSON lines.");
    }
    std::ifstream file(options.positionals()[0], std::ios::binary);
    if (!file) {
        std::cerr << "tallyhawk-server: " << options.positionals()[0] << " cannot be read.\n";
        return kExitFailure;
    }
    // The lines up to the first bad one, which ends the import.
    std::vector<ServerItem> good;
    std::optional<int> badLine;
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        if (line.find_first_not_of(" \t\r") == std::string::npos) {
            continue;
        }
        std::string error;
        std::optional<ServerItem> item = ItemInput::FromJson(line, error);
        if (!item) {
            std::cerr << "tallyhawk-server: line " << number << ": " << error << ".\n";
            badLine = number;
            break;
        }
        good.push_back(std::move(*item));
    }
    if (!badLine && file.bad()) {
        std::cerr << "tallyhawk-server: " << options.positionals()[0] << " could not be read to its end.\n";
        badLine = 0;
    }
    if (badLine && options.Has("--all-or-nothing")) {
        std::cout << "Imported nothing.\n";
        return kExitFailure;
    }
    const std::unique_ptr<ItemStore> store = OpenDatabase(options);
    if (!store) {
        return kExitFailure;
    }
    ItemStore& items = *store;
    std::string error;
    if (!items.PostAll(good, &error)) {
        std::cerr << "tallyhawk-server: Nothing was imported: " << error << ".\n";
        return kExitFailure;
    }
    std::cout << "Imported " << Items(good.size());
    if (badLine && *badLine > 0) {
        std::cout << "; line " << *badLine << " and the lines after it were not imported";
    }
    std::cout << ".\n";
    return badLine ? kExitFailure : kExitOk;
}

int RunListAdd(const std::string& list, const std::vector<std::string>& args)
{
    ServerOptions options;
    if (std::optional<std::string> error = options.Parse(args, {"--db"}, {})) {
        return Usage(list, *error);
    }
    if (options.positionals().size() != 2 || options.positionals()[0] != "add"
        || options.positionals()[1].size() < 2) {
        return Usage(list, "use: " + list + " add NAME (a name of 2 characters or more).");
    }
    const std::unique_ptr<ItemStore> store = OpenDatabase(options);
    if (!store) {
        return kExitFailure;
    }
    ItemStore& items = *store;
    const std::string& name = options.positionals()[1];
    std::string error;
    std::optional<std::int32_t> id
        = list == "stores" ? items.AddStore(name, &error) : items.AddCategory(name, &error);
    if (!id) {
        std::cerr << "tallyhawk-server: " << name << " was not added: " << error << ".\n";
        return kExitFailure;
    }
    std::cout << name << " has id " << *id << ".\n";
    return kExitOk;
}

} // namespace tallyhawk::server
