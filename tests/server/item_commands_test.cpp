#include "core/store/item_record.h"
#include "server/client_fields.h"
#include "server/item_database.h"
#include "server/item_input.h"
#include "server/server_commands.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tallyhawk::server
{
namespace
{

TEST(ClientFields, AreTheSizesOfTheClientsRecordFields)
{
    EXPECT_EQ(ClientFields::kTitleBytes, ItemRecord::kTitleSize - 1);
    EXPECT_EQ(ClientFields::kDescriptionBytes, ItemRecord::kDescriptionSize - 1);
    EXPECT_EQ(ClientFields::kExtraBytes, ItemRecord::kExtraSize - 1);
    EXPECT_EQ(ClientFields::kStoreNameBytes, ItemRecord::kStoreNameSize - 1);
    EXPECT_EQ(ClientFields::kCategoryNameBytes, ItemRecord::kCategoryNameSize - 1);
}

TEST(ClientFields, ACutKeepsWholeCharactersAndAPrefixCutsAsTheWholeText)
{
    const std::string euros = std::string(3, 'a') + "\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac"; // 12 bytes
    struct Case
    {
        std::string text;
        std::size_t limit;
        std::string cut;
    };
    const Case cases[] = {
        {"short", 49, "short"},
        {euros, 12, euros},
        {euros, 11, "aaa\xe2\x82\xac\xe2\x82\xac"},
        {euros, 7, "aaa\xe2\x82\xac"},
        {"ab\xff\xfe\xfd", 3, "ab\xff"}, // not UTF-8: bytes as they are
    };
    for (const Case& entry : cases) {
        EXPECT_EQ(ClientFields::Fit(entry.text, entry.limit), entry.cut) << entry.limit;
        // However the read-ahead ends, inside a character or not.
        for (std::size_t ahead = 1; ahead <= ClientFields::kReadAhead; ++ahead) {
            const std::string prefix = entry.text.substr(0, entry.limit + ahead);
            EXPECT_EQ(ClientFields::FitPrefix(prefix, entry.limit), entry.cut) << entry.limit << " " << ahead;
        }
    }
}

TEST(ItemInput, DaysOutsideTheCalendarAreRefused)
{
    EXPECT_EQ(ItemInput::Date("2026-02-28"), 1772236800);
    EXPECT_EQ(ItemInput::Date("2028-02-29"), 1835395200);
    for (const char* bad : {"2026-02-30", "2026-02-29", "2026-04-31", "2026-13-01", "2026-00-10"}) {
        EXPECT_EQ(ItemInput::Date(bad), std::nullopt) << bad;
    }
}

// An import file in a fresh folder, and the database it goes into.
class ImportTest : public ::testing::Test
{
protected:
    int Import(const std::vector<std::string>& lines, std::vector<std::string> options = {})
    {
        std::string text;
        for (const std::string& line : lines) {
            text += line + "\n";
        }
        test::WriteFileBytes(dir.File("items.jsonl"), text);
        options.insert(options.begin(), {dir.File("items.jsonl"), "--db", db()});
        return RunImport(options);
    }
    std::string db() const { return dir.File("service.db"); }
    std::vector<std::string> Titles()
    {
        ItemDatabase items;
        EXPECT_EQ(items.Open(db()), std::nullopt);
        std::vector<std::string> titles;
        for (std::int32_t kind = 1; kind <= 3; ++kind) {
            for (const ServerItem& item :
                 items.ItemsAfter(kind, 0, 100).value_or(std::vector<ServerItem>{})) {
                titles.push_back(item.title);
            }
        }
        return titles;
    }

    test::TempDir dir;
};

const std::string kGood1 = R"({"kind":"deal","title":"One","category":"Garden"})";
const std::string kGood2 = R"({"kind":"deal","title":"Two","category":"Garden","hot":1})";

TEST_F(ImportTest, ABadLineStopsTheImportKeepingTheLinesBeforeIt)
{
    const std::string badLines[] = {
        R"({"kind":"deal","title":"Bad","category":"Garden","date":"2026-02-30"})",
        R"({"kind":"deal","title":"Bad","category":"Garden","hot":"yes"})",
        R"({"kind":"deal","title":"Bad","category":"Garden","store":123})",
        R"({"kind":"deal","title":"Bad","category":"Garden","price":"$3"})",
        R"({"kind":"deal","title":"Bad"})",
        R"({"kind":"deal","title":"Bad","category":""})",
    };
    for (const std::string& bad : badLines) {
        std::filesystem::remove(db());
        std::filesystem::remove(db() + ".highest-id");
        EXPECT_EQ(Import({kGood1, bad, kGood2}), kExitFailure) << bad;
        EXPECT_EQ(Titles(), std::vector<std::string>{"One"}) << bad;
    }
}

TEST_F(ImportTest, AllOrNothingImportsNoneWhenALineIsBad)
{
    EXPECT_EQ(Import({kGood1, R"({"kind":"deal","title":"Bad","category":"Garden","hot":"yes"})"},
                     {"--all-or-nothing"}),
              kExitFailure);
    EXPECT_TRUE(Titles().empty());
    EXPECT_EQ(Import({kGood1, "", kGood2}, {"--all-or-nothing"}), kExitOk);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"One", "Two"}));
}

TEST_F(ImportTest, LongTextsComeInCut)
{
    EXPECT_EQ(Import({R"({"kind":"topic","title":")" + std::string(300, 'T') + R"(","category":"Garden"})"}),
              kExitOk);
    EXPECT_EQ(Titles(), std::vector<std::string>{std::string(49, 'T')});
}

TEST_F(ImportTest, PostWithoutACategoryIsRefusedNamingTheOption)
{
    testing::internal::CaptureStderr();
    const int status = RunPost({"--kind", "deal", "--title", "X", "--db", db()});
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, kExitUsage);
    EXPECT_NE(said.find("--category"), std::string::npos) << said;
    EXPECT_EQ(RunPost({"--kind", "deal", "--title", "X", "--category", "Garden", "--db", db()}), kExitOk);
    EXPECT_EQ(Titles(), std::vector<std::string>{"X"});
}

} // namespace
} // namespace tallyhawk::server
