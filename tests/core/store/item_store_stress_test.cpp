#include "core/platform/record_file.h"
#include "core/protocol/wire_message.h"
#include "core/store/item_store.h"
#include "core/store/merge_reply.h"
#include "support/temp_dir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <random>
#include <set>
#include <thread>

namespace tallyhawk
{
namespace
{

using test::TempDir;

WireMessage Reply(std::int32_t firstId, int count)
{
    WireMessage reply;
    reply.Reset(9001);
    reply.AppendNumber(1002);
    reply.AppendNumber(count);
    for (int i = 0; i < count; ++i) {
        reply.AppendNumber(firstId + i);
        reply.AppendNumber(2);
        reply.AppendNumber(1 + i % 4);
        reply.AppendNumber(3);
        reply.AppendNumber(0);
        reply.AppendNumber(i % 2);
        reply.AppendText("Deal " + std::to_string(firstId + i));
        reply.AppendText("<b>cheap</b> &amp; good");
        reply.AppendText("$1");
        reply.AppendText("Store");
        reply.AppendText("Category");
    }
    return reply;
}

// The ids of the whole records in a list file, and whether the frame ends as a crash may leave it.
std::vector<std::int32_t> IdsInFile(const std::string& path, bool& readable)
{
    std::vector<std::int32_t> ids;
    // A writer killed before it created the file, or before it wrote the empty frame into it, leaves
    // nothing to read; the next writer starts the file afresh.
    std::error_code error;
    if (!std::filesystem::exists(path, error) || std::filesystem::file_size(path, error) == 0) {
        readable = !error;
        return ids;
    }
    RecordFile file(ItemStore::kFrame);
    readable = file.Open(path, RecordFile::Mode::Read) == 0 && file.CheckFileMarker() == 0;
    if (!readable) {
        return ids;
    }
    FrameScan scan = file.Scan([&](const unsigned char* record, std::uint64_t) {
        ids.push_back(ItemRecord::Parse(record).id);
        return true;
    });
    readable = scan.end == FrameEnd::EndMarker || scan.end == FrameEnd::TornTail;
    return ids;
}

TEST(ItemStoreStress, MergingWhileTheWindowLoadsMarksAndDeletes)
{
    TempDir dir;
    ItemStore deals;
    deals.Open("deal.lst", dir.path().string());
    constexpr int kReplies = 60;
    constexpr int kPerReply = 5;
    std::atomic<bool> merging{true};
    std::thread worker([&] {
        for (int r = 0; r < kReplies; ++r) {
            EXPECT_EQ(
                MergeReply(deals, Reply(1 + r * kPerReply, kPerReply), 0, std::nullopt, false, nullptr).kept,
                kPerReply);
        }
        merging = false;
    });

    // The window thread: its own view of the same store, plus the hot-deals store on the same file.
    ItemStore hot;
    hot.Open("deal.lst", dir.path().string());
    std::set<std::int32_t> deleted;
    std::mt19937 random(7);
    int rounds = 0;
    while (merging || rounds < 5) {
        ++rounds;
        const int loaded = deals.Load(ItemFilter());
        EXPECT_TRUE(loaded == 0 || loaded == kCannotOpen) << loaded; // no file before the first
        EXPECT_GE(hot.LoadHot(ItemFilter()), loaded == 0 ? 0 : kCannotOpen);
        const std::size_t count = deals.Count();
        for (std::size_t i = 0; i < count + 2; ++i) {
            std::optional<ItemRecord> record = deals.At(i); // may have gone meanwhile: never freed under us
            if (record) {
                EXPECT_EQ(record->kind, 2);
            }
        }
        const std::int32_t highest = deals.HighestId(2);
        if (highest > 0) {
            const std::int32_t id = 1 + static_cast<std::int32_t>(random() % static_cast<unsigned>(highest));
            const int marked = deals.MarkRead(id, 2);
            EXPECT_EQ(marked, id);
            if (random() % 3 == 0 && deleted.count(id) == 0) {
                EXPECT_EQ(deals.Delete(id, 2), id);
                deleted.insert(id);
            }
        }
        deals.Stores();
        deals.CountMatching(ItemFilter());
    }
    worker.join();

    bool readable = false;
    std::vector<std::int32_t> ids = IdsInFile(dir.File("deal.lst"), readable);
    EXPECT_TRUE(readable);
    ASSERT_EQ(ids.size(), static_cast<std::size_t>(kReplies * kPerReply));
    for (std::size_t i = 0; i < ids.size(); ++i) {
        EXPECT_EQ(ids[i], static_cast<std::int32_t>(i + 1));
    }
    EXPECT_EQ(deals.CountMatching(ItemFilter()), kReplies * kPerReply - static_cast<int>(deleted.size()));
    ASSERT_EQ(deals.Load(ItemFilter()), 0);
    EXPECT_EQ(deals.Count(), kReplies * kPerReply - deleted.size());
}

// A child appends in a loop and reports each append that returned; it is killed at a random moment.
// The file must then hold every reported record, and the next writer must go on from there.
TEST(ItemStoreStress, KilledWriterLosesNoAcknowledgedRecord)
{
    TempDir dir;
    const std::string path = dir.File("deal.lst");
    const unsigned seed = std::random_device()();
    std::printf("crash test seed %u\n", seed);
    std::mt19937 random(seed);
    std::int32_t nextId = 1;
    std::set<std::int32_t> acknowledged;
    constexpr int kRounds = 40;
    for (int round = 0; round < kRounds; ++round) {
        int channel[2];
        ASSERT_EQ(::pipe(channel), 0);
        const std::int32_t firstId = nextId;
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(channel[0]);
            ItemStore store;
            store.Open("deal.lst", dir.path().string());
            for (std::int32_t id = firstId;; ++id) {
                ItemValues values;
                values.id = id;
                values.kind = 2;
                values.categoryId = 1;
                values.title = "crash";
                if (store.Append(values) != 0 || ::write(channel[1], &id, sizeof id) != sizeof id) {
                    ::_exit(1);
                }
            }
        }
        ::close(channel[1]);
        std::this_thread::sleep_for(std::chrono::microseconds(500 + random() % 20000));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped on its own in round " << round;
        std::int32_t id = 0;
        while (::read(channel[0], &id, sizeof id) == sizeof id) {
            acknowledged.insert(id);
            nextId = std::max(nextId, id + 1);
        }
        ::close(channel[0]);
        // An append may have finished without being reported: its id is in the file, so skip past it.
        bool readable = false;
        std::vector<std::int32_t> ids = IdsInFile(path, readable);
        ASSERT_TRUE(readable) << "round " << round << ", seed " << seed;
        std::set<std::int32_t> present(ids.begin(), ids.end());
        for (std::int32_t expected : acknowledged) {
            ASSERT_TRUE(present.count(expected)) << "record " << expected << " lost in round " << round;
        }
        if (!ids.empty()) {
            nextId = std::max(nextId, ids.back() + 1);
        }
    }
    ItemStore store;
    store.Open("deal.lst", dir.path().string());
    ItemValues last;
    last.id = nextId;
    last.kind = 2;
    ASSERT_EQ(store.Append(last), 0);
    ASSERT_EQ(store.Load(), 0);
    EXPECT_EQ(store.At(0)->id, nextId);
    EXPECT_GE(store.Count(), acknowledged.size() + 1);
}

} // namespace
} // namespace tallyhawk
