#include "cli/commands.h"
#include "cli/file_failure.h"
#include "cli/product_options.h"
#include "cli/shopping_failure.h"
#include "cli/shopping_output.h"
#include "cli/subcommand_action.h"
#include "cli/view_filter_options.h"
#include "core/common/clock.h"
#include "core/common/time_span.h"
#include "core/shopping/purchase_type.h"
#include "core/shopping/shopping_database.h"
#include "core/shopping/shopping_list_commands.h"

#include <filesystem>
#include <nlohmann/json.hpp>
#include <ostream>

namespace tallyhawk::cli
{
namespace
{

constexpr std::int32_t kProducts = ShoppingDatabase::kProducts;
constexpr std::int32_t kPurchases = ShoppingDatabase::kPurchases;

bool Missing(const std::string& file)
{
    std::error_code error;
    return !std::filesystem::exists(file, error) && !error;
}

// The database of the data folder with its lists; a damaged list only matters to a typed name.
void OpenDatabase(ShoppingDatabase& database)
{
    database.Open({}, true);
}

const char* RecordWord(std::int32_t kind)
{
    return kind == kProducts ? "product" : "purchase";
}

int NoRecord(CliContext& ctx, std::int32_t kind, std::int32_t id)
{
    return Failure(ctx, std::string("No ") + RecordWord(kind) + " with id " + std::to_string(id) + ".");
}

// A record that could not be looked for: damage before it is named as damage, with the repair, since
// the record may well be behind it.
int LookupFailure(CliContext& ctx, std::int32_t kind, int status)
{
    const std::string file = ShoppingFileName(kind);
    if (status == kBadFormat || status == kBadMarker) {
        return Failure(
            ctx,
            DamagedText(file, kind == kProducts ? "shopping repair products" : "shopping repair purchases"));
    }
    return Failure(ctx, ShoppingFailureText(file, status));
}

// The ID positional of a command that names one record.
std::optional<std::int32_t> RecordId(const CommandLine& commandLine)
{
    std::optional<std::int32_t> id = ParseInt32(commandLine.positionals()[0]);
    return id && *id >= 1 ? id : std::nullopt;
}

int RunAdd(CliContext& ctx, const Arguments& args)
{
    CommandLine commandLine("products add", "Add a product to the shopping list and print its id.");
    commandLine.Positional("NAME", "the product's name (at most 50 characters; 49 are kept)");
    ProductOptions::Declare(commandLine);
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }
    std::string error;
    std::optional<ProductOptions> options
        = ProductOptions::Read(commandLine, commandLine.positionals()[0], error);
    if (!options) {
        return UsageError(ctx, "products add", error);
    }
    if (!EnterDataFolder(ctx, commandLine)) {
        return kExitFailure;
    }
    ShoppingDatabase database;
    OpenDatabase(database);
    ShoppingValues values;
    values.quantity = 1;
    options->ApplyTo(values, database, true);
    const ShoppingListCommands::SaveOutcome saved = ShoppingListCommands(database).Save(kProducts, 0, values);
    if (saved.refusal) {
        return UsageError(ctx, "products add", *saved.refusal);
    }
    if (!saved.record) {
        return Failure(ctx, ShoppingFailureText("product.dat", saved.status));
    }
    ctx.out << saved.record->id << "\n";
    return kExitOk;
}

int RunEdit(CliContext& ctx, const Arguments& args)
{
    CommandLine commandLine("products edit",
                            "Change a product; what no option names stays. As in the product editor, a saved "
                            "product starts its schedule again (its last purchase is forgotten).");
    commandLine.Positional("ID", "the product's id").Option("--name", "NAME", "the product's new name");
    ProductOptions::Declare(commandLine);
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }
    std::optional<std::int32_t> id = RecordId(commandLine);
    if (!id) {
        return UsageError(ctx, "products edit", "ID must be a whole number of 1 or more.");
    }
    std::string error;
    std::optional<ProductOptions> options
        = ProductOptions::Read(commandLine, commandLine.Value("--name"), error);
    if (!options) {
        return UsageError(ctx, "products edit", error);
    }
    if (!EnterDataFolder(ctx, commandLine)) {
        return kExitFailure;
    }
    ShoppingDatabase database;
    OpenDatabase(database);
    int found = kOk;
    std::optional<ShoppingRecord> old = database.Find(kProducts, *id, &found);
    if (!old) {
        return found == kNoSuchRecord ? NoRecord(ctx, kProducts, *id) : LookupFailure(ctx, kProducts, found);
    }
    ShoppingValues values = old->Values();
    options->ApplyTo(values, database, false);
    const ShoppingListCommands::SaveOutcome saved
        = ShoppingListCommands(database).Save(kProducts, *id, values);
    if (saved.refusal) {
        return UsageError(ctx, "products edit", *saved.refusal);
    }
    if (!saved.record) {
        return saved.status == kNoSuchRecord ? NoRecord(ctx, kProducts, *id)
                                             : Failure(ctx, ShoppingFailureText("product.dat", saved.status));
    }
    ctx.out << "Saved product " << *id << ".\n";
    return kExitOk;
}

