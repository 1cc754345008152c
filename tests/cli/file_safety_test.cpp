// The CLI's data and output files under other processes, damage and odd file types.
#include "core/common/byte_text.h"
#include "core/store/item_store.h"
#include "support/cli_process.h"
#include "support/fake_deal_server.h"
#include "support/file_size_limit.h"
#include "support/held_file_lock.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "support/test_http_server.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

namespace tallyhawk
{
namespace
{

using test::FakeDealServer;
using test::FakeItem;
using test::HeldFileLock;
using test::ProgramRun;
using test::ReadFileBytes;
using test::WriteFileBytes;

constexpr std::size_t kFrameSize = 4 + ItemRecord::kSize;

std::vector<FakeItem> Deals(std::int32_t firstId, int count)
{
    std::vector<FakeItem> items;
    for (int i = 0; i < count; ++i) {
        FakeItem item;
        item.id = firstId + i;
        item.kind = 2;
        item.categoryId = 4;
        item.title = "Deal " + std::to_string(firstId + i);
        items.push_back(item);
    }
    return items;
}

// The ids in a list file, in file order.
std::vector<std::int32_t> StoredIds(const std::string& path)
{
    const std::string bytes = ReadFileBytes(path);
    std::vector<std::int32_t> ids;
    for (std::size_t at = 4; at + kFrameSize <= bytes.size(); at += kFrameSize) {
        ids.push_back(static_cast<std::int32_t>(
            LoadLe32(reinterpret_cast<const unsigned char*>(bytes.data() + at + 4))));
    }
    return ids;
}

class FileSafetyTest : public ::testing::Test
{
protected:
    void SetUp() override { std::filesystem::create_directories(data()); }

    ProgramRun Run(std::vector<std::string> args, const std::function<void(pid_t)>& whileRunning = {})
    {
        args.insert(args.end(), {"--data-dir", data()});
        return test::RunProgram(TALLYHAWK_CLI_PATH, args, dir.path(), whileRunning);
    }
    std::vector<std::string> FetchArgs() const
    {
        return {"fetch-items",
                "--kind",
                "deals",
                "--store",
                "--host",
                "127.0.0.1",
                "--port",
                std::to_string(server.port())};
    }
    ProgramRun Fetch(const std::function<void(pid_t)>& whileRunning = {})
    {
        return Run(FetchArgs(), whileRunning);
    }
    // Runs the commands side by side, each catching its output in a folder of its own; their exit codes.
    std::vector<int> RunAtOnce(const std::vector<std::vector<std::string>>& commands)
    {
        std::vector<int> exits(commands.size(), -1);
        std::vector<std::thread> runs;
        for (std::size_t i = 0; i < commands.size(); ++i) {
            runs.emplace_back([&, i] {
                test::TempDir own;
                std::vector<std::string> args = commands[i];
                args.insert(args.end(), {"--data-dir", data()});
                exits[i] = test::RunProgram(TALLYHAWK_CLI_PATH, args, own.path()).exitCode;
            });
        }
        for (std::thread& run : runs) {
            run.join();
        }
        return exits;
    }
    std::string data() const { return dir.File("data"); }
    std::string deals() const { return dir.File("data/deal.lst"); }

    test::TempDir dir;
    FakeDealServer server;
};

TEST_F(FileSafetyTest, AFailedWriteIsReportedNotCountedAsKept)
{
    server.PushReply(FakeDealServer::ItemReply(1006, Deals(1, 2)));
    ASSERT_EQ(Fetch().exitCode, 0);
    const std::string before = ReadFileBytes(deals());

    // Another process reads the file for longer than a writer waits: the merge cannot append.
    server.PushReply(FakeDealServer::ItemReply(1006, Deals(3, 50)));
    ProgramRun run;
    {
        HeldFileLock reader(deals(), HeldFileLock::Kind::Shared);
        ASSERT_TRUE(reader.held());
        run = Fetch();
    }
    EXPECT_EQ(run.exitCode, 1) << run.out;
    EXPECT_NE(run.out.find("0 new items kept in deal.lst."), std::string::npos) << run.out;
    EXPECT_EQ(run.err,
              "tallyhawk-cli: Storing the items stopped after 0 of them: deal.lst cannot be opened: another "
              "program is using it or it is not accessible. Try again when the other program is done, or "
              "check the file's permissions.\n");
    EXPECT_EQ(ReadFileBytes(deals()), before);

    // The next run asks again after what was stored, not after what was merely received.
    server.PushReply(FakeDealServer::ItemReply(1006, {}));
    ASSERT_EQ(Fetch().exitCode, 0);
    EXPECT_EQ(server.Requests().back().substr(7), "10062<~>");
}

TEST_F(FileSafetyTest, AWriteThatFailsHalfWayStopsTheMergeAndLeavesTheFileWhole)
{
    server.PushReply(FakeDealServer::ItemReply(1006, Deals(1, 10)));
    ProgramRun run;
    {
        // Room for the empty file and three records, as on a disk that fills up.
        test::ScopedFileSizeLimit limit(8 + 3 * kFrameSize + 100);
        ASSERT_TRUE(limit.active());
        run = Fetch();
    }
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.out.find("3 new items kept in deal.lst."), std::string::npos) << run.out;
    EXPECT_EQ(run.err,
              "tallyhawk-cli: Storing the items stopped after 3 of them: deal.lst could not be written (the "
              "disk may be full); it holds what was kept before.\n");
    EXPECT_EQ(StoredIds(deals()), (std::vector<std::int32_t>{1, 2, 3}));
    EXPECT_EQ(ReadFileBytes(deals()).size(), 8 + 3 * kFrameSize);

