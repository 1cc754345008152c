#include "cli/cli_program.h"

#include <unistd.h>

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    // Past the file size limit a write then fails with EFBIG, reported like a full disk, instead of the
    // signal ending the program in the middle of a record.
    std::signal(SIGXFSZ, SIG_IGN);
    tallyhawk::cli::CliContext ctx{
        std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1, ::isatty(STDOUT_FILENO) == 1};
    return tallyhawk::cli::RunCliProgram(ctx, std::vector<std::string>(argv + 1, argv + argc));
}
