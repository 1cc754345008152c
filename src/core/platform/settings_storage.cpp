#include "core/platform/settings_storage.h"

#include <QFile>
#include <QMessageLogContext>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <limits>
#include <map>
#include <mutex>
#include <tuple>

namespace tallyhawk
{

namespace
{

QString Name(std::string_view name)
{
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
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

// The file reader reports a damaged file only to its first reader in a process and keeps the parsed
// result for later ones; so a damaged file is remembered by its size and change time until it changes.
class DamagedFiles
{
public:
    // Whether the file is known damaged, after noting what this read saw (`seenDamaged`).
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

// Qt's settings reader tells of a value it cannot decode (a broken "@Variant(...)") on stderr, in words
// that mean nothing to a user. While a thread reads the settings its Qt messages are counted instead,
// and the damage reaches the user through Damaged() in our own sentence. Other threads' messages, and
// this thread's outside a read, go where they went before.
thread_local int quietDepth = 0;
thread_local int quietMessages = 0;
QtMessageHandler previousHandler = nullptr;

void CountingHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (quietDepth > 0) {
        ++quietMessages;
        return;
    }
    if (previousHandler != nullptr) {
        previousHandler(type, context, message);
        return;
    }
    // What Qt's own handler writes.
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

class QuietQtMessages
{
public:
    QuietQtMessages()
        : before_(quietMessages)
    {
        static std::once_flag installed;
        std::call_once(installed, [] { previousHandler = qInstallMessageHandler(CountingHandler); });
        ++quietDepth;
    }
    ~QuietQtMessages() { --quietDepth; }
    QuietQtMessages(const QuietQtMessages&) = delete;
    QuietQtMessages& operator=(const QuietQtMessages&) = delete;

    // Whether Qt had something to say since this object was made.
    bool heardAny() const { return quietMessages != before_; }

private:
    int before_;
};

} // namespace

struct SettingsStorage::Snapshot::View
{
    explicit View(const std::string& path)
        : settings(FileName(path), QSettings::NativeFormat)
    { }

    // Reading starts in QSettings' constructor.
    static std::unique_ptr<View> Make(const std::string& path)
    {
        QuietQtMessages quiet;
        auto view = std::make_unique<View>(path);
        view->complained = quiet.heardAny();
        return view;
    }

    QVariant Value(std::string_view name)
    {
        QuietQtMessages quiet;
        QVariant value = settings.value(Name(name));
        complained = complained || quiet.heardAny();
        return value;
    }

    QSettings settings;
    bool complained = false; // Qt warned while reading a value: a value is damaged
};

SettingsStorage::Snapshot::Snapshot(const std::string& filePath)
    : view_(View::Make(filePath))
    , filePath_(filePath)
    , readable_(view_->settings.status() != QSettings::AccessError)
{ }

SettingsStorage::Snapshot::Snapshot(Snapshot&&) noexcept = default;
SettingsStorage::Snapshot& SettingsStorage::Snapshot::operator=(Snapshot&&) noexcept = default;
SettingsStorage::Snapshot::~Snapshot() = default;

bool SettingsStorage::Snapshot::Damaged() const
{
    if (!readable_) {
        return false;
    }
    return KnownDamagedFiles().Note(filePath_,
                                    view_->settings.status() == QSettings::FormatError || view_->complained);
}

std::optional<std::string> SettingsStorage::Snapshot::Text(std::string_view name, std::size_t limit) const
{
    std::optional<QString> value = TextOf(view_->Value(name));
    return value ? std::optional<std::string>(Cut(*value, limit)) : std::nullopt;
}

std::optional<std::int32_t> SettingsStorage::Snapshot::Number(std::string_view name) const
{
    return NumberOf(view_->Value(name));
}

SettingsStorage::SettingsStorage()
    : SettingsStorage(DefaultFilePath())
{ }

SettingsStorage::SettingsStorage(std::string filePath)
    : filePath_(std::move(filePath))
{ }

std::string SettingsStorage::DefaultFilePath()
{
    return QFile::encodeName(QSettings(QStringLiteral("Quillmarch"), QStringLiteral("Tallyhawk")).fileName())
        .toStdString();
}

SettingsStorage::Snapshot SettingsStorage::Read() const
{
    return Snapshot(filePath_);
}

std::optional<std::string> SettingsStorage::ReadText(std::string_view name) const
{
    return Read().Text(name);
}

std::optional<std::int32_t> SettingsStorage::ReadNumber(std::string_view name) const
{
    return Read().Number(name);
}

int SettingsStorage::Write(const std::vector<NamedValue>& values) const
{
    std::error_code error;
    std::filesystem::path file(filePath_);
    if (file.has_parent_path()) {
        std::filesystem::create_directories(file.parent_path(), error);
    }
    // Made before the first write with mode 0600, since the file holds the password.
    int fd = ::open(filePath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
    }
    QuietQtMessages quiet;
    QSettings settings(FileName(filePath_), QSettings::NativeFormat);
    if (settings.status() == QSettings::AccessError) {
        // Writing now would replace values that could not be read.
        return kFailed;
    }
    for (const auto& [name, value] : values) {
        if (const std::string* text = std::get_if<std::string>(&value)) {
            settings.setValue(Name(name), QString::fromStdString(*text));
        } else {
            settings.setValue(Name(name), std::get<std::int32_t>(value));
        }
    }
    settings.sync();
    if (settings.status() == QSettings::AccessError) {
        return kFailed;
    }
    ::chmod(filePath_.c_str(), 0600);
    return kOk;
}

int SettingsStorage::WriteText(std::string_view name, std::string_view value) const
{
    return Write({{std::string(name), std::string(value)}});
}

int SettingsStorage::WriteNumber(std::string_view name, std::int32_t value) const
{
    return Write({{std::string(name), value}});
}

} // namespace tallyhawk