    // The next run asks after the last id stored and keeps the rest.
    server.PushReply(FakeDealServer::ItemReply(1006, Deals(4, 7)));
    run = Fetch();
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(server.Requests().back().substr(7), "10063<~>");
    EXPECT_EQ(StoredIds(deals()).size(), 10u);
}

TEST_F(FileSafetyTest, TheFileSizeLimitFailsAWriteInsteadOfEndingTheProgram)
{
    ASSERT_EQ(Run({"products", "add", "Milk"}).exitCode, 0);
    const std::string path = dir.File("data/product.dat");
    const std::string before = ReadFileBytes(path);
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    ProgramRun run;
    {
        // The signal as a shell leaves it: its default ends the program.
        const auto handler = std::signal(SIGXFSZ, SIG_DFL);
        rlimit lowered = old;
        lowered.rlim_cur = before.size() + 1000;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &lowered), 0);
        run = Run({"products", "add", "Bread"});
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, handler);
    }
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_EQ(run.err,
              "tallyhawk-cli: product.dat (or a list it needs) is damaged or could not be written; it is "
              "unchanged. If it is damaged, 'tallyhawk-cli shopping repair products' saves its whole "
              "records.\n");
    EXPECT_EQ(ReadFileBytes(path), before);
}

TEST_F(FileSafetyTest, AWriterWaitsForAnotherProcessToLetGo)
{
    server.PushReply(FakeDealServer::ItemReply(1006, Deals(1, 1)));
    ASSERT_EQ(Fetch().exitCode, 0);
    server.PushReply(FakeDealServer::ItemReply(1006, Deals(2, 3)));
    HeldFileLock writer(deals(), HeldFileLock::Kind::Exclusive);
    ASSERT_TRUE(writer.held());
    // Let go only once the CLI has the file open and is waiting for it.
    ProgramRun run = Fetch([&](pid_t pid) {
        EXPECT_TRUE(test::WaitUntilOpenedBy(pid, deals()));
        writer.Release();
    });
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("3 new items kept in deal.lst."), std::string::npos) << run.out;
    EXPECT_EQ(StoredIds(deals()), (std::vector<std::int32_t>{1, 2, 3, 4}));
}

TEST_F(FileSafetyTest, ParallelMarksAllSucceed)
{
    server.PushReply(FakeDealServer::ItemReply(1006, Deals(1, 20)));
    ASSERT_EQ(Fetch().exitCode, 0);
    std::vector<std::vector<std::string>> marks;
    for (int id = 1; id <= 20; ++id) {
        marks.push_back({"items", "mark-read", "deals", std::to_string(id), "2"});
    }
    EXPECT_EQ(RunAtOnce(marks), std::vector<int>(20, 0));
    ProgramRun list = Run({"items", "list", "deals", "--json"});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    const nlohmann::json items = nlohmann::json::parse(list.out)["items"];
    ASSERT_EQ(items.size(), 20u);
    for (const auto& item : items) {
        EXPECT_EQ(item["read"], 1) << item["id"];
    }
}

TEST_F(FileSafetyTest, TwoMergesOfOneReplyAtOnceStoreItOnce)
{
    for (int i = 0; i < 2; ++i) {
        server.PushReply(FakeDealServer::ItemReply(1006, Deals(1, 30)));
    }
    EXPECT_EQ(RunAtOnce({FetchArgs(), FetchArgs()}), (std::vector<int>{0, 0}));
    std::vector<std::int32_t> ids = StoredIds(deals());
    EXPECT_EQ(ids.size(), 30u);
    EXPECT_EQ(std::set<std::int32_t>(ids.begin(), ids.end()).size(), ids.size());
}

