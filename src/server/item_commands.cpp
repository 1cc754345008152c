#include "server/item_database.h"
#include "server/item_input.h"
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

// Opens the --db file, or reports why not.
bool OpenDatabase(ItemDatabase& items, const ServerOptions& options)
{
    if (std::optional<std::string> error = items.Open(options.Value("--db").value_or(kDefaultDatabase))) {
        std::cerr << "tallyhawk-server: " << *error << ".\n";
        return false;
    }
    return true;
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
    item.description = options.Value("--description").value_or("");
    item.extra = options.Value("--extra").value_or("");
    item.hot = options.Has("--hot") ? 1 : 0;
    ItemDatabase items;
    if (!OpenDatabase(items, options)) {
        return kExitFailure;
    }
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
    if (std::optional<std::string> error = options.Parse(args, {"--db"}, {})) {
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
    ItemDatabase items;
    if (!OpenDatabase(items, options)) {
        return kExitFailure;
    }
    std::string line;
    int number = 0;
    int posted = 0;
    int failed = 0;
    while (std::getline(file, line)) {
        ++number;
        if (line.find_first_not_of(" \t\r") == std::string::npos) {
            continue;
        }
        std::string error;
        std::optional<ServerItem> item = ItemInput::FromJson(line, error);
        if (item && !items.Post(*item, &error)) {
            item.reset();
        }
        if (!item) {
            std::cerr << "tallyhawk-server: line " << number << " skipped: " << error << ".\n";
            ++failed;
            continue;
        }
        ++posted;
    }
    std::cout << "Imported " << posted << (posted == 1 ? " item" : " items") << ".\n";
    return failed == 0 ? kExitOk : kExitFailure;
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
    ItemDatabase items;
    if (!OpenDatabase(items, options)) {
        return kExitFailure;
    }
    const std::string& name = options.positionals()[1];
    std::optional<std::int32_t> id = list == "stores" ? items.AddStore(name) : items.AddCategory(name);
    if (!id) {
        std::cerr << "tallyhawk-server: The " << list << " list is full.\n";
        return kExitFailure;
    }
    std::cout << name << " has id " << *id << ".\n";
    return kExitOk;
}

} // namespace tallyhawk::server
