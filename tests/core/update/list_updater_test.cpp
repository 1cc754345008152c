#include "core/update/list_updater.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace tallyhawk
{
namespace
{

std::string Entry(const std::string& id, const std::string& name)
{
    return "<IT><ID>" + id + "</ID><NM>" + name + "</NM></IT>\n";
}

class MergeUpdateFileTest : public ::testing::Test
{
protected:
    std::int32_t Merge(const std::string& answer)
    {
        test::WriteFileBytes(path, answer);
        return MergeUpdateFile(list, path);
    }

    std::string Name(std::int32_t id) const
    {
        const IdNameEntry* entry = list.Find(id);
        return entry ? entry->name : "<none>";
    }

    test::TempDir dir;
    std::string path = dir.File("update.dat");
    IdNameList list;
};

TEST_F(MergeUpdateFileTest, AnEntryWithoutAPositiveIdEndsTheScan)
{
    EXPECT_EQ(Merge("<html>" + Entry("7", "Acme") + Entry("0", "Zero") + Entry("9", "Nine") + "</html>"), 0);
    EXPECT_EQ(list.Count(), 1u);
    EXPECT_EQ(Name(7), "Acme");
    list.Clear();
    EXPECT_EQ(Merge(Entry("7", "Acme") + "<IT><ID>8</ID></IT>" + Entry("9", "Nine")), 0);
    EXPECT_EQ(list.Count(), 1u);
    list.Clear();
    EXPECT_EQ(Merge(Entry("-3", "Neg") + Entry("9", "Nine")), 0);
    EXPECT_EQ(list.Count(), 0u);
}

TEST_F(MergeUpdateFileTest, ShortNamesAreSkippedLongOnesCut)
{
    std::string sixty(60, 'n');
    EXPECT_EQ(Merge(Entry("3", "X") + Entry("4", "") + Entry("5", "Ok") + Entry("6", sixty)), 0);
    EXPECT_EQ(list.Count(), 2u);
    EXPECT_EQ(list.Find(3), nullptr);
    EXPECT_EQ(list.Find(4), nullptr);
    EXPECT_EQ(Name(5), "Ok");
    EXPECT_EQ(Name(6), sixty.substr(0, 49));
}

TEST_F(MergeUpdateFileTest, KnownIdsKeepTheirNameAndCount)
{
    list.AddOrCount(7, "Local", 0);
    EXPECT_EQ(Merge(Entry("7", "Renamed") + Entry(" 12x", " Spaced ")), 0);
    EXPECT_EQ(Name(7), "Local");
    EXPECT_EQ(list.Find(7)->count, 1);
    // Raw text, no trimming; the id is read like atoi.
    EXPECT_EQ(Name(12), " Spaced ");
}

TEST_F(MergeUpdateFileTest, BlockBoundaries)
{
    // A closing tag ahead of the next opening one stops the scan.
    EXPECT_EQ(Merge(Entry("1", "One") + "</IT>" + Entry("2", "Two")), 0);
    EXPECT_EQ(list.Count(), 1u);
    list.Clear();
    // Within a block the first <ID> and <NM> count, and markup in a name stays.
    EXPECT_EQ(Merge("<IT><NM><b>Bold</b></NM><ID>4</ID><ID>5</ID><NM>Other</NM></IT>"), 0);
    EXPECT_EQ(Name(4), "<b>Bold</b>");
    list.Clear();
    // An unclosed entry at the end, a zero byte, an error page: nothing more, still 0.
    std::string answer = Entry("1", "One") + "<IT><ID>2</ID><NM>Two</NM>";
    EXPECT_EQ(Merge(answer), 0);
    EXPECT_EQ(list.Count(), 1u);
    answer = Entry("3", "Three");
    answer.insert(answer.find("</IT>"), 1, '\0');
    EXPECT_EQ(Merge(answer), 0);
    EXPECT_EQ(list.Find(3), nullptr);
    EXPECT_EQ(Merge("<html><body>404 Not Found</body></html>"), 0);
    EXPECT_EQ(list.Count(), 1u);
}

TEST_F(MergeUpdateFileTest, FileFailures)
{
    EXPECT_EQ(MergeUpdateFile(list, dir.File("missing.dat")), -41);
    EXPECT_EQ(MergeUpdateFile(list, dir.path().string()), -44);
    EXPECT_EQ(list.Count(), 0u);
}

TEST_F(MergeUpdateFileTest, LoadListForUpdate)
{
    std::string listPath = dir.File("store.lst");
    EXPECT_EQ(LoadListForUpdate(list, listPath), 0);
    EXPECT_EQ(list.Count(), 0u);
    list.AddOrCount(4, "Four", 2);
    ASSERT_EQ(list.Save(listPath), 0);
    IdNameList loaded;
    EXPECT_EQ(LoadListForUpdate(loaded, listPath), 0);
    EXPECT_EQ(loaded.Count(), 1u);
    test::WriteFileBytes(listPath, "garbage!");
    EXPECT_NE(LoadListForUpdate(loaded, listPath), 0);
}

TEST(SiteListUpdateUrl, AsksForEntriesAfterTheHighestServiceId)
{
    IdNameList list;
    EXPECT_EQ(SiteListUpdateUrl("http://h", SiteList::Stores, list),
              "http://h/stores.aspx?idx=0&user=Tallyhawk");
    list.AddOrCount(12, "Twelve", 0);
    list.AddOrCount(5003, "Mine", 0);
    EXPECT_EQ(SiteListUpdateUrl("http://h/", SiteList::Categories, list),
              "http://h/categories.aspx?idx=12&user=Tallyhawk");
}

} // namespace
} // namespace tallyhawk
