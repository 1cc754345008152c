#include "cli/commands.h"

namespace tallyhawk::cli {

int RunListsUpdate(CliContext& ctx, const Arguments&)
{
    return Failure(ctx, "This command is not available yet.");
}

int RunListsRefresh(CliContext& ctx, const Arguments&)
{
    return Failure(ctx, "This command is not available yet.");
}

} // namespace tallyhawk::cli