TEST_F(FileSafetyTest, ParallelAddsKeepEveryNewStoreWithItsProduct)
{
    constexpr int kRounds = 6;
    constexpr int kAtOnce = 4;
    for (int round = 0; round < kRounds; ++round) {
        std::vector<std::vector<std::string>> adds;
        for (int i = 0; i < kAtOnce; ++i) {
            const std::string n = std::to_string(round) + std::to_string(i);
            adds.push_back({"products", "add", "P" + n, "--store", "S" + n});
        }
        ASSERT_EQ(RunAtOnce(adds), std::vector<int>(kAtOnce, 0));
    }
    ProgramRun list = Run({"products", "list", "--json"});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    const nlohmann::json products = nlohmann::json::parse(list.out)["records"];
    ASSERT_EQ(products.size(), static_cast<std::size_t>(kRounds * kAtOnce));
    std::set<std::int32_t> storeIds;
    for (const auto& product : products) {
        const std::string name = product["name"];
        EXPECT_EQ(product["storeName"], "S" + name.substr(1)) << name;
        storeIds.insert(product["storeId"].get<std::int32_t>());
    }
    EXPECT_EQ(storeIds.size(), static_cast<std::size_t>(kRounds * kAtOnce));
}

TEST_F(FileSafetyTest, DamagedListRefusesAppendsUntilRepaired)
{
    server.PushReply(FakeDealServer::ItemReply(1006, Deals(1, 3)));
    ASSERT_EQ(Fetch().exitCode, 0);
    // The second record's marker goes bad; the file still ends in its end marker.
    std::string bytes = ReadFileBytes(deals());
    bytes[4 + kFrameSize] = 'X';
    WriteFileBytes(deals(), bytes);
    const std::string damagedText = "deal.lst is damaged: its markers or record sizes are wrong. Run "
                                    "'tallyhawk-cli items repair deals' to save its whole records.";

    ProgramRun list = Run({"items", "list", "deals"});
    EXPECT_EQ(list.exitCode, 1);
    EXPECT_EQ(list.err, "tallyhawk-cli: " + damagedText + " Only the items before the damage are shown.\n");

    for (int i = 0; i < 2; ++i) {
        server.PushReply(FakeDealServer::ItemReply(1006, Deals(4, 2)));
        ProgramRun run = Fetch();
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err,
                  "tallyhawk-cli: Storing the items stopped after 0 of them: " + damagedText
                      + " Nothing is added after the damage.\n");
        EXPECT_EQ(ReadFileBytes(deals()), bytes); // the file does not grow run after run
    }

    ProgramRun repair = Run({"items", "repair", "deals"});
    ASSERT_EQ(repair.exitCode, 0) << repair.err;
    EXPECT_EQ(repair.out,
              "Repaired deal.lst: 2 records saved, 1 record lost (484 damaged bytes). The old file is kept "
              "as deal.lst.damaged.\n");
    EXPECT_EQ(ReadFileBytes(deals() + ".damaged"), bytes);
    EXPECT_EQ(StoredIds(deals()), (std::vector<std::int32_t>{1, 3}));
    EXPECT_EQ(Run({"items", "repair", "deals"}).out, "deal.lst is whole (2 records); nothing to repair.\n");
    EXPECT_EQ(Run({"items", "repair", "topics"}).out, "topic.lst does not exist; nothing to repair.\n");

    server.PushReply(FakeDealServer::ItemReply(1006, Deals(4, 2)));
    ASSERT_EQ(Fetch().exitCode, 0);
    EXPECT_EQ(StoredIds(deals()), (std::vector<std::int32_t>{1, 3, 4, 5}));
}

