#include "core/settings/settings.h"

#include "core/platform/program_path.h"
#include "core/settings/site_url.h"

#include <QFile>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <limits>
#include <map>
#include <mutex>
#include <tuple>

namespace tallyhawk
{

namespace
{

QString Name(const std::string& name)
{
    return QString::fromStdString(name);
}

QString FileName(const std::string& path)
{
    return QFile::decodeName(path.c_str());
}

// A text value as the file holds it. Commas in an unquoted value make the file's reader split it
// into a list; it is joined back.
std::optional<QString> TextOf(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::QByteArray:
        return QString::fromUtf8(value.toByteArray());
    case QMetaType::QStringList:
        return value.toStringList().join(QLatin1Char(','));
    default:
        return std::nullopt;
    }
}

std::optional<std::int32_t> NumberOf(const QVariant& value)
{
    bool ok = false;
    qlonglong number = 0;
    switch (value.typeId()) {
    case QMetaType::QString:
        number = value.toString().trimmed().toLongLong(&ok, 10);
        break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        number = value.toLongLong(&ok);
        break;
    default:
        break;
    }
    if (!ok || number < std::numeric_limits<std::int32_t>::min()
        || number > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(number);
}

// At most `limit` characters (code points; a surrogate pair is never split).
std::string Cut(const QString& text, std::size_t limit)
{
    qsizetype end = 0;
    for (std::size_t count = 0; end < text.size() && count < limit; ++count) {
        bool pair = text[end].isHighSurrogate() && end + 1 < text.size() && text[end + 1].isLowSurrogate();
        end += pair ? 2 : 1;
    }
    return text.left(end).toStdString();
}

// Writes through a fresh view of the file. The file is made before the first write with mode 0600
// and kept at 0600 after every write, since it holds the password.
template <typename Fill>
int WriteFile(const std::string& path, Fill fill)
{
    std::error_code error;
    std::filesystem::path file(path);
    if (file.has_parent_path()) {
        std::filesystem::create_directories(file.parent_path(), error);
    }
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
    }
    QSettings settings(FileName(path), QSettings::NativeFormat);
    if (settings.status() == QSettings::AccessError) {
        // Writing now would replace values that could not be read.
        return Settings::kError;
    }
    fill(settings);
    settings.sync();
    if (settings.status() == QSettings::AccessError) {
        return Settings::kError;
    }
    ::chmod(path.c_str(), 0600);
    return Settings::kOk;
}

// The file reader reports a damaged file only to its first reader in a process and keeps the parsed
// result for later ones; so a damaged file is remembered by its size and change time until it changes.
class DamagedFiles
{
public:
    // Whether the file is known damaged, after noting what this load saw (`seenDamaged`).
    bool Note(const std::string& path, bool seenDamaged)
    {
        struct stat info
        { };
        if (::stat(path.c_str(), &info) != 0) {
            return seenDamaged;
        }
        Stamp stamp{info.st_size, info.st_mtim.tv_sec, info.st_mtim.tv_nsec};
        std::lock_guard<std::mutex> lock(mutex_);
        if (seenDamaged) {
            files_[path] = stamp;
            return true;
        }
        auto it = files_.find(path);
        if (it == files_.end()) {
            return false;
        }
        if (it->second == stamp) {
            return true;
        }
        files_.erase(it);
        return false;
    }

private:
    using Stamp = std::tuple<off_t, time_t, long>;
    std::mutex mutex_;
    std::map<std::string, Stamp> files_;
};

DamagedFiles& KnownDamagedFiles()
{
    static DamagedFiles files;
    return files;
}

} // namespace

Settings::Settings()
    : Settings(DefaultFilePath())
{ }

Settings::Settings(std::string filePath)
    : filePath_(std::move(filePath))
{
    SetDefaults();
    Load();
}

std::string Settings::DefaultFilePath()
{
    return QFile::encodeName(QSettings(QStringLiteral("Quillmarch"), QStringLiteral("Tallyhawk")).fileName())
        .toStdString();
}

void Settings::SetDefaults()
{
    serverAddress = DefaultServerHost();
    serverPort = kDefaultServerPort;
    username.clear();
    password.clear();
    autoRun = 1;
    showSummary = 1;
    getDeals = 1;
    getTopics = 1;
    notifyTimeout = 30;
    showNotify = 1;
    useDealsFilter = 0;
    useTopicsFilter = 0;
    dealsFilter.clear();
    topicsFilter.clear();
}