// purchase, skip and delete of one record.
enum class Command
{
    Purchase,
    Skip,
    Delete,
};

int RunMark(CliContext& ctx, const Arguments& args, std::int32_t kind, Command command)
{
    const std::string group = kind == kProducts ? "products" : "purchases";
    const std::string name = group
        + (command == Command::Purchase   ? " purchase"
               : command == Command::Skip ? " skip"
                                          : " delete");
    const char* summary = command == Command::Purchase
        ? "Mark a product purchased today and add its purchase to the Purchase History."
        : command == Command::Skip
        ? "Skip the occurrence of a recurring product that is due now: it comes back at its next date."
        : kind == kProducts ? "Delete a product (for a recurring one, the whole series)."
                            : "Delete a purchase.";
    CommandLine commandLine(name, summary);
    commandLine.Positional("ID", std::string("the ") + RecordWord(kind) + "'s id");
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }
    std::optional<std::int32_t> id = RecordId(commandLine);
    if (!id) {
        return UsageError(ctx, name, "ID must be a whole number of 1 or more.");
    }
    if (!EnterDataFolder(ctx, commandLine)) {
        return kExitFailure;
    }
    const std::string file = ShoppingFileName(kind);
    if (Missing(file)) {
        return NoRecord(ctx, kind, *id);
    }
    ShoppingDatabase database;
    OpenDatabase(database);
    ShoppingListCommands commands(database);
    int result = 0;
    if (command == Command::Skip) {
        std::optional<ShoppingRecord> product = database.Find(kind, *id);
        if (product && !IsRecurring(product->purchaseType)) {
            return Failure(ctx,
                           "Product " + std::to_string(*id)
                               + " is not a recurring purchase, so it has no occurrence to skip.");
        }
        result = commands.DeleteProduct(*id, ShoppingListCommands::Deletion::SkipOccurrence);
    } else if (command == Command::Purchase) {
        result = commands.Purchase(*id);
    } else {
        result = kind == kProducts ? commands.DeleteProduct(*id, ShoppingListCommands::Deletion::WholeProduct)
                                   : commands.DeletePurchase(*id);
    }
    if (result == kNoSuchRecord) {
        return NoRecord(ctx, kind, *id);
    }
    if (result < 0) {
        return Failure(ctx, ShoppingFailureText(file, result));
    }
    switch (command) {
    case Command::Purchase:
        ctx.out << "Marked product " << *id << " as purchased; its purchase is in the Purchase History.\n";
        break;
    case Command::Skip:
        ctx.out << "Skipped the occurrence of product " << *id << " that was due.\n";
        break;
    case Command::Delete:
        ctx.out << "Deleted " << RecordWord(kind) << " " << *id << ".\n";
        break;
    }
    return kExitOk;
}