TEST_F(FileSafetyTest, ArchivesGoThroughLinksToTheFilesTheyName)
{
    server.PushReply(FakeDealServer::ItemReply(1006, Deals(1, 3)));
    ASSERT_EQ(Fetch().exitCode, 0);
    ASSERT_EQ(Run({"products", "add", "Milk"}).exitCode, 0);
    ASSERT_EQ(Run({"products", "add", "Bread"}).exitCode, 0);
    ASSERT_EQ(Run({"items", "delete", "deals", "2", "2"}).exitCode, 0);
    ASSERT_EQ(Run({"products", "delete", "1"}).exitCode, 0);
    // The data files live in another folder, reached by a relative and by an absolute link.
    const std::string elsewhere = dir.File("elsewhere");
    std::filesystem::create_directories(elsewhere);
    std::filesystem::rename(deals(), elsewhere + "/deal.lst");
    std::filesystem::rename(dir.File("data/product.dat"), elsewhere + "/product.dat");
    std::filesystem::create_symlink("../elsewhere/deal.lst", deals());
    std::filesystem::create_symlink(elsewhere + "/product.dat", dir.File("data/product.dat"));

    ProgramRun items = Run({"items", "archive"});
    ASSERT_EQ(items.exitCode, 0) << items.err;
    ProgramRun shopping = Run({"shopping", "archive"});
    ASSERT_EQ(shopping.exitCode, 0) << shopping.err;
    EXPECT_TRUE(std::filesystem::is_symlink(deals()));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("data/product.dat")));
    EXPECT_EQ(StoredIds(elsewhere + "/deal.lst"), (std::vector<std::int32_t>{1, 3}));
    EXPECT_EQ(ReadFileBytes(elsewhere + "/product.dat").size(), 8 + (4 + 2784) + 4);
    EXPECT_FALSE(std::filesystem::exists(dir.File("data/backup.dat")));
    EXPECT_FALSE(std::filesystem::exists(elsewhere + "/backup.dat"));

    // What comes next goes to the files the links name.
    server.PushReply(FakeDealServer::ItemReply(1006, Deals(4, 1)));
    ASSERT_EQ(Fetch().exitCode, 0);
    ASSERT_EQ(Run({"products", "add", "Tea"}).exitCode, 0);
    EXPECT_EQ(StoredIds(elsewhere + "/deal.lst"), (std::vector<std::int32_t>{1, 3, 4}));
    EXPECT_EQ(ReadFileBytes(elsewhere + "/product.dat").size(), 8 + 2 * (4 + 2784) + 4);
}

TEST_F(FileSafetyTest, ShoppingFilesAreRepairedToo)
{
    ASSERT_EQ(Run({"products", "add", "Milk"}).exitCode, 0);
    ASSERT_EQ(Run({"products", "add", "Bread"}).exitCode, 0);
    const std::string path = dir.File("data/product.dat");
    std::string bytes = ReadFileBytes(path);
    constexpr std::size_t kShoppingFrame = 4 + 2784;
    bytes[8 + kShoppingFrame] = 'X'; // the second record's marker
    WriteFileBytes(path, bytes);
    ProgramRun add = Run({"products", "add", "Tea"});
    EXPECT_EQ(add.exitCode, 1);
    EXPECT_NE(
        add.err.find("If it is damaged, 'tallyhawk-cli shopping repair products' saves its whole records."),
        std::string::npos)
        << add.err;
    EXPECT_EQ(ReadFileBytes(path), bytes);

    ProgramRun repair = Run({"shopping", "repair", "products"});
    ASSERT_EQ(repair.exitCode, 0) << repair.err;
    EXPECT_EQ(
        repair.out,
        "Repaired product.dat: 1 record saved, 1 record lost (2788 damaged bytes). The old file is kept "
        "as product.dat.damaged.\n");
    EXPECT_EQ(ReadFileBytes(path + ".damaged"), bytes);
    EXPECT_EQ(ReadFileBytes(path).size(), 8 + kShoppingFrame + 4);
    EXPECT_EQ(Run({"products", "add", "Tea"}).exitCode, 0);
    EXPECT_EQ(Run({"shopping", "repair", "purchases"}).out,
              "purchase.dat does not exist; nothing to repair.\n");
    EXPECT_EQ(Run({"shopping", "repair", "coupons"}).exitCode, 2);
}