int Settings::Load()
{
    stored_.clear();
    QSettings settings(FileName(filePath_), QSettings::NativeFormat);
    if (settings.status() == QSettings::AccessError) {
        return kError;
    }
    auto text = [&](const char* name, std::string& member, std::size_t limit) {
        if (std::optional<QString> value = TextOf(settings.value(QString::fromLatin1(name)))) {
            member = Cut(*value, limit);
            stored_.insert(name);
        }
    };
    auto number = [&](const char* name, std::int32_t& member) {
        if (std::optional<std::int32_t> value = NumberOf(settings.value(QString::fromLatin1(name)))) {
            member = *value;
            stored_.insert(name);
        }
    };
    text("ServerAddress", serverAddress, kShortTextLimit);
    text("Username", username, kShortTextLimit);
    text("Password", password, kShortTextLimit);
    text("DealsFilter", dealsFilter, kFilterTextLimit);
    text("TopicsFilter", topicsFilter, kFilterTextLimit);
    number("ServerPort", serverPort);
    number("AutoRun", autoRun);
    number("NotifyTimeout", notifyTimeout);
    number("ShowNotify", showNotify);
    number("ShowSummary", showSummary);
    number("GetDeals", getDeals);
    number("GetTopics", getTopics);
    number("UseDealsFilter", useDealsFilter);
    number("UseTopicsFilter", useTopicsFilter);
    // A file with lines the reader did not understand still gives the values it could read, so a
    // stray line does not reset the user's choices; the caller learns of the damage.
    bool damaged = settings.status() == QSettings::FormatError;
    return KnownDamagedFiles().Note(filePath_, damaged) ? kError : kOk;
}

int Settings::Save() const
{
    return WriteFile(filePath_, [this](QSettings& settings) {
        settings.setValue(QStringLiteral("Username"), QString::fromStdString(username));
        settings.setValue(QStringLiteral("Password"), QString::fromStdString(password));
        settings.setValue(QStringLiteral("DealsFilter"), QString::fromStdString(dealsFilter));
        settings.setValue(QStringLiteral("TopicsFilter"), QString::fromStdString(topicsFilter));
        settings.setValue(QStringLiteral("AutoRun"), autoRun);
        settings.setValue(QStringLiteral("NotifyTimeout"), notifyTimeout);
        settings.setValue(QStringLiteral("ShowNotify"), showNotify);
        settings.setValue(QStringLiteral("ShowSummary"), showSummary);
        settings.setValue(QStringLiteral("GetDeals"), getDeals);
        settings.setValue(QStringLiteral("GetTopics"), getTopics);
        settings.setValue(QStringLiteral("UseDealsFilter"), useDealsFilter);
        settings.setValue(QStringLiteral("UseTopicsFilter"), useTopicsFilter);
    });
}

Settings::AutoRunResult Settings::ApplyAutoRun() const
{
    return ApplyAutoRun(DesktopProgramPath());
}

Settings::AutoRunResult Settings::ApplyAutoRun(const std::string& programPath) const
{
    AutostartEntry entry;
    // Only exactly 1 means on.
    return autoRun == 1 ? entry.Write(programPath) : entry.Remove();
}

std::int32_t Settings::ReadLastArchive() const
{
    return ReadNumber("LastArchive").value_or(0);
}

int Settings::WriteLastArchive(std::int32_t seconds) const
{
    return WriteNumber("LastArchive", seconds);
}

std::optional<std::string> Settings::ReadText(const std::string& name) const
{
    QSettings settings(FileName(filePath_), QSettings::NativeFormat);
    std::optional<QString> value = TextOf(settings.value(Name(name)));
    return value ? std::optional<std::string>(value->toStdString()) : std::nullopt;
}

std::optional<std::int32_t> Settings::ReadNumber(const std::string& name) const
{
    QSettings settings(FileName(filePath_), QSettings::NativeFormat);
    return NumberOf(settings.value(Name(name)));
}

int Settings::WriteText(const std::string& name, const std::string& value) const
{
    return WriteFile(filePath_, [&](QSettings& settings) {
        settings.setValue(Name(name), QString::fromStdString(value));
    });
}

int Settings::WriteNumber(const std::string& name, std::int32_t value) const
{
    return WriteFile(filePath_, [&](QSettings& settings) { settings.setValue(Name(name), value); });
}

} // namespace tallyhawk
