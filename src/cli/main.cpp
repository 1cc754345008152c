#include "cli/cli_program.h"

#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    tallyhawk::cli::CliContext ctx{
        std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1, ::isatty(STDOUT_FILENO) == 1};
    return tallyhawk::cli::RunCliProgram(ctx, std::vector<std::string>(argv + 1, argv + argc));
}