TEST_F(FileSafetyTest, DataFilesThatAreNoFilesAreNamedSoWithoutBlocking)
{
    std::filesystem::create_directory(deals());
    ProgramRun run = Run({"items", "list", "deals"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err,
              "tallyhawk-cli: deal.lst cannot be opened: it is a folder, not a file. Move or remove the "
              "folder.\n");

    // Named pipes would block an open for good; every kind of data file is refused at once instead.
    const std::string notAFile
        = " cannot be opened: it is not a file (a pipe, a socket or a device). Move or remove it.";
    for (const char* name : {"topic.lst", "product.dat", "store.lst"}) {
        ASSERT_EQ(::mkfifo(dir.File(std::string("data/") + name).c_str(), 0600), 0) << name;
    }
    run = Run({"items", "list", "topics"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "tallyhawk-cli: topic.lst" + notAFile + "\n");
    run = Run({"items", "repair", "topics"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "tallyhawk-cli: topic.lst" + notAFile + " Nothing was repaired.\n");
    run = Run({"products", "list"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(notAFile), std::string::npos) << run.err;
    run = Run({"lists", "show", "store.lst"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "tallyhawk-cli: The list file store.lst" + notAFile + "\n");
    EXPECT_TRUE(std::filesystem::is_fifo(dir.File("data/topic.lst")));
}

TEST_F(FileSafetyTest, ABrokenSettingsValueIsReportedInOurWordsAlone)
{
    test::TempDir config;
    std::filesystem::create_directories(config.path() / "Quillmarch");
    const std::string file = config.File("Quillmarch/Tallyhawk.conf");
    WriteFileBytes(file, "[General]\nServerPort=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\tJunkType\\0)\n");
    test::ScopedEnv configHome("XDG_CONFIG_HOME", config.path().string());
    ProgramRun run = Run({"config", "show"});
    EXPECT_EQ(run.exitCode, 1);
    const std::size_t line = run.out.find("\nServerPort ");
    ASSERT_NE(line, std::string::npos) << run.out;
    const std::string port = run.out.substr(line + 1, run.out.find('\n', line + 1) - line - 1);
    EXPECT_NE(port.find(" default "), std::string::npos) << port;
    EXPECT_EQ(port.substr(port.size() - 3), " 22") << port;
    EXPECT_EQ(run.err,
              "tallyhawk-cli: The settings file " + file
                  + " could not be read whole; values it did not give are shown as defaults.\n");
}

class OutputFileTest : public ::testing::Test
{
protected:
    ProgramRun FetchPageTo(const std::string& out)
    {
        return test::RunProgram(
            TALLYHAWK_CLI_PATH, {"fetch-page", server.Url("/page"), "--out", out}, dir.path());
    }

    test::TestHttpServer server;
    test::TempDir dir;
};

TEST_F(OutputFileTest, LinksPipesAndFoldersAreWrittenThroughOrRefused)
{
    server.Respond("/page", test::HttpResponse::Make(200, "page body"));
    WriteFileBytes(dir.File("target.html"), "old");
    std::filesystem::create_symlink("target.html", dir.File("link.html"));
    ProgramRun run = FetchPageTo("link.html");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.html")));
    EXPECT_EQ(ReadFileBytes(dir.File("target.html")), "page body");

    // A link to a file not made yet makes that file.
    std::filesystem::create_symlink("later.html", dir.File("dangling.html"));
    ASSERT_EQ(FetchPageTo("dangling.html").exitCode, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("dangling.html")));
    EXPECT_EQ(ReadFileBytes(dir.File("later.html")), "page body");

    const std::string fifo = dir.File("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string piped;
    std::thread reader([&] { piped = ReadFileBytes(fifo); });
    run = FetchPageTo("pipe");
    reader.join();
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(piped, "page body");
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));

    std::filesystem::create_directory(dir.File("folder"));
    run = FetchPageTo("folder");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "tallyhawk-cli: Cannot write folder: it is a folder. Name a file to write.\n");
    EXPECT_TRUE(std::filesystem::is_empty(dir.File("folder")));

    // A device takes the bytes where it is; /dev/full refuses them, and stays a device.
    run = FetchPageTo("/dev/full");
    EXPECT_EQ(run.exitCode, 1);
    struct stat info
    { };
    ASSERT_EQ(::stat("/dev/full", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
    EXPECT_EQ(FetchPageTo("/dev/null").exitCode, 0);
}

TEST_F(OutputFileTest, DownloadWritesThroughALinkAndStaysWholeOrNothing)
{
    server.Respond("/file", test::HttpResponse::Make(200, "line\r\n"));
    server.Respond("/gone", test::HttpResponse::Make(404, "no"));
    WriteFileBytes(dir.File("target.dat"), "old");
    std::filesystem::create_symlink("target.dat", dir.File("link.dat"));
    ProgramRun run = test::RunProgram(
        TALLYHAWK_CLI_PATH, {"download", "--url", server.Url("/gone"), "link.dat"}, dir.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(ReadFileBytes(dir.File("target.dat")), "old");
    run = test::RunProgram(
        TALLYHAWK_CLI_PATH, {"download", "--url", server.Url("/file"), "link.dat"}, dir.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.dat")));
    EXPECT_EQ(ReadFileBytes(dir.File("target.dat")), "line\n");
}

} // namespace
} // namespace tallyhawk
