#include "cli/commands.h"

namespace tallyhawk::cli {

int RunSiteUrl(CliContext& ctx, const Arguments&)
{
    return Failure(ctx, "This command is not available yet.");
}

} // namespace tallyhawk::cli
