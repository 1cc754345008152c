#include "core/platform/settings_storage.h"
#include "support/temp_dir.h"

#include <QtGlobal>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <limits>

namespace tallyhawk
{
namespace
{

mode_t ModeOf(const std::string& path)
{
    struct stat info
    { };
    EXPECT_EQ(::stat(path.c_str(), &info), 0);
    return info.st_mode & 0777;
}

class StorageFile : public ::testing::Test
{
protected:
    std::string Path() const { return dir_.File("Tallyhawk.conf"); }
    void Write(std::string_view text) const { test::WriteFileBytes(Path(), text); }

    test::TempDir dir_;
    SettingsStorage storage_{Path()};
};

TEST_F(StorageFile, ValuesAreReadByTheirTypes)
{
    Write("[General]\nText=hello\nList=tv,radio\nQuoted=\"x, y\"\nBytes=@ByteArray(cafe)\n"
          "ByteNumber=@ByteArray(12)\nNumber=42\nSpaced= -7 \nLow=-2147483648\nHigh=2147483647\n"
          "Huge=2147483648\nHex=0x10\nTrailing=7x\nEmpty=\nRect=@Rect(1 2 3 4)\n");
    SettingsStorage::Snapshot file = storage_.Read();
    ASSERT_TRUE(file.readable());
    EXPECT_EQ(file.Text("Text"), "hello");
    EXPECT_EQ(file.Text("List"), "tv,radio"); // unquoted commas still give the text
    EXPECT_EQ(file.Text("Quoted"), "x, y");
    EXPECT_EQ(file.Text("Bytes"), "cafe");
    EXPECT_EQ(file.Text("Number"), "42");
    EXPECT_EQ(file.Text("Empty"), "");
    EXPECT_EQ(file.Text("Rect"), std::nullopt);
    EXPECT_EQ(file.Text("Missing"), std::nullopt);
    EXPECT_EQ(file.Text("text"), std::nullopt); // names are matched exactly

    EXPECT_EQ(file.Number("Number"), 42);
    EXPECT_EQ(file.Number("Spaced"), -7);
    EXPECT_EQ(file.Number("Low"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(file.Number("High"), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(file.Number("Huge"), std::nullopt); // beyond 32 bits: not wrapped
    EXPECT_EQ(file.Number("Hex"), std::nullopt);
    EXPECT_EQ(file.Number("Trailing"), std::nullopt);
    EXPECT_EQ(file.Number("Empty"), std::nullopt);
    EXPECT_EQ(file.Number("Text"), std::nullopt);
    EXPECT_EQ(file.Number("ByteNumber"), std::nullopt); // bytes are a text, never a number
    EXPECT_EQ(file.Number("Rect"), std::nullopt);
    EXPECT_FALSE(file.Damaged());

    // One value alone reads the same.
    EXPECT_EQ(storage_.ReadText("Quoted"), "x, y");
    EXPECT_EQ(storage_.ReadNumber("Spaced"), -7);
    EXPECT_EQ(storage_.ReadNumber("Huge"), std::nullopt);
}

TEST_F(StorageFile, TextsAreCutByCharactersNeverInsideOne)
{
    // a, e-acute (2 bytes), a face outside the first plane (4 bytes, two UTF-16 units), b.
    const std::string mixed = "a\xc3\xa9\xf0\x9f\x98\x80"
                              "b";
    Write("[General]\nMixed=" + mixed + "\n");
    SettingsStorage::Snapshot file = storage_.Read();
    EXPECT_EQ(file.Text("Mixed", 0), "");
    EXPECT_EQ(file.Text("Mixed", 1), "a");
    EXPECT_EQ(file.Text("Mixed", 2), "a\xc3\xa9");
    EXPECT_EQ(file.Text("Mixed", 3), "a\xc3\xa9\xf0\x9f\x98\x80");
    EXPECT_EQ(file.Text("Mixed", 4), mixed);
    EXPECT_EQ(file.Text("Mixed", 5), mixed);
    EXPECT_EQ(file.Text("Mixed"), mixed);
}

TEST_F(StorageFile, ReadingAMissingFileCreatesNothing)
{
    SettingsStorage::Snapshot file = storage_.Read();
    EXPECT_TRUE(file.readable());
    EXPECT_EQ(file.Text("Anything"), std::nullopt);
    EXPECT_FALSE(file.Damaged());
    EXPECT_EQ(storage_.ReadNumber("Anything"), std::nullopt);
    EXPECT_TRUE(std::filesystem::is_empty(dir_.path()));
}

TEST_F(StorageFile, DamageIsRememberedUntilTheFileChanges)
{
    Write("[General]\nNotifyTimeout=12\nno value here\n");
    SettingsStorage::Snapshot first = storage_.Read();
    EXPECT_TRUE(first.readable());
    EXPECT_EQ(first.Number("NotifyTimeout"), 12); // what could be read still counts
    EXPECT_TRUE(first.Damaged());
    // The file's reader tells only its first reader; later reads must still see the damage.
    SettingsStorage::Snapshot second = SettingsStorage(Path()).Read();
    EXPECT_EQ(second.Number("NotifyTimeout"), 12);
    EXPECT_TRUE(second.Damaged());
    SettingsStorage::Snapshot third = storage_.Read();
    EXPECT_EQ(third.Text("Other"), std::nullopt);
    EXPECT_TRUE(third.Damaged());

    Write("[General]\nNotifyTimeout=13\n");
    SettingsStorage::Snapshot repaired = storage_.Read();
    EXPECT_EQ(repaired.Number("NotifyTimeout"), 13);
    EXPECT_FALSE(repaired.Damaged());

    // Another damaged file is its own.
    Write("[General]\nNotifyTimeout=14\nstill no value\n");
    SettingsStorage::Snapshot again = storage_.Read();
    EXPECT_EQ(again.Number("NotifyTimeout"), 14);
    EXPECT_TRUE(again.Damaged());
}

TEST_F(StorageFile, AValueQtCannotDecodeIsDamageSaidInOurWordsNotQts)
{
    Write("[General]\nNotifyTimeout=15\n"
          "ServerPort=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\tJunkType\\0)\n");
    testing::internal::CaptureStderr();
    SettingsStorage::Snapshot file = storage_.Read();
    EXPECT_EQ(file.Number("NotifyTimeout"), 15);
    EXPECT_EQ(file.Number("ServerPort"), std::nullopt);
    EXPECT_TRUE(file.Damaged());
    // Outside a read, this thread's Qt messages still reach stderr.
    qWarning("after the read");
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.find("JunkType"), std::string::npos) << said;
    EXPECT_NE(said.find("after the read"), std::string::npos) << said;
}

TEST_F(StorageFile, UnreadableOrUnwritablePlaces)
{
    // A folder where the file should be: nothing is read, and nothing is written over it.
    std::filesystem::create_directories(Path());
    SettingsStorage::Snapshot file = storage_.Read();
    EXPECT_FALSE(file.readable());
    EXPECT_EQ(file.Text("A"), std::nullopt);
    EXPECT_FALSE(file.Damaged());
    EXPECT_EQ(storage_.Write({{"A", std::string("b")}}), kFailed);
    EXPECT_EQ(storage_.WriteNumber("A", 1), kFailed);
    EXPECT_TRUE(std::filesystem::is_empty(Path()));

    // The folder is a file.
    test::WriteFileBytes(dir_.File("plain"), "x");
    SettingsStorage blocked(dir_.File("plain/Tallyhawk.conf"));
    EXPECT_EQ(blocked.WriteText("A", "b"), kFailed);
    EXPECT_EQ(test::ReadFileBytes(dir_.File("plain")), "x");
}

TEST_F(StorageFile, WritesKeepTheOtherValuesAndSections)
{
    Write("[General]\nKeep=1\n[Other]\nA=b\n");
    ASSERT_EQ(storage_.Write({{"Text", std::string("x, y")}, {"Number", -5}, {"Keep", 2}}), kOk);
    EXPECT_EQ(test::ReadFileBytes(Path()), "[General]\nKeep=2\nNumber=-5\nText=\"x, y\"\n\n[Other]\nA=b\n");
    // Texts that look like the file's own syntax stay texts.
    ASSERT_EQ(storage_.WriteText("Tricky", "p=ss;w\"rd\n[General]"), kOk);
    EXPECT_EQ(storage_.ReadText("Tricky"), "p=ss;w\"rd\n[General]");
    EXPECT_EQ(storage_.ReadNumber("Keep"), 2);
}

TEST_F(StorageFile, TheFileIsPrivateAfterEveryWrite)
{
    // Its folders are made too.
    SettingsStorage nested(dir_.File("Quillmarch/Tallyhawk.conf"));
    ASSERT_EQ(nested.Write({}), kOk);
    EXPECT_EQ(ModeOf(nested.filePath()), 0600u);

    ::chmod(Path().c_str(), 0644);
    ASSERT_EQ(storage_.WriteNumber("LastArchive", 1234), kOk);
    EXPECT_EQ(ModeOf(Path()), 0600u);
    EXPECT_EQ(storage_.ReadNumber("LastArchive"), 1234);

    ::chmod(Path().c_str(), 0664);
    ASSERT_EQ(storage_.WriteText("ServerAddress", "127.0.0.1"), kOk);
    EXPECT_EQ(ModeOf(Path()), 0600u);
    EXPECT_EQ(storage_.ReadText("ServerAddress"), "127.0.0.1");
}

TEST(SettingsStorage, TheUsersFileIsInTheConfigFolder)
{
    // scripts/test points the config folder at a private one; this only names the file.
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    std::string base = configHome && configHome[0] == '/' ? std::string(configHome)
                                                          : std::string(home ? home : "") + "/.config";
    EXPECT_EQ(SettingsStorage::DefaultFilePath(), base + "/Quillmarch/Tallyhawk.conf");
    EXPECT_EQ(SettingsStorage().filePath(), SettingsStorage::DefaultFilePath());
}

} // namespace
} // namespace tallyhawk
