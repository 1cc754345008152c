#include "core/common/byte_text.h"
#include "core/platform/record_file.h"
#include "core/platform/record_repair.h"
#include "support/held_file_lock.h"
#include "support/scoped_lock_wait.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

namespace tallyhawk
{
namespace
{

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

// Shaped like the shopping files: a last-id word after the file marker.
const RecordFrame kFrame{8, 8};

std::string Le(std::uint32_t value)
{
    std::string out(4, '\0');
    StoreLe32(reinterpret_cast<unsigned char*>(out.data()), value);
    return out;
}

std::string Rec(char fill)
{
    return Le(80002) + std::string(8, fill);
}

const std::string kHead = Le(80001) + Le(42);

TEST(RecordRepair, SalvageKeepsEveryWholeRecordAndCountsTheRest)
{
    struct Case
    {
        std::string bytes;
        std::string repaired;
        std::uint64_t saved;
        std::uint64_t damagedBytes;
        std::uint64_t lost;
    };
    const std::vector<Case> cases = {
        {kHead + Rec('a') + Le(80003), kHead + Rec('a') + Le(80003), 1, 0, 0},
        // Three bytes of damage in the middle: the record after them is found again.
        {kHead + Rec('a') + "xyz" + Rec('b') + Le(80003), kHead + Rec('a') + Rec('b') + Le(80003), 2, 3, 1},
        // A wrong record marker costs that record.
        {kHead + Le(7) + "aaaaaaaa" + Rec('b') + Le(80003), kHead + Rec('b') + Le(80003), 1, 12, 1},
        // Records after an end marker in the wrong place are kept; the torn tail is not.
        {kHead + Rec('a') + Le(80003) + Rec('b') + Rec('c').substr(0, 5),
         kHead + Rec('a') + Rec('b') + Le(80003),
         2,
         5,
         1},
        // A wrong file marker is written anew; the records behind it stay, and none was lost.
        {Le(9) + Le(42) + Rec('a') + Le(80003), kHead + Rec('a') + Le(80003), 1, 8, 0},
        {"", Le(80001) + Le(0) + Le(80003), 0, 0, 0},
        // Shorter than the header: no record was ever there.
        {"ab", Le(80001) + Le(0) + Le(80003), 0, 2, 0},
        {Le(80001) + std::string("\x2a\x00", 2), Le(80001) + Le(0) + Le(80003), 0, 6, 0},
        // Damage past the header does cost a record.
        {Le(9) + Le(42) + "xyz", kHead + Le(80003), 0, 11, 1},
    };
    for (const Case& c : cases) {
        RecordRepair counts;
        EXPECT_EQ(RecordRepair::Salvage(c.bytes, kFrame, counts), c.repaired) << c.bytes.size();
        EXPECT_EQ(counts.saved, c.saved) << c.bytes.size();
        EXPECT_EQ(counts.damagedBytes, c.damagedBytes) << c.bytes.size();
        EXPECT_EQ(counts.lost, c.lost) << c.bytes.size();
    }
}

TEST(RecordRepair, RunReplacesTheFileAndKeepsEachDamagedCopy)
{
    TempDir dir;
    const std::string path = dir.File("product.dat");
    const std::string damaged = kHead + Rec('a') + Le(5) + "xxxxxxxx" + Rec('b') + Le(80003);
    WriteFileBytes(path, damaged);
    RecordRepair repair = RecordRepair::Run(path, kFrame);
    ASSERT_EQ(repair.status, kOk);
    EXPECT_TRUE(repair.replaced);
    EXPECT_EQ(repair.saved, 2u);
    EXPECT_EQ(repair.lost, 1u);
    EXPECT_EQ(repair.damagedCopy, path + ".damaged");
    EXPECT_EQ(ReadFileBytes(path + ".damaged"), damaged);
    EXPECT_EQ(ReadFileBytes(path), kHead + Rec('a') + Rec('b') + Le(80003));
    RecordFile file(kFrame);
    ASSERT_EQ(file.Open(path, RecordFile::Mode::Read), kOk);
    EXPECT_TRUE(file.Scan({}).clean());
    file.Close();

    // A whole file is left alone, without a copy.
    repair = RecordRepair::Run(path, kFrame);
    EXPECT_EQ(repair.status, kOk);
    EXPECT_FALSE(repair.replaced);
    EXPECT_EQ(repair.saved, 2u);
    EXPECT_TRUE(repair.damagedCopy.empty());

    // A later repair keeps the earlier copy.
    const std::string torn = kHead + Rec('c') + "ab";
    WriteFileBytes(path, torn);
    repair = RecordRepair::Run(path, kFrame);
    EXPECT_EQ(repair.damagedCopy, path + ".damaged.2");
    EXPECT_EQ(ReadFileBytes(path + ".damaged"), damaged);
    EXPECT_EQ(ReadFileBytes(path + ".damaged.2"), torn);
}

TEST(RecordRepair, NothingChangesWhenTheFileCannotBeHeldOrIsNoFile)
{
    TempDir dir;
    const std::string path = dir.File("deal.lst");
    const std::string damaged = kHead + Le(5) + Rec('a') + Le(80003);
    WriteFileBytes(path, damaged);
    {
        test::ScopedLockWait shortWait(std::chrono::milliseconds(20));
        test::HeldFileLock other(path, test::HeldFileLock::Kind::Shared);
        ASSERT_TRUE(other.held());
        EXPECT_EQ(RecordRepair::Run(path, kFrame).status, kCannotOpen);
    }
    EXPECT_EQ(ReadFileBytes(path), damaged);
    EXPECT_FALSE(std::filesystem::exists(path + ".damaged"));

    const std::string folder = dir.File("topic.lst");
    std::filesystem::create_directory(folder);
    EXPECT_EQ(RecordRepair::Run(folder, kFrame).status, kCannotOpen);
    EXPECT_TRUE(std::filesystem::is_directory(folder));

    // A folder that cannot take the new file: the old one stays as it was.
    const std::filesystem::path locked = dir.path() / "locked";
    std::filesystem::create_directory(locked);
    WriteFileBytes((locked / "deal.lst").string(), damaged);
    std::filesystem::permissions(locked,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    if (::access(locked.c_str(), W_OK) != 0) { // root may write anyway
        RecordRepair refused = RecordRepair::Run((locked / "deal.lst").string(), kFrame);
        EXPECT_EQ(refused.status, kCannotReplace);
        EXPECT_EQ(ReadFileBytes((locked / "deal.lst").string()), damaged);
    }
    std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
}

} // namespace
} // namespace tallyhawk
