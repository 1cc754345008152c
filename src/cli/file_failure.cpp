#include "cli/file_failure.h"

#include <sys/stat.h>

#include <ostream>

namespace tallyhawk::cli
{

std::string CannotOpenReason(const std::string& file)
{
    struct stat info
    { };
    if (::stat(file.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            return " cannot be opened: it is a folder, not a file. Move or remove the folder.";
        }
        if (!S_ISREG(info.st_mode)) {
            return " cannot be opened: it is not a file (a pipe, a socket or a device). Move or remove it.";
        }
    }
    return " cannot be opened: another program is using it or it is not accessible. Try again when the "
           "other program is done, or check the file's permissions.";
}

std::string DamagedText(const std::string& file, const std::string& repairCommand)
{
    return file + " is damaged: its markers or record sizes are wrong. Run 'tallyhawk-cli " + repairCommand
        + "' to save its whole records.";
}

int ReportRepair(CliContext& ctx, const std::string& file, const RecordRepair& repair)
{
    auto records = [](std::uint64_t count) {
        return std::to_string(count) + (count == 1 ? " record" : " records");
    };
    if (repair.status == kCannotOpen) {
        return Failure(ctx, file + CannotOpenReason(file) + " Nothing was repaired.");
    }
    if (repair.status != kOk) {
        std::string copy = repair.damagedCopy.empty() ? std::string() : " (see " + repair.damagedCopy + ")";
        return Failure(
            ctx, "The repaired " + file + " could not be written" + copy + "; " + file + " is unchanged.");
    }
    if (!repair.replaced) {
        ctx.out << file << " is whole (" << records(repair.saved) << "); nothing to repair.\n";
        return kExitOk;
    }
    ctx.out << "Repaired " << file << ": " << records(repair.saved) << " saved, " << records(repair.lost)
            << " lost (" << repair.damagedBytes << " damaged bytes). The old file is kept as "
            << repair.damagedCopy << ".\n";
    return kExitOk;
}

std::string ItemsRepairCommand(const std::string& file)
{
    return file == "topic.lst" ? "items repair topics" : "items repair deals";
}

} // namespace tallyhawk::cli
