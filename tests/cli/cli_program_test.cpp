#include "cli_in_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace tallyhawk
{
namespace
{

using test::ProgramRun;
using test::RunCliInProcess;

// Catches what reaches the process's own stdout and stderr while it lives.
class CaughtStandardStreams
{
public:
    CaughtStandardStreams()
        : out_(std::cout.rdbuf(outText_.rdbuf()))
        , err_(std::cerr.rdbuf(errText_.rdbuf()))
    { }
    ~CaughtStandardStreams()
    {
        std::cout.rdbuf(out_);
        std::cerr.rdbuf(err_);
    }
    CaughtStandardStreams(const CaughtStandardStreams&) = delete;
    CaughtStandardStreams& operator=(const CaughtStandardStreams&) = delete;

    std::string Text() const { return outText_.str() + errText_.str(); }

private:
    std::ostringstream outText_;
    std::ostringstream errText_;
    std::streambuf* out_;
    std::streambuf* err_;
};

// The command names of the usage text: the first word of each line under "Commands:".
std::vector<std::string> CommandNames(const std::string& usage)
{
    std::vector<std::string> names;
    std::istringstream lines(usage.substr(usage.find("Commands:\n") + 10));
    std::string line;
    while (std::getline(lines, line) && line.rfind("  ", 0) == 0) {
        names.push_back(line.substr(2, line.find(' ', 2) - 2));
    }
    return names;
}

// A caller in the same process catches everything the program says: every command answers --help on
// the context it was given, and nothing goes to the process's own streams.
TEST(CliProgram, EveryCommandAnswersHelpOnTheGivenStreamsAlone)
{
    test::TempDir dir;
    CaughtStandardStreams standard;
    const ProgramRun usage = RunCliInProcess({"--help"}, dir.path());
    ASSERT_EQ(usage.exitCode, 0);
    const std::vector<std::string> names = CommandNames(usage.out);
    EXPECT_EQ(names.size(), 19u) << usage.out;
    for (const std::string& name : names) {
        const ProgramRun run = RunCliInProcess({name, "--help"}, dir.path());
        EXPECT_EQ(run.exitCode, 0) << name << ": " << run.err;
        EXPECT_NE(run.out.find(name), std::string::npos) << name << ": " << run.out;
        EXPECT_EQ(run.err, "") << name;
    }
    EXPECT_EQ(standard.Text(), "");
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(CliProgram, WordsBeforeTheCommand)
{
    test::TempDir dir;
    const std::string data = dir.File("data");
    const struct
    {
        std::vector<std::string> args;
        int exitCode;
        const char* err;
    } cases[] = {
        {{}, 2, "Usage: tallyhawk-cli [--data-dir DIR] COMMAND [ARGS...]\n"},
        {{"frob"}, 2, "tallyhawk-cli: Unknown command frob. See 'tallyhawk-cli --help'.\n"},
        {{"--data-dir"}, 2, "tallyhawk-cli: --data-dir needs the data folder after it.\n"},
        {{"--data-dir", "", "lists"}, 2, "tallyhawk-cli: --data-dir needs the data folder after it.\n"},
        {{"--data-dir=", "lists"}, 2, "tallyhawk-cli: --data-dir needs the data folder after it.\n"},
        {{"--data-dir", data, "lists", "add", "store.lst", "Corner Shop"}, 0, ""},
        {{"--data-dir=" + data, "lists", "add", "store.lst", "Big Mart"}, 0, ""},
    };
    for (const auto& [args, exitCode, err] : cases) {
        const ProgramRun run = RunCliInProcess(args, dir.path());
        EXPECT_EQ(run.exitCode, exitCode) << testing::PrintToString(args);
        EXPECT_EQ(run.err.substr(0, std::string(err).size()), err) << testing::PrintToString(args);
    }
    // Both runs with a folder before the command stored their entry there.
    const ProgramRun shown = RunCliInProcess({"lists", "show", "store.lst", "--data-dir", data}, dir.path());
    EXPECT_NE(shown.out.find("Corner Shop"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("Big Mart"), std::string::npos) << shown.out;
}

} // namespace
} // namespace tallyhawk
