#include "core/common/byte_text.h"
#include "core/platform/record_file.h"
#include "support/file_size_limit.h"
#include "support/held_file_lock.h"
#include "support/scoped_lock_wait.h"
#include "support/temp_dir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace tallyhawk
{
namespace
{

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;
using namespace std::chrono_literals;

// A frame shaped like the shopping files': a last-id word after the file marker.
const RecordFrame kFrame{8, 8};

std::string Le(std::uint32_t value)
{
    std::string out(4, '\0');
    StoreLe32(reinterpret_cast<unsigned char*>(out.data()), value);
    return out;
}

TEST(RecordFile, AppendCreatesTheFileWithItsHeaderWords)
{
    TempDir dir;
    const std::string path = dir.File("product.dat");
    RecordFile file(kFrame);
    ASSERT_EQ(file.Open(path, RecordFile::Mode::Read), kCannotOpen);
    ASSERT_EQ(file.Open(path, RecordFile::Mode::Append), 0);
    const unsigned char record[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_EQ(file.Append(record), 0);
    const std::uint32_t lastId = 42;
    unsigned char word[4];
    StoreLe32(word, lastId);
    ASSERT_TRUE(file.WriteAt(word, sizeof word, 4));
    file.Close();
    EXPECT_EQ(ReadFileBytes(path),
              Le(80001) + Le(42) + Le(80002) + std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8)
                  + Le(80003));

    ASSERT_EQ(file.Open(path, RecordFile::Mode::Read), 0);
    unsigned char header[8];
    ASSERT_TRUE(file.ReadHeader(header));
    EXPECT_EQ(LoadLe32(header + 4), 42u);
    std::vector<std::uint64_t> offsets;
    FrameScan scan = file.Scan([&](const unsigned char* bytes, std::uint64_t offset) {
        EXPECT_EQ(bytes[0], 1);
        offsets.push_back(offset);
        return true;
    });
    EXPECT_TRUE(scan.clean());
    EXPECT_EQ(scan.records, 1u);
    EXPECT_EQ(offsets, std::vector<std::uint64_t>{12});
}

TEST(RecordFile, ScanTellsTornTailsFromDamage)
{
    TempDir dir;
    const std::string path = dir.File("list.dat");
    const std::string head = Le(80001) + Le(0);
    const std::string rec = Le(80002) + std::string(8, 'r');
    struct Case
    {
        std::string bytes;
        FrameEnd end;
        std::uint64_t boundary;
    };
    const std::vector<Case> cases = {
        {head + rec + Le(80003), FrameEnd::EndMarker, 20},
        {head + rec + Le(80003).substr(0, 3), FrameEnd::TornTail, 20},
        {head + rec + rec.substr(0, 11), FrameEnd::TornTail, 20},
        {head + rec + Le(7) + "x", FrameEnd::TornTail, 20},
        {head + Le(7) + rec + Le(80003), FrameEnd::BadMarker, 8},
        {head.substr(0, 6), FrameEnd::TornTail, 0},
    };
    for (const Case& c : cases) {
        WriteFileBytes(path, c.bytes);
        RecordFile file(kFrame);
        ASSERT_EQ(file.Open(path, RecordFile::Mode::Read), 0);
        FrameScan scan = file.Scan({});
        EXPECT_EQ(scan.end, c.end) << c.bytes.size();
        EXPECT_EQ(scan.boundary, c.boundary) << c.bytes.size();
    }
}

TEST(RecordFile, ReplaceModeHoldsTheFileAloneAndCreatesNothing)
{
    TempDir dir;
    const std::string path = dir.File("store.lst");
    RecordFile file(kFrame);
    ASSERT_EQ(file.Open(path, RecordFile::Mode::Replace), 0);
    EXPECT_FALSE(file.isOpen());
    EXPECT_FALSE(std::filesystem::exists(path));

    // A file this process may only read (or not even that) can still be replaced.
    WriteFileBytes(path, "old");
    for (mode_t mode : {0444, 0200}) {
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        EXPECT_EQ(file.Open(path, RecordFile::Mode::Replace), 0) << mode;
    }
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    ASSERT_EQ(file.Open(path, RecordFile::Mode::Replace), 0);
    EXPECT_TRUE(file.isOpen());
    // Another holder (another process, in effect) is kept out while it is held.
    EXPECT_FALSE(FileHandle::OpenLocked(path, O_RDONLY, LOCK_SH).valid());
    file.Close();
    EXPECT_TRUE(FileHandle::OpenLocked(path, O_RDONLY, LOCK_SH).valid());
    EXPECT_EQ(ReadFileBytes(path), "old");
}

TEST(RecordFile, AppendCutShortLeavesTheFileWhole)
{
    TempDir dir;
    const std::string path = dir.File("product.dat");
    const std::string before = Le(80001) + Le(9) + Le(80002) + "12345678" + Le(80003);
    WriteFileBytes(path, before);
    {
        // Room for 9 of the 16 bytes the append writes over the end marker.
        test::ScopedFileSizeLimit limit(before.size() + 5);
        ASSERT_TRUE(limit.active());
        RecordFile file(kFrame);
        ASSERT_EQ(file.Open(path, RecordFile::Mode::Append), 0);
        const unsigned char record[8] = {9, 9, 9, 9, 9, 9, 9, 9};
        EXPECT_EQ(file.Append(record), kBadFormat);
        EXPECT_EQ(file.size(), before.size());
    }
    EXPECT_EQ(ReadFileBytes(path), before);
}

TEST(RecordFile, AnotherProcessHoldIsWaitedForAndThenRefused)
{
    TempDir dir;
    const std::string path = dir.File("deal.lst");
    const std::string whole = Le(80001) + Le(0) + Le(80003);
    WriteFileBytes(path, whole);
    RecordFile file(kFrame);
    {
        // A reader's hold keeps writers out, not other readers.
        test::HeldFileLock reader(path, test::HeldFileLock::Kind::Shared);
        ASSERT_TRUE(reader.held());
        test::ScopedLockWait shortWait(30ms);
        EXPECT_EQ(file.Open(path, RecordFile::Mode::Read), 0);
        EXPECT_EQ(file.Open(path, RecordFile::Mode::Append), kCannotOpen);
        EXPECT_EQ(file.Open(path, RecordFile::Mode::Update), kCannotOpen);
    }
    // Let go while this process waits: the open goes through instead of failing.
    test::HeldFileLock writer(path, test::HeldFileLock::Kind::Exclusive);
    ASSERT_TRUE(writer.held());
    std::thread release([&] {
        test::WaitUntilOpenedBy(::getpid(), path);
        writer.Release();
    });
    test::ScopedLockWait longWait(20s);
    const int opened = file.Open(path, RecordFile::Mode::Append);
    release.join();
    ASSERT_EQ(opened, 0);
    const unsigned char record[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    EXPECT_EQ(file.Append(record), 0);
}

TEST(RecordFile, WhatIsNotARegularFileCannotBeOpenedAndNothingBlocks)
{
    TempDir dir;
    const std::string fifo = dir.File("deal.lst");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string folder = dir.File("store.lst");
    std::filesystem::create_directory(folder);
    for (const std::string& path : {fifo, folder, std::string("/dev/null")}) {
        for (RecordFile::Mode mode : {RecordFile::Mode::Read,
                                      RecordFile::Mode::Update,
                                      RecordFile::Mode::Append,
                                      RecordFile::Mode::Replace}) {
            RecordFile file(kFrame);
            EXPECT_EQ(file.Open(path, mode), kCannotOpen) << path << " " << static_cast<int>(mode);
            EXPECT_FALSE(file.isOpen());
        }
    }
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_TRUE(std::filesystem::is_directory(folder));
}

TEST(RecordFile, NoAppendAfterDamageThatReadersStopAt)
{
    TempDir dir;
    const std::string path = dir.File("product.dat");
    const std::string head = Le(80001) + Le(0);
    const std::string rec = Le(80002) + "abcdefgh";
    const unsigned char record[8] = {7, 7, 7, 7, 7, 7, 7, 7};
    const std::vector<std::string> damaged = {
        // A whole length ending in the end marker, with a wrong marker in the middle.
        head + rec + Le(12345) + "abcdefgh" + rec + Le(80003),
        // Whole records after the end marker, where no reader looks.
        head + rec + Le(80003) + rec + Le(80003),
        // A wrong file marker.
        Le(80002) + Le(0) + rec + Le(80003),
    };
    for (const std::string& bytes : damaged) {
        WriteFileBytes(path, bytes);
        RecordFile file(kFrame);
        ASSERT_EQ(file.Open(path, RecordFile::Mode::Append), 0);
        FrameCheck known;
        EXPECT_LT(file.Append(record, known), 0) << bytes.size();
        EXPECT_LT(file.Append(record), 0) << bytes.size();
        file.Close();
        EXPECT_EQ(ReadFileBytes(path), bytes);
    }
    // A torn tail is no damage: it is cut back and the record goes on.
    WriteFileBytes(path, head + rec + rec.substr(0, 5));
    RecordFile file(kFrame);
    ASSERT_EQ(file.Open(path, RecordFile::Mode::Append), 0);
    ASSERT_EQ(file.Append(record), 0);
    file.Close();
    EXPECT_EQ(ReadFileBytes(path), head + rec + Le(80002) + std::string(8, '\x07') + Le(80003));
}

TEST(RecordFile, CheckGoesOnFromWhereItStoppedAndStartsOverOnAnotherFile)
{
    TempDir dir;
    const std::string path = dir.File("deal.lst");
    const unsigned char first[8] = {1, 0, 0, 0, 0, 0, 0, 0};
    const unsigned char second[8] = {2, 0, 0, 0, 0, 0, 0, 0};
    FrameCheck known;
    RecordFile file(kFrame);
    ASSERT_EQ(file.Open(path, RecordFile::Mode::Append), 0);
    ASSERT_EQ(file.Append(first, known), 0);
    EXPECT_EQ(known.boundary, 20u);
    file.Close();
    {
        // Someone else appends meanwhile: the next check visits just that record.
        RecordFile other(kFrame);
        ASSERT_EQ(other.Open(path, RecordFile::Mode::Append), 0);
        ASSERT_EQ(other.Append(second), 0);
    }
    std::vector<int> visited;
    auto visit = [&](const unsigned char* bytes, std::uint64_t) {
        visited.push_back(bytes[0]);
        return true;
    };
    ASSERT_EQ(file.Open(path, RecordFile::Mode::Append), 0);
    EXPECT_TRUE(file.Continues(known));
    ASSERT_EQ(file.CheckFrames(known, visit), 0);
    EXPECT_EQ(visited, std::vector<int>{2});
    EXPECT_EQ(known.boundary, 32u);
    file.Close();

    // A rewrite takes a new file: the check starts over and sees every record. The new file is made
    // while the old one still exists, as a replacement does, so the two cannot share an inode.
    const std::string bytes = ReadFileBytes(path);
    WriteFileBytes(path + ".new", bytes);
    std::filesystem::rename(path + ".new", path);
    visited.clear();
    ASSERT_EQ(file.Open(path, RecordFile::Mode::Read), 0);
    FrameCheck stale = known;
    EXPECT_FALSE(file.Continues(stale));
    ASSERT_EQ(file.CheckFrames(stale, visit), 0);
    EXPECT_EQ(visited, (std::vector<int>{1, 2}));
}

} // namespace
} // namespace tallyhawk