int RunList(CliContext& ctx, const Arguments& args, std::int32_t kind)
{
    const std::string name = kind == kProducts ? "products list" : "purchases list";
    CommandLine commandLine(
        name,
        kind == kProducts ? "Print the Shopping List: the products due up to the end of the time span (and "
                            "overdue ones), latest due date first."
                          : "Print the Purchase History: the purchases made in the time span.");
    const char* what = kind == kProducts ? "products due" : "purchases made";
    commandLine.Option("--days", "N", std::string(what) + " up to tonight, the span N days back; 0 is today")
        .Option("--from", "YYYY-MM-DD", std::string(what) + " on or after this day")
        .Option("--to", "YYYY-MM-DD", std::string(what) + " on or before this day")
        .Option("--store", "ID", "only this store")
        .Option("--category", "ID", "only this category")
        .Option("--search", "WORDS", "names that hold every word")
        .Flag("--json", "machine-readable output");
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }
    std::string error;
    // Without time options, the main window's start-up filter: "Last 7 Days".
    std::optional<ItemFilter> filter = FilterFromOptions(commandLine, error, TimeSpan::kLast7Days);
    if (!filter) {
        return UsageError(ctx, name, error);
    }
    if (!EnterDataFolder(ctx, commandLine)) {
        return kExitFailure;
    }
    const std::string file = ShoppingFileName(kind);
    ShoppingDatabase database;
    OpenDatabase(database);
    int status = kOk;
    // A file that was never written holds no records yet: an empty view, not a failure.
    if (!Missing(file)) {
        status = database.LoadView(kind, *filter);
        if (status == kCannotOpen) {
            return Failure(ctx, ShoppingFailureText(file, status));
        }
    }
    const std::vector<ShoppingRecord> records = database.ViewRecords();
    const ShoppingNames names{database.Stores(), database.Categories(), database.Units()};
    if (commandLine.Has("--json")) {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const ShoppingRecord& record : records) {
            list.push_back(ShoppingRecordJson(record, names));
        }
        ctx.out << nlohmann::ordered_json{{"count", records.size()}, {"records", std::move(list)}}.dump(2)
                << "\n";
    } else {
        for (const ShoppingRecord& record : records) {
            PrintShoppingRecord(ctx.out, record, names, kind == kProducts);
        }
        ctx.out << records.size() << " " << RecordWord(kind) << (records.size() == 1 ? "\n" : "s\n");
    }
    if (status < 0) {
        return Failure(ctx, file + " is damaged: only the records before the damage are shown.");
    }
    return kExitOk;
}

} // namespace

int RunProducts(CliContext& ctx, const Arguments& args)
{
    const std::string usage
        = "Usage: tallyhawk-cli products ACTION [ARGS...]\n\n"
          "Actions:\n"
          "  add NAME [options]       add a product to the shopping list; prints its id\n"
          "  edit ID [options]        change a product\n"
          "  purchase ID              mark a product purchased and add its purchase\n"
          "  skip ID                  skip the occurrence of a recurring product due now\n"
          "  delete ID                delete a product (a recurring one with its series)\n"
          "  list [options]           the Shopping List: products due and overdue\n\n"
          "Run 'tallyhawk-cli products ACTION --help' for the options of one action.\n";
    return DispatchAction(ctx,
                          "products",
                          args,
                          usage,
                          {
                              {"add", RunAdd},
                              {"edit", RunEdit},
                              {"purchase",
                               [](CliContext& c, const Arguments& a) {
                                   return RunMark(c, a, kProducts, Command::Purchase);
                               }},
                              {"skip",
                               [](CliContext& c, const Arguments& a) {
                                   return RunMark(c, a, kProducts, Command::Skip);
                               }},
                              {"delete",
                               [](CliContext& c, const Arguments& a) {
                                   return RunMark(c, a, kProducts, Command::Delete);
                               }},
                              {"list",
                               [](CliContext& c, const Arguments& a) {
                                   return RunList(c, a, kProducts);
                               }},
                          });
}

int RunPurchases(CliContext& ctx, const Arguments& args)
{
    const std::string usage = "Usage: tallyhawk-cli purchases ACTION [ARGS...]\n\n"
                              "Actions:\n"
                              "  list [options]           the Purchase History\n"
                              "  delete ID                delete a purchase\n\n"
                              "Run 'tallyhawk-cli purchases ACTION --help' for the options of one action.\n";
    return DispatchAction(ctx,
                          "purchases",
                          args,
                          usage,
                          {
                              {"list",
                               [](CliContext& c, const Arguments& a) {
                                   return RunList(c, a, kPurchases);
                               }},
                              {"delete",
                               [](CliContext& c, const Arguments& a) {
                                   return RunMark(c, a, kPurchases, Command::Delete);
                               }},
                          });
}

} // namespace tallyhawk::cli
