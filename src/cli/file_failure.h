#pragma once

#include "cli/cli_context.h"
#include "core/platform/record_repair.h"

#include <string>

namespace tallyhawk::cli
{

// Why a data file cannot be opened, with what to do, as the end of a sentence that starts with its
// name: "deal.lst" + CannotOpenReason("deal.lst") reads "deal.lst cannot be opened: it is a folder...".
std::string CannotOpenReason(const std::string& file);

// A record file damaged before its end, as one sentence naming the command that saves its whole
// records ("items repair deals").
std::string DamagedText(const std::string& file, const std::string& repairCommand);

// Prints what a repair of `file` did, or returns the failure's exit status after saying why.
int ReportRepair(CliContext& ctx, const std::string& file, const RecordRepair& repair);

// "items repair deals" for "deal.lst", "items repair topics" for "topic.lst".
std::string ItemsRepairCommand(const std::string& file);

} // namespace tallyhawk::cli
